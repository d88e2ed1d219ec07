// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_LISTENCOMMAND_H
#define MESSAGING_TOOL_LISTENCOMMAND_H

#include "commands.h"

#include <messaging0/chatsession.h>
#include <messaging0/incomingmessage.h>

#include <QList>

class QCoreApplication;
class QSocketNotifier;

// messaging listen [--account A] [--timeout S]: prints every incoming
// message and delivery report as it arrives, one tab-separated line each,
// until interrupted (SIGINT, SIGTERM) or, with --timeout, for S seconds.
class ListenCommand : public Command
{
    Q_OBJECT

public:
    ListenCommand(const QString &accountPath, int durationSeconds, QObject *parent = nullptr);
    ~ListenCommand() override;

protected:
    void accountManagerReady() override;

private:
    void adopt(const ChatSessionPtr &session);
    void print(const ChatSession *session, const IncomingMessage &message);
    void stopOnSignals();
    void followHistory();

    QString m_accountPath;
    // Held so that the conversations stay open while we listen.
    QList<ChatSessionPtr> m_sessions;
    QSocketNotifier *m_signalNotifier = nullptr;
};

int runListen(QCoreApplication &app, const QStringList &arguments);

#endif // MESSAGING_TOOL_LISTENCOMMAND_H
