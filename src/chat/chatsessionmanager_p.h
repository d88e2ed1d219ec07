// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHATSESSIONMANAGER_P_H
#define MESSAGING0_CHATSESSIONMANAGER_P_H

#include "channelhandler.h"
#include "requesttable.h"
#include "chatsessionmanager.h"
#include "sessionregistry.h"

#include <TelepathyQt/AccountManager>
#include <TelepathyQt/ClientRegistrar>

#include <QObject>

// The manager's state, in three parts: the Telepathy handler (offered
// requests, channels handed over, readiness one at a time), the registry of
// live sessions, and the request table (the conversations asked for, each
// a SessionRequest that runs its own chain). This object connects them: it
// is the handler's host, and carries the manager's signals, which for
// requests only relay what the requests answer.
//
// Owned by ChatSessionManager (its QObject child and d_ptr).
class ChatSessionManagerPrivate : public QObject, public ChannelHandlerHost
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(ChatSessionManager)

public:
    ChatSessionManagerPrivate(const Tp::ChannelClassSpecList &filter, ChatSessionManager *q);
    ~ChatSessionManagerPrivate() override;

    Tp::AccountManagerPtr accountManager;
    // Set once the handler is registered.
    Tp::ClientRegistrarPtr registrar;
    // Shared with the registrar while registered.
    Tp::SharedPtr<ChannelHandler> handler;
    SessionRegistry registry;
    RequestTable requests;
    ChatSessionManager *q_ptr;

    void registerClient();
    // The broadcast of what a request answered: chatSessionError() for a
    // failure, prepareChatSession(session, true) for a session.
    void announceFailure(ChatSessionError &error);
    void announceSession(const ChatSessionPtr &session);

    // ChannelHandlerHost
    ChatSessionPtr findSession(const ChatContext &context) const override;
    ChatSessionPtr findSessionByChannelPath(const QString &channelPath) const override;
    Tp::AccountPtr account(const QString &accountPath) const override;
    ChatSessionPtr createSession(const Tp::AccountPtr &account, const ChatContext &context) override;
    void requestOffered(const QString &requestPath, const ChatContext &context,
                        const ChatSessionPtr &session) override;
    bool requestSatisfied(const QString &requestPath, const ChatSessionPtr &session) override;
    void incomingSession(const ChatSessionPtr &session) override;
    void requestWithdrawn(const QString &requestPath, const ChatContext &context,
                          const QString &errorName, const QString &errorMessage) override;

    void restoreSession(ChatSession *session, const Tp::AccountPtr &account);

Q_SIGNALS:
    // The account manager failed to become ready: initialize() is over
    // without managerReady().
    void initializationFailed(const ChatSessionError &error);

public Q_SLOTS:
    // The Telepathy client handler operations, kept as slots of this object
    // for callers of the meta-object only: one-line forwarders to the
    // handler, which the dispatcher calls itself.
    void handleChannels(const Tp::MethodInvocationContextPtr<> &dbusContext,
                        const Tp::AccountPtr &account, const Tp::ConnectionPtr &connection,
                        const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &requestsSatisfied,
                        const QDateTime &userActionTime,
                        const Tp::AbstractClientHandler::HandlerInfo &handlerInfo);
    bool bypassApproval() const;
    void addRequest(const Tp::ChannelRequestPtr &request);
    void removeRequest(const Tp::ChannelRequestPtr &request, const QString &errorName,
                       const QString &errorMessage);

    void accountManagerReady(Tp::PendingOperation *operation);
    void channelReady(Tp::PendingOperation *operation);
    void requestReady(Tp::PendingOperation *operation);
    void slotOnChatSessionReadyToRestore(Tp::AccountPtr account);
    void requestSucceeded();
};

#endif // MESSAGING0_CHATSESSIONMANAGER_P_H
