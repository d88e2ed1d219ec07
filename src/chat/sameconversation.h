// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SAMECONVERSATION_H
#define MESSAGING0_SAMECONVERSATION_H

#include "chatcontext.h"

// The library's one rule for "the same conversation", used wherever it
// finds what belongs to a context: requests in flight, offered channel
// requests and live sessions. The same account path string (no SMS/MMS
// folding: each account has its own channels) and chat type, and remote
// uids that match as addresses (PhoneNumberUtils, default flags), so that a
// number written in another form finds its conversation. Stricter about the
// account than ChatContext::operator==, and without its one-sided empty uid.
bool isSameConversation(const ChatContext &a, const ChatContext &b);

// For hash tables keyed by context. Raw strings go in, so two contexts that
// are the same conversation (SMS/MMS, differently written numbers) may hash
// differently: lookups need the exact key.
uint qHash(const ChatContext &context, uint seed = 0);

#endif // MESSAGING0_SAMECONVERSATION_H
