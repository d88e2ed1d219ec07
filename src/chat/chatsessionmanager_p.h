#ifndef MESSAGING0_CHATSESSIONMANAGER_P_H
#define MESSAGING0_CHATSESSIONMANAGER_P_H

#include "chatcontext_p.h"
#include "chatsessionmanager.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/ChannelRequest>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/MethodInvocationContext>

#include <QHash>
#include <QMap>
#include <QObject>
#include <QWeakPointer>

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

// Live sessions by a coarse address key, so that finding the session of a
// conversation does not compare phone numbers with every session there is.
// Two addresses that match always share the key; the exact rule decides
// within a bucket, in creation order.
class SessionIndex
{
public:
    void insert(const ChatSessionPtr &session);
    // After the session's remote uid changed.
    void rekey(ChatSession *session);
    void remove(const QObject *session);
    // The first live session, in creation order, satisfying the predicate
    // among those whose remote uid may match remoteUid.
    template<typename Predicate>
    ChatSessionPtr find(const QString &remoteUid, Predicate accept) const;

private:
    struct Slot
    {
        quint64 sequence;
        QWeakPointer<ChatSession> session;
    };
    struct Entry
    {
        quint64 sequence;
        QString key;
    };
    void insertSlot(const QString &key, const Slot &slot);
    QWeakPointer<ChatSession> takeSlot(const Entry &entry);

    quint64 m_nextSequence = 0;
    QHash<const QObject *, Entry> m_entries;
    QHash<QString, QList<Slot>> m_buckets;
};

class ChatSessionManagerPrivate : public QObject, public Tp::AbstractClientHandler
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(ChatSessionManager)

public:
    ChatSessionManagerPrivate(const Tp::ChannelClassSpecList &filter, ChatSessionManager *q);
    ~ChatSessionManagerPrivate() override;

    QMap<QString, RequestEntry *> requests;
    QList<PendingChannel *> readinessQueue;
    QHash<ChatContext, Tp::PendingOperation *> pendingOperations;
    PendingChannel *currentReadiness = nullptr;
    QList<QWeakPointer<ChatSession>> sessions;
    Tp::AccountManagerPtr accountManager;
    Tp::ClientRegistrarPtr registrar;
    ChatSessionManager *q_ptr;

    SessionIndex sessionIndex;
    // The context of every channel request in flight, by its operation:
    // a failure names the conversation it belongs to, also when a newer
    // request for the same context has replaced it in pendingOperations.
    QHash<Tp::PendingOperation *, ChatContext> requestedContexts;
    // Contexts whose request is being retried after the dispatcher did not
    // know the handler yet, and the failed requests' object paths.
    QHash<ChatContext, QString> handlerRaceRetries;
    // The handler is reference counted by Telepathy-Qt; this reference keeps
    // it alive whether or not a registrar holds it too. Dropped when the
    // manager goes.
    Tp::AbstractClientPtr selfReference;

    void registerClient();
    Tp::PendingOperation *requestChannel(const Tp::AccountPtr &account, const ChatContext &context);
    bool isPending(const ChatContext &context) const;
    bool isOffered(const ChatContext &context) const;
    ChatSessionPtr findSession(const ChatContext &context);
    ChatSessionPtr createSession(const Tp::AccountPtr &account, const ChatContext &context);
    void processRequest(const Tp::ChannelRequestPtr &request);
    void enqueueChannel(PendingChannel *entry);
    void makeCurrentReady();
    void removePendingOperation(Tp::PendingOperation *operation);

    QList<ChatContext> contextsWaitingFor(Tp::PendingOperation *operation) const;
    bool retryAfterHandlerRace(const ChatContext &context, const QString &requestPath);
    bool isSwallowedHandlerRace(const QString &requestPath, const ChatContext &context,
                                const QString &errorName, const QString &errorMessage);

    static bool contextsMatch(const ChatContext &a, const ChatContext &b);
    // The dispatcher's answer to a request made right after the handler
    // was registered, before it has read the handler's filter.
    static bool isHandlerRace(const QString &errorName, const QString &errorMessage);
    static QString describeError(const QString &errorName, const QString &errorMessage);
    static ChatContext contextOfRequest(const Tp::ChannelRequestPtr &request);

public Q_SLOTS:
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

    void accountManagerReady(Tp::PendingOperation *operation);
    void accountForChannelReady(Tp::PendingOperation *operation);
    void pendingChannelReady(Tp::PendingOperation *operation);
    void channelReady(Tp::PendingOperation *operation);
    void requestReady(Tp::PendingOperation *operation);
    void slotOnChatSessionReadyToRestore(Tp::AccountPtr account);
    void requestSucceeded();
};

#endif // MESSAGING0_CHATSESSIONMANAGER_P_H
