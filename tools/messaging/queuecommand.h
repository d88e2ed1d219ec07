// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_QUEUECOMMAND_H
#define MESSAGING_TOOL_QUEUECOMMAND_H

#include "commands.h"

#include <messaging0/messagingtypes.h>

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class MessageContent;
class QueuedMessageSender;

// What `send` parsed: account path (full form), recipient, the messages in
// command-line order and the time-out.
using SendHandler = std::function<int(const QString &accountPath, const QString &remoteUid,
                                      const QList<SendCommand::Message> &messages, int timeoutSeconds)>;
// The `send` command's option parsing, run under another command name and
// description; instead of sending it hands what it parsed to the handler.
using SendParser = std::function<int(QCoreApplication &app, const QStringList &arguments,
                                     const QString &command, const QString &description,
                                     const SendHandler &handler)>;

// messaging queue add|list|run
int runQueue(QCoreApplication &app, const QStringList &arguments, const SendParser &parseSend);

// Sends what the queue file holds and prints each message's status, until
// the queue is empty or the time-out.
class QueueRunCommand : public Command
{
    Q_OBJECT

public:
    QueueRunCommand(int timeoutSeconds, bool retry, QObject *parent = nullptr);

protected:
    void accountManagerReady() override;
    void timedOut() override;

private:
    void onAttempt(const QString &id, const MessageContent &message, int status, bool willRetry);
    void checkProgress();
    void keepConversation(const MessageContent &message);

    bool m_retry = false;
    // The conversations sent to, open until the program ends: closed on the
    // way out, their channels would still be tidied up by Telepathy-Qt when
    // the process is gone.
    QList<ChatSessionPtr> m_conversations;
    QueuedMessageSender *m_queue = nullptr; // child of this
    QTimer m_poll;
    int m_done = 0;
    int m_sent = 0;
};

#endif // MESSAGING_TOOL_QUEUECOMMAND_H
