// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SAMECONVERSATION_H
#define MESSAGING0_SAMECONVERSATION_H

#include "chatcontext.h"

#include <QHashFunctions>
#include <QString>

// The library's one rule for "the same conversation", used wherever it
// finds what belongs to a context: requests in flight, offered channel
// requests and live sessions. The same account path string (no SMS/MMS
// folding: each account has its own channels) and chat type, and remote
// uids that match as addresses (PhoneNumberUtils, default flags), so that a
// number written in another form finds its conversation. Stricter about the
// account than ChatContext::operator==, and without its one-sided empty uid.
bool isSameConversation(const ChatContext &a, const ChatContext &b);

// The key under which tables of conversations (the request table, the
// session index) file a context. isSameConversation(a, b) implies
// conversationKey(a) == conversationKey(b): the key is exact about the
// account path and chat type and coarse about the address
// (PhoneNumberUtils::matchKey()), so a lookup compares only the contexts
// that share the wanted one's key, with isSameConversation().
struct ConversationKey
{
    QString accountPath;
    int chatType = 0;
    QString address;

    bool operator==(const ConversationKey &other) const
    {
        return chatType == other.chatType && address == other.address && accountPath == other.accountPath;
    }
};
ConversationKey conversationKey(const ChatContext &context);
uint qHash(const ConversationKey &key, uint seed = 0);

// The hash of a context itself, on its raw strings, chat type and
// conversation id. Two contexts that are the same conversation (SMS/MMS,
// differently written numbers) may hash differently, and a QHash keyed by
// ChatContext compares with operator==, which folds SMS into MMS: such a
// table finds only the exact key. The library's own tables therefore file
// contexts by conversationKey().
uint qHash(const ChatContext &context, uint seed = 0);

#endif // MESSAGING0_SAMECONVERSATION_H
