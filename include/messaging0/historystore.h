// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYSTORE_H
#define MESSAGING0_HISTORYSTORE_H

#include "chatcontext.h"
#include "historymessage.h"
#include "historythread.h"
#include "messaging0global.h"

#include <QList>
#include <QObject>
#include <QScopedPointer>
#include <QString>

class HistoryStorePrivate;

//! The conversation history: every message sent or received, in threads,
//! with read state, drafts and search, in one SQLite file that several
//! processes share.
//!
//! **The file.** `$XDG_DATA_HOME/messaging0/history.db` (XDG_DATA_HOME
//! defaults to `~/.local/share`), readable by its owner only (the file 0600,
//! the folder 0700). SQLite in WAL mode, readers in other processes going on
//! while one process writes. A change whose call returned survives a crash
//! of any process. Commits are not flushed to the disk one by one
//! (`synchronous=NORMAL`): a power cut can take back the changes since the
//! last checkpoint, never damage the file; a flush per message would cost
//! several milliseconds on flash for every message stored. The schema version is kept in
//! `PRAGMA user_version`; a file of an earlier version is copied beside
//! itself (`history.db.v<N>`) and then migrated step by step, each step in
//! one transaction. A file that SQLite cannot read when it is opened is moved
//! aside (`history.db.damaged-<UTC time>`) and a new one is started, with a
//! warning in the `messaging.history` logging category. A file of a later
//! version is left as it is and the store stays closed.
//!
//! **Threads.** One thread per conversation, keyed once when its first
//! message is written: the account (the SMS and MMS accounts count as one)
//! and the kind of chat, plus, for a one-to-one chat on a cellular account,
//! the phone-number helpers' key of the remote id ("+358 40 123 4567",
//! "040 123 4567" and "+358401234567" are one thread in Finland), and the
//! remote id as given otherwise (instant-messaging ids, room ids, persistent
//! ids). When the region is unknown the helpers' key of a full number is only
//! its last digits; the store then keys on the number's full normal form, so
//! that two different numbers never share a thread.
//!
//! **Several writers.** Every change is one `BEGIN IMMEDIATE` transaction
//! with a busy timeout of 5 s, and counters change by SQL arithmetic inside
//! it: the user interface, the `messaging` program and the recorder write at
//! once without losing an update.
//!
//! **Change notices.** Each store object emits threadChanged(),
//! threadRemoved(), messageAdded() and messageChanged() for its own changes
//! when the call returns, and for the changes of every other store object on
//! the same file, in this process or another, within a few milliseconds. The
//! writer announces each committed change on the session bus: the signal
//! `Changed(s file, s origin, ai kinds, ax threadIds, ax messageIds)` of the
//! interface `org.messaging0.History1` on the object `/org/messaging0/History`,
//! where file is the store's canonical path and origin tells the writer's
//! own object, which ignores it. A store object follows the others from the
//! moment something connects to one of its change signals (a model does on
//! creation, before it reads its first page), and connects to the bus for
//! writing on its first change. The bus was chosen over watching the file
//! because a WAL file shows no reliable change to inotify and polling
//! `PRAGMA data_version` would wake the device for nothing. Without a session
//! bus only the object's own changes are announced.
//!
//! **Paging.** Every list is paged by key, never by offset: pass the last
//! item of the previous page to get the next one; a page costs the same
//! however deep it is.
//!
//! All calls are synchronous and run on the thread that created the store.
class MESSAGING0_EXPORT HistoryStore : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(HistoryStore)

public:
    //! The schema version that this library writes.
    static constexpr int SchemaVersion = 3;

    //! What threads() lists.
    struct ThreadFilter
    {
        //! Only the threads of this account (SMS and MMS are one); all when empty.
        QString accountPath;
        //! Only the threads with unread messages.
        bool unreadOnly = false;
        //! Only the threads whose remote ids contain every word as a prefix
        //! of one of their words; all when empty.
        QString text;
    };

    //! The process-wide store on defaultPath(), created on first use as a
    //! child of the application object.
    static HistoryStore *instance();

    //! `$XDG_DATA_HOME/messaging0/history.db`, or
    //! `~/.local/share/messaging0/history.db`.
    static QString defaultPath();

    //! Opens (or creates) the store in the file path, for tests and tools;
    //! an application uses instance(). isOpen() tells whether it worked.
    explicit HistoryStore(const QString &path, QObject *parent = nullptr);
    ~HistoryStore() override;

    //! Whether the file is open and of this library's schema version.
    bool isOpen() const;
    //! The file's path as given.
    QString path() const;

    // --- Recording ---------------------------------------------------------

    //! Stores message in the thread of context, creating the thread when
    //! needed, and updates the thread's last message and unread count in the
    //! same transaction. A message whose storageToken() the thread already
    //! has is not stored again: its existing id is returned and nothing
    //! changes. An empty time of the message is taken as now. Returns the
    //! message's id; -1 on failure (the store is closed, the context has no
    //! remote id, or the write failed).
    qint64 addMessage(const ChatContext &context, const HistoryMessage &message);

    //! Sets the state of the message with token in the thread of context:
    //! the fate of an outgoing message, or what a delivery report says
    //! (token is then the reported message's token). statusCode and
    //! errorName are kept for Failed and Retrying and cleared otherwise.
    //! A message that is already Delivered does not go back to Sent.
    //! connectionToken, when given, is kept as the token the connection
    //! manager gave the sent message; a later call may name the message by
    //! either token (a delivery report read by another process knows only
    //! the connection manager's).
    //! False when there is no such message or the write failed.
    bool setMessageState(const ChatContext &context, const QString &token,
                         HistoryMessage::State state, int statusCode = 0,
                         const QString &errorName = QString(),
                         const QString &connectionToken = QString());

    // --- Threads -----------------------------------------------------------

    //! The id of the thread of context; -1 when there is none.
    qint64 threadId(const ChatContext &context) const;
    //! The thread with id; invalid when there is none.
    HistoryThread thread(qint64 id) const;
    //! Threads, the one with the newest last message first, at most limit of
    //! them, after the thread after (the last one of the previous page; an
    //! invalid thread for the first page).
    QList<HistoryThread> threads(const ThreadFilter &filter, int limit = 50,
                                 const HistoryThread &after = HistoryThread()) const;

    //! Whether the thread passes filter (what a thread list model asks
    //! when a thread changes).
    bool threadMatches(qint64 threadId, const ThreadFilter &filter) const;

    //! Marks every message of the thread read; the unread count becomes 0.
    bool markRead(qint64 threadId);
    //! Marks the messages read and lowers their threads' unread counts.
    bool markRead(const QList<qint64> &messageIds);
    //! Keeps text as the thread's draft; an empty text removes it.
    bool setDraft(qint64 threadId, const QString &text);
    //! Keeps topic as the room's topic (its title in lists); the room's
    //! thread is made when it has none yet, as for a room joined before
    //! its first message.
    bool setTopic(const ChatContext &context, const QString &topic);
    //! Removes the thread and all its messages.
    bool removeThread(qint64 threadId);
    //! Removes the messages; their threads' last message and unread count
    //! follow. The threads stay, even when emptied.
    bool removeMessages(const QList<qint64> &messageIds);

    // --- Messages ----------------------------------------------------------

    //! The message with id; one with id() -1 when there is none.
    HistoryMessage message(qint64 id) const;
    //! The id of the message with token (a storageToken()) in the thread of
    //! context; -1 when there is none.
    qint64 messageId(const ChatContext &context, const QString &token) const;
    //! Messages of the thread, newest first, at most limit of them, older
    //! than before (the last one of the previous page; an empty message for
    //! the first page).
    QList<HistoryMessage> messages(qint64 threadId, int limit = 50,
                                   const HistoryMessage &before = HistoryMessage()) const;
    //! Messages of the thread newer than after, oldest first, at most limit.
    QList<HistoryMessage> newerMessages(qint64 threadId, const HistoryMessage &after,
                                        int limit = 50) const;
    //! The message with id and up to count messages on each side of it in
    //! its thread, newest first: what a search hit opens on.
    QList<HistoryMessage> messagesAround(qint64 messageId, int count = 25) const;

    //! Messages whose text holds every word of text as a prefix of one of its
    //! words (case and diacritics ignored), newest first, at most limit, older
    //! than the message with id beforeId (-1 for the first page), in the
    //! thread threadId only when it is not -1. Any text is searched as plain
    //! words: quotes, operators and parentheses never make an error. Each
    //! result carries a snippet().
    QList<HistoryMessage> search(const QString &text, int limit = 50, qint64 beforeId = -1,
                                 qint64 threadId = -1) const;

Q_SIGNALS:
    //! The thread is new or its last message, unread count or draft changed.
    void threadChanged(qint64 threadId);
    //! The thread and its messages are gone.
    void threadRemoved(qint64 threadId);
    //! A message was stored in the thread.
    void messageAdded(qint64 threadId, qint64 messageId);
    //! A message's state or read flag changed.
    void messageChanged(qint64 threadId, qint64 messageId);
    //! A message was removed (its thread stays; threadChanged() follows).
    void messageRemoved(qint64 threadId, qint64 messageId);

protected:
    //! Starts following the other store objects' changes on the bus when
    //! the first receiver connects to a change signal.
    void connectNotify(const QMetaMethod &signal) override;

private:
    QScopedPointer<HistoryStorePrivate> d_ptr;
};

#endif // MESSAGING0_HISTORYSTORE_H
