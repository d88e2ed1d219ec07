// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TEST_PROGRAMRUN_H
#define MESSAGING_TEST_PROGRAMRUN_H

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;

// What a program run in a test left behind. exitCode is -1 when it crashed
// or had to be killed.
struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program to its end (killed after timeoutMs), with the input on
// its standard input.
ProgramRun runProgram(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                      const QByteArray &input = QByteArray(), int timeoutMs = 30000);
// Waits for a started process to end (killed after timeoutMs), or takes
// what a process that has ended left behind.
ProgramRun finishRun(QProcess &process, int timeoutMs = 30000);

#endif // MESSAGING_TEST_PROGRAMRUN_H
