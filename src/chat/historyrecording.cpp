// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historyrecording.h"

#include "accountpaths.h"
#include "historymessages.h"
#include "historystore.h"
#include "messaginglogging.h"

#include <TelepathyQt/ReceivedMessage>

#include <QQueue>
#include <QSet>

namespace {

// Layers name accounts by short paths too ("tala/tel/tala"); the history
// keys threads by the full one.
ChatContext historyContext(const ChatContext &context)
{
    ChatContext full = context;
    full.setAccountPath(AccountPaths::withPrefix(context.accountPath()));
    return full;
}

// The ids of the last messages this process recorded as outgoing: the next
// layer handing the same message on (the sender to its session) need not
// ask the store, whose answer would be "stored already".
constexpr int RememberedOutgoing = 256;
QSet<QString> recordedIds;
QQueue<QString> recordedOrder;

} // namespace

namespace HistoryRecording {

void outgoing(const ChatContext &context, const QString &messageId, const MsgPartsList &parts)
{
    if (recordedIds.contains(messageId))
        return;
    if (HistoryStore::instance()->addMessage(historyContext(context), HistoryMessages::fromSent(messageId, parts)) < 0) {
        qCWarning(lcChat) << "message" << messageId << "to" << context.remoteUid() << "is not in the history";
        return;
    }
    recordedIds.insert(messageId);
    recordedOrder.enqueue(messageId);
    if (recordedOrder.size() > RememberedOutgoing)
        recordedIds.remove(recordedOrder.dequeue());
}

void sendState(const ChatContext &context, const QString &messageId, HistoryMessage::State state,
               int statusCode, const QString &errorName, const QString &connectionToken)
{
    if (!HistoryStore::instance()->setMessageState(historyContext(context), messageId, state, statusCode, errorName,
                                                   connectionToken))
        qCDebug(lcChat) << "no state" << state << "in the history for message" << messageId;
}

void topic(const ChatContext &context, const QString &topic)
{
    if (!HistoryStore::instance()->setTopic(historyContext(context), topic))
        qCWarning(lcChat) << "the topic of" << context.remoteUid() << "is not in the history";
}

bool received(const ChatContext &context, const Tp::ReceivedMessage &message, const QString &aboutMessageId)
{
    const bool stored = HistoryMessages::storeReceived(HistoryStore::instance(), historyContext(context), message,
                                                       aboutMessageId);
    if (!stored)
        qCWarning(lcChat) << "message" << message.messageToken() << "from" << context.remoteUid()
                          << "could not be stored in the history; it stays pending with the connection manager";
    return stored;
}

} // namespace HistoryRecording
