// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "chatcontext_p.h"
#include "sameconversation.h"

#include "phonenumberutils.h"

#include <QHash>

namespace {
// SMS and MMS are one conversation partner's two roads: compare them as one.
const QString &foldCellular(const QString &accountPath)
{
    return accountPath == AccountPaths::Mms ? AccountPaths::Cellular : accountPath;
}
}

ChatContext::ChatContext()
    : d(new ChatContextData)
{
}

ChatContext::ChatContext(const QString &remoteUid, const QString &accountPath,
                         ChatType chatType, int conversationId)
    : d(new ChatContextData)
{
    d->remoteUid = remoteUid;
    d->accountPath = accountPath;
    d->chatType = chatType;
    d->conversationId = conversationId;
}

ChatContext::ChatContext(const ChatContext &other) = default;
ChatContext &ChatContext::operator=(const ChatContext &other) = default;
ChatContext::~ChatContext() = default;

QString ChatContext::remoteUid() const { return d->remoteUid; }
QString ChatContext::accountPath() const { return d->accountPath; }
ChatType ChatContext::chatType() const { return d->chatType; }
int ChatContext::conversationId() const { return d->conversationId; }

void ChatContext::setRemoteUid(const QString &remoteUid) { d->remoteUid = remoteUid; }
void ChatContext::setAccountPath(const QString &accountPath) { d->accountPath = accountPath; }
void ChatContext::setChatType(ChatType chatType) { d->chatType = chatType; }
void ChatContext::setConversationId(int conversationId) { d->conversationId = conversationId; }

bool ChatContext::isCellular() const
{
    return d->accountPath == AccountPaths::Cellular || d->accountPath == AccountPaths::Mms;
}

bool ChatContext::operator==(const ChatContext &other) const
{
    if (foldCellular(d->accountPath) != foldCellular(other.d->accountPath))
        return false;
    if (d->chatType != other.d->chatType)
        return false;
    // One-sided on purpose: a context without a remote id on the right
    // stands for "any conversation on this account".
    if (other.d->remoteUid.isEmpty())
        return true;
    return PhoneNumberUtils::remoteAddressMatch(d->remoteUid, other.d->remoteUid,
                                                PhoneNumberUtils::NormalizeFlagDefault);
}

bool ChatContext::operator!=(const ChatContext &other) const
{
    return !(*this == other);
}

uint qHash(const ChatContext &context, uint seed)
{
    return qHash(context.remoteUid() + context.accountPath(), seed)
           + uint(context.chatType()) + uint(context.conversationId());
}

ConversationKey conversationKey(const ChatContext &context)
{
    return ConversationKey { context.accountPath(), int(context.chatType()),
                             PhoneNumberUtils::matchKey(context.remoteUid()) };
}

uint qHash(const ConversationKey &key, uint seed)
{
    return qHash(key.address, seed) ^ qHash(key.accountPath, seed) ^ uint(key.chatType);
}

bool isSameConversation(const ChatContext &a, const ChatContext &b)
{
    return a.accountPath() == b.accountPath() && a.chatType() == b.chatType()
           && PhoneNumberUtils::remoteAddressMatch(a.remoteUid(), b.remoteUid(),
                                                   PhoneNumberUtils::NormalizeFlagDefault);
}
