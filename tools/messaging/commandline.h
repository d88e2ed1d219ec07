// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_COMMANDLINE_H
#define MESSAGING_TOOL_COMMANDLINE_H

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QCoreApplication;
class QTextStream;

// The program's standard output and error, shared by every command so that
// their lines never interleave out of order.
QTextStream &out();
QTextStream &err();

// What every command of the program shares on its command line.
namespace CommandLine {

constexpr int DefaultTimeoutSeconds = 30;

// "messaging <command>: <message>" and where to find the usage; returns the
// exit code for bad usage.
int usageError(const QString &command, const QString &message);

// The object path of an account given by its path or its short form
// ("tala/tel/tala").
QString fullAccountPath(const QString &path);

// A text for one field of a tab-separated line: backslashes, tabs and line
// breaks written as \\, \t, \n and \r.
QString escaped(QString text);

// Adds --help and --timeout (seconds, default defaultTimeout; 0 means no
// time-out unless one is given) to the command's own options and parses
// them. More than maxPositional positional arguments is bad usage; the
// command checks the ones it takes. Returns -1 to go on, else the exit code.
int parse(QCoreApplication &app, const QString &command, const QStringList &arguments,
          QCommandLineParser &parser, int *timeoutSeconds, int maxPositional = 0,
          int defaultTimeout = DefaultTimeoutSeconds);

} // namespace CommandLine

#endif // MESSAGING_TOOL_COMMANDLINE_H
