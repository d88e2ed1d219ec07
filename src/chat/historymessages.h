// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYMESSAGES_H
#define MESSAGING0_HISTORYMESSAGES_H

#include "chatcontext.h"
#include "historymessage.h"
#include "messagingtypes.h"

#include <QString>

class HistoryStore;

namespace Tp {
class ReceivedMessage;
}

// How a Telepathy message becomes a message of the conversation history.
//
// Compiled into the library and into the recorder program (messaging-history)
// alike, from this one file and against the public API only: a message
// stored by the library's handler and by the recorder must come out the
// same, token, sender, times and text, or a message without a token would
// be stored twice under two stand-in keys.
namespace HistoryMessages {

// An incoming message (not a delivery report) as the history keeps it:
// unread, except a room's scrollback, which the user has seen before.
HistoryMessage fromReceived(const Tp::ReceivedMessage &message);

// An outgoing message of the parts (part 0 the header), in state Sending,
// under token.
HistoryMessage fromSent(const QString &token, const MsgPartsList &parts);

// Stores a received message in the thread of context, or, for a delivery
// report, sets the state of the message it is about: aboutToken when given
// (the library's id of a message it sent), else the reported token.
// True when the message may be acknowledged to the connection manager: it
// is stored (or was already), or it is a report with nothing to change.
// False only when the store did not take it: the message must then stay
// pending.
bool storeReceived(HistoryStore *store, const ChatContext &context, const Tp::ReceivedMessage &message,
                   const QString &aboutToken = QString());

} // namespace HistoryMessages

#endif // MESSAGING0_HISTORYMESSAGES_H
