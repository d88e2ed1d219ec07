#include "channelrequester.h"

#include "channelproperties.h"
#include "phonenumberutils.h"

#include <TelepathyQt/Constants>
#include <TelepathyQt/PendingChannelRequest>

#include <QDateTime>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcManager)

Tp::PendingOperation *ChannelRequester::ensureChannel(const Tp::AccountPtr &account,
                                                     const ChatContext &context)
{
    QVariantMap request;
    request.insert(ChannelProperties::ChannelType, TP_QT_IFACE_CHANNEL_TYPE_TEXT);
    switch (context.chatType()) {
    case AdHocGroupChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeNone));
        request.insert(ChannelProperties::PersistentId, context.remoteUid());
        break;
    case RoomChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeRoom));
        request.insert(ChannelProperties::TargetId, context.remoteUid());
        break;
    case OneToOneChat:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeContact));
        request.insert(ChannelProperties::TargetId, context.remoteUid());
        break;
    default:
        request.insert(ChannelProperties::TargetHandleType, uint(Tp::HandleTypeContact));
        break;
    }
    qCDebug(lcManager) << "Requesting a channel for" << context.remoteUid() << "on" << account->objectPath();
    Tp::PendingOperation *operation = account->ensureChannel(request, QDateTime::currentDateTime(), QString());
    m_requested.insert(operation, context);
    return operation;
}

ChatContext ChannelRequester::takeRequestedContext(Tp::PendingOperation *operation)
{
    return m_requested.take(operation);
}

void ChannelRequester::wait(const ChatContext &context, Tp::PendingOperation *operation)
{
    m_pending.insert(context, operation);
    m_answered.remove(context);
}

QList<ChatContext> ChannelRequester::waitingFor(Tp::PendingOperation *operation) const
{
    QList<ChatContext> contexts;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value() == operation)
            contexts.append(it.key());
    }
    return contexts;
}

void ChannelRequester::forget(Tp::PendingOperation *operation)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it.value() == operation) {
            m_answered.remove(it.key());
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
}

bool ChannelRequester::isPending(const ChatContext &context) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (contextsMatch(it.key(), context))
            return true;
    }
    return false;
}

void ChannelRequester::answered(const ChatContext &context)
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (contextsMatch(it.key(), context))
            m_answered.insert(it.key());
    }
}

bool ChannelRequester::awaitsSession(const ChatContext &context) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (contextsMatch(it.key(), context) && !m_answered.contains(it.key()))
            return true;
    }
    return false;
}

bool ChannelRequester::contextsMatch(const ChatContext &a, const ChatContext &b)
{
    return a.accountPath() == b.accountPath() && a.chatType() == b.chatType()
           && PhoneNumberUtils::remoteAddressMatch(a.remoteUid(), b.remoteUid(),
                                                   PhoneNumberUtils::NormalizeFlagDefault);
}

bool ChannelRequester::isHandlerRace(const QString &errorName, const QString &errorMessage)
{
    // Mission Control learns of a new handler from the bus name appearing
    // and then reads the handler's properties; a request it dispatches in
    // between finds no handler and fails with exactly this. Matched by the
    // message too: NotAvailable alone also means, for example, a disabled
    // account, which no retry mends.
    return errorName == TP_QT_ERROR_NOT_AVAILABLE
        && errorMessage == QLatin1String("Handler no longer available");
}

void ChannelRequester::retrying(const ChatContext &context, const QString &failedRequestPath)
{
    m_handlerRaceRetries.insert(context, failedRequestPath);
}

bool ChannelRequester::isSwallowedHandlerRace(const QString &requestPath, const ChatContext &context,
                                              const QString &errorName, const QString &errorMessage) const
{
    if (!isHandlerRace(errorName, errorMessage))
        return false;
    // Already retried, or about to be: the retry reports the outcome.
    for (auto it = m_handlerRaceRetries.cbegin(); it != m_handlerRaceRetries.cend(); ++it) {
        if (it.value() == requestPath)
            return true;
    }
    return isPending(context) && !m_handlerRaceRetries.contains(context);
}

QString ChannelRequester::describeError(const QString &errorName, const QString &errorMessage)
{
    if (errorName.isEmpty())
        return errorMessage;
    if (errorMessage.isEmpty())
        return errorName;
    return errorName + QLatin1String(": ") + errorMessage;
}
