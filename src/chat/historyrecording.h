// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYRECORDING_H
#define MESSAGING0_HISTORYRECORDING_H

#include "chatcontext.h"
#include "historymessage.h"
#include "messagingtypes.h"

#include <QString>

namespace Tp {
class ReceivedMessage;
}

// What the library's layers write into the process's history store
// (HistoryStore::instance()): one call each, so that a session, a sender
// and the send queue record a message the same way.
//
// An outgoing message is keyed by its message id: the session, the sender
// and the queue all record the message they pass on under the same id, and
// the history keeps it once. Failures to write are logged here; a send goes
// on all the same.
namespace HistoryRecording {

// The message, about to leave, in state Sending.
void outgoing(const ChatContext &context, const QString &messageId, const MsgPartsList &parts);

// The fate of an outgoing message; connectionToken, once sent, is the
// connection manager's token for it, which its delivery reports name.
void sendState(const ChatContext &context, const QString &messageId, HistoryMessage::State state,
               int statusCode = 0, const QString &errorName = QString(),
               const QString &connectionToken = QString());

// A room's topic, as the conversation list's title of the room.
void topic(const ChatContext &context, const QString &topic);

// A received message or delivery report (see HistoryMessages::storeReceived());
// true when it may be acknowledged.
bool received(const ChatContext &context, const Tp::ReceivedMessage &message,
              const QString &aboutMessageId = QString());

} // namespace HistoryRecording

#endif // MESSAGING0_HISTORYRECORDING_H
