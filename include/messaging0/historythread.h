// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYTHREAD_H
#define MESSAGING0_HISTORYTHREAD_H

#include "chattype.h"
#include "historymessage.h"
#include "messaging0global.h"

#include <QDateTime>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class HistoryThreadData;

//! One conversation of the history, as HistoryStore keeps it: who it is
//! with, its last message, its unread count and its draft. Implicitly
//! shared; read-only (the store changes threads).
//!
//! The last message and the unread count are kept by the store in the same
//! transaction as every change of the thread's messages; reading a thread
//! never counts anything.
class MESSAGING0_EXPORT HistoryThread
{
public:
    //! An invalid thread (id() is -1).
    HistoryThread();
    //! A shared copy.
    HistoryThread(const HistoryThread &other);
    //! Shares other's data.
    HistoryThread &operator=(const HistoryThread &other);
    ~HistoryThread();

    //! False for the thread that a failed lookup returns.
    bool isValid() const;
    //! The store's id of the thread; -1 when invalid.
    qint64 id() const;
    //! The account's object path. Threads of the SMS and MMS accounts are
    //! one thread, kept under the SMS account's path.
    QString accountPath() const;
    //! The other party's id as first written (one entry), or the group's
    //! room id or persistent id.
    QStringList remoteIds() const;
    //! The kind of conversation.
    ChatType chatType() const;
    //! True for room and ad-hoc group chats.
    bool isGroupChat() const;
    //! The store's id of the last message; -1 when the thread has none.
    qint64 lastMessageId() const;
    //! The start of the last message's text (at most 200 characters).
    QString lastText() const;
    //! The last message's time (HistoryMessage::time()); invalid when none.
    QDateTime lastTime() const;
    //! Whether the last message is incoming.
    bool lastIncoming() const;
    //! The last message's state.
    HistoryMessage::State lastState() const;
    //! How many incoming messages of the thread are not read.
    int unreadCount() const;
    //! The unsent text the user left in the conversation; empty when none.
    QString draft() const;
    //! A room's topic, as last seen; empty when none was.
    QString topic() const;
    //! The title that needs no address book: a room's topic when known,
    //! else the remote ids, comma-separated.
    QString title() const;

private:
    friend class HistoryStore;
    friend class HistoryStorePrivate;
    QSharedDataPointer<HistoryThreadData> d;
};

Q_DECLARE_METATYPE(HistoryThread)

#endif // MESSAGING0_HISTORYTHREAD_H
