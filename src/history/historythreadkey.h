// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYTHREADKEY_H
#define MESSAGING0_HISTORYTHREADKEY_H

#include "chatcontext.h"

#include <QString>

// The key under which the history keeps a conversation's thread. Computed
// once, when a message is written, and indexed: numbers are never compared
// inside SQL.
//
// Promise: two contexts that ChatContext equality calls one conversation
// (with the region known) get equal keys, and two different phone numbers
// never share a key, whatever the region.
struct HistoryThreadKey
{
    QString account; // the SMS account's path for the SMS and MMS accounts
    int chatType = 0;
    QString remote;  // the remote id's key

    bool isValid() const { return !account.isEmpty() && !remote.isEmpty(); }

    static HistoryThreadKey of(const ChatContext &context);
    // The account part alone, as the threads are filtered by it.
    static QString accountKey(const QString &accountPath);
};

#endif // MESSAGING0_HISTORYTHREADKEY_H
