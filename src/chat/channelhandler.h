// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CHANNELHANDLER_H
#define MESSAGING0_CHANNELHANDLER_H

#include "chatcontext.h"
#include "messagingtypes.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/ChannelRequest>
#include <TelepathyQt/MethodInvocationContext>

#include <QList>
#include <QMap>
#include <QObject>

// What the handler asks of the session manager, which implements it: the
// sessions it knows, the accounts, and where the handler's results go.
class ChannelHandlerHost
{
public:
    virtual ~ChannelHandlerHost() = default;

    // The live session for the conversation (isSameConversation), or null.
    virtual ChatSessionPtr findSession(const ChatContext &context) const = 0;
    virtual ChatSessionPtr findSessionByChannelPath(const QString &channelPath) const = 0;
    // The valid account under the path; null when there is none.
    virtual Tp::AccountPtr account(const QString &accountPath) const = 0;
    // A new session, followed by the manager and restored when its account
    // reconnects. Belongs to the returned pointer's holders.
    virtual ChatSessionPtr createSession(const Tp::AccountPtr &account, const ChatContext &context) = 0;
    // A session was made or found for an offered request, by its object path.
    virtual void requestOffered(const QString &requestPath, const ChatContext &context,
                                const ChatSessionPtr &session) = 0;
    // The channel for a satisfied request went to the session; true when
    // the request was this library's own.
    virtual bool requestSatisfied(const QString &requestPath, const ChatSessionPtr &session) = 0;
    // A session was made for a channel that no request of this library's asked for.
    virtual void incomingSession(const ChatSessionPtr &session) = 0;
    // The dispatcher withdrew an offered request.
    virtual void requestWithdrawn(const QString &requestPath, const ChatContext &context,
                                  const QString &errorName, const QString &errorMessage) = 0;
};

// A channel request offered to the handler and not yet finished.
struct RequestEntry
{
    ChatContext context;
    ChatSessionPtr session;
    Tp::ChannelRequestPtr request;
};

// A channel waiting to be made ready, with the handler call to answer.
struct PendingChannel
{
    Tp::ChannelPtr channel;
    ChatSessionPtr session;
    Tp::MethodInvocationContextPtr<> dbusContext;
};

// The library's Telepathy client handler "Messaging": turns offered channel
// requests and handed-over channels into sessions, makes channels ready one
// at a time across the whole library, and answers the dispatcher.
//
// Reference counted, as every Telepathy-Qt client: held by the session
// manager and by the client registrar while registered. It has no QObject
// parent. The manager detaches it when it goes, so that a call still
// arriving then is answered without touching the manager.
class ChannelHandler : public QObject, public Tp::AbstractClientHandler
{
    Q_OBJECT

public:
    ChannelHandler(const Tp::ChannelClassSpecList &filter, ChannelHandlerHost *host);
    ~ChannelHandler() override;

    void detach();

    // Telepathy client handler operations.
    void handleChannels(const Tp::MethodInvocationContextPtr<> &dbusContext,
                        const Tp::AccountPtr &account, const Tp::ConnectionPtr &connection,
                        const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &requestsSatisfied,
                        const QDateTime &userActionTime,
                        const Tp::AbstractClientHandler::HandlerInfo &handlerInfo) override;
    bool bypassApproval() const override;
    void addRequest(const Tp::ChannelRequestPtr &request) override;
    void removeRequest(const Tp::ChannelRequestPtr &request, const QString &errorName,
                       const QString &errorMessage) override;

    // A request that became ready, one that succeeded, a channel made ready.
    void requestReady(Tp::PendingOperation *operation);
    void requestSucceeded(const QString &requestPath);
    void channelReady(Tp::PendingOperation *operation);

private:
    // The conversation a request is for, as far as it says.
    static ChatContext contextOfRequest(const Tp::ChannelRequestPtr &request);
    void processRequest(const Tp::ChannelRequestPtr &request);
    void enqueueChannel(PendingChannel *entry);
    void makeCurrentReady();

    ChannelHandlerHost *m_host;
    QMap<QString, RequestEntry *> m_requests;
    QList<PendingChannel *> m_readinessQueue;
    PendingChannel *m_currentReadiness = nullptr;
};

#endif // MESSAGING0_CHANNELHANDLER_H
