// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSION_P_H
#define MESSAGING0_CHATSESSION_P_H

#include "chatsession.h"

#include <TelepathyQt/ReceivedMessage>

#include <QHash>
#include <QSet>
#include <QObject>

#include <functional>

class ConfItem;

class ChatSessionPrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(ChatSession)

public:
    ChatSessionPrivate(const Tp::AccountPtr &account, const ChatContext &context);
    ~ChatSessionPrivate() override;

    static ChatSessionPrivate *get(ChatSession *session) { return session->d_func(); }

    Tp::AccountPtr account;
    Tp::TextChannelPtr channel;
    ChatContext context;
    QString channelPath;
    ConfItem *deliveryReportSetting = nullptr;
    QString lastMessageToken;
    bool actionMessagesSupported = false;
    ChatSession *q_ptr = nullptr;
    // Tokens of the messages this session sent, to the ids they were sent
    // under, for delivery reports. Oldest first; bounded.
    QHash<QString, QString> sentTokens;
    QList<QString> sentTokenOrder;
    // Tokens of the incoming messages announced, oldest first; bounded.
    QSet<QString> announcedTokens;
    QList<QString> announcedTokenOrder;
    // Set once the user left the group: the session then never asks to be
    // restored, which would join the room again.
    bool restoreSuppressed = false;
    // Close has been asked of the channel (see closeChannel()).
    bool closeSent = false;

    void _q_channelInvalidated(Tp::DBusProxy *proxy, const QString &errorName,
                               const QString &errorMessage);
    void watchAccountConnection();
    ConfItem *deliveryReport();
    bool channelSupportsActionMessages() const;
    void reportFailure(const QString &errorName, const QString &errorMessage);
    void rememberSentToken(const QString &token, const QString &messageId);
    // Stores and announces one message; true when it may be acknowledged.
    bool receive(const Tp::ReceivedMessage &message);
    // Asks the channel to close, once, without waiting for the answer.
    void closeChannel();

public Q_SLOTS:
    void slotOnAccountFinished(Tp::PendingOperation *operation);
    void slotOnConnectionStatusChanged(Tp::ConnectionStatus status);
    void slotOnPendingMessageFinished(Tp::PendingOperation *operation);
    void slotOnMessageReceived(const Tp::ReceivedMessage &message);
};

#endif // MESSAGING0_CHATSESSION_P_H
