// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_STATUSCOMMAND_H
#define MESSAGING_TOOL_STATUSCOMMAND_H

#include <QObject>
#include <QStringList>
#include <QTimer>

class QCoreApplication;

// messaging status [--watch]: the radio, the SIM, flight mode and the
// usability of every account, one "name<TAB>value" line each; with --watch
// every change as it happens, until interrupted.
int runStatus(QCoreApplication &app, const QStringList &arguments);

class StatusCommand : public QObject
{
    Q_OBJECT

public:
    StatusCommand(bool watch, int timeoutSeconds, QObject *parent = nullptr);
    void start();

private:
    void accountManagerReady();
    void printWhenComplete();
    void printAll();
    void watchChanges();
    void finish(int exitCode);

    QStringList m_accounts; // valid accounts' object paths, sorted
    QTimer m_timeout;
    bool m_watch;
    bool m_printed = false;
};

#endif // MESSAGING_TOOL_STATUSCOMMAND_H
