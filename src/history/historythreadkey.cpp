// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historythreadkey.h"

#include "accountpaths.h"
#include "phonenumberutils.h"

QString HistoryThreadKey::accountKey(const QString &accountPath)
{
    return accountPath == AccountPaths::Mms ? AccountPaths::Cellular : accountPath;
}

HistoryThreadKey HistoryThreadKey::of(const ChatContext &context)
{
    HistoryThreadKey key;
    key.account = accountKey(context.accountPath());
    key.chatType = int(context.chatType());
    const QString remote = context.remoteUid();
    if (context.chatType() != OneToOneChat || !context.isCellular() || remote.isEmpty()) {
        key.remote = remote;
        return key;
    }
    // The helpers' lookup key is the normal form while the region is known.
    // Without a region a full number keys on its last digits only, which
    // would merge "+36 20 123 4567" with "+36 30 123 4567" for good; the
    // full normal form keeps them apart (a national form then gets a thread
    // of its own, the lesser fault).
    const QString shortKey = PhoneNumberUtils::makeShortNumber(remote);
    const QString normal = PhoneNumberUtils::normalizePhoneNumber(remote);
    key.remote = (normal.isEmpty() || shortKey == normal) ? shortKey : normal;
    return key;
}
