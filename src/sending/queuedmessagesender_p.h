// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_QUEUEDMESSAGESENDER_P_H
#define MESSAGING0_QUEUEDMESSAGESENDER_P_H

#include "chatsession.h"
#include "messagecontent.h"
#include "queuedmessagesender.h"
#include "queuestore.h"

#include <QElapsedTimer>
#include <QList>
#include <QLockFile>
#include <QPointer>
#include <QScopedPointer>
#include <QString>
#include <QTimer>

#include <optional>

class ConfItem;
class MessageSender;
class QFileSystemWatcher;

class QueuedMessageSenderPrivate
{
public:
    explicit QueuedMessageSenderPrivate(QueuedMessageSender *q);

    struct Entry
    {
        enum State {
            Waiting,
            InFlight,
            // Gave no status in time and retries are off: kept in the file
            // for the next start, not sent again in this process.
            Deferred,
            // Failed transiently; sent again when its account is usable or
            // at nextAttemptMs.
            RetryWaiting
        };

        QString id;
        // The message's id in the history, the same in every process that
        // sends or adds it (see historyToken()); each attempt sends under it.
        QString historyToken;
        MessageContent content;
        // Its record in the file, encoded once; empty when it cannot be
        // stored.
        QByteArray record;
        State state = Waiting;
        // Owned by the application object; deletes itself after its status.
        QPointer<MessageSender> sender;
        // The D-Bus error of the attempt in flight, when it failed with one.
        QString errorName;
        qint64 firstFailureMs = -1;
        qint64 nextAttemptMs = -1;
        int attempts = 0;
    };

    static QByteArray storableRecord(const MessageContent &content);
    // occurrence: how many equal records come before it in the file.
    static QString historyToken(const QByteArray &record, int occurrence);
    Entry newEntry(const MessageContent &content, const QByteArray &record, int occurrence);
    int indexOf(const QString &id) const;

    // The file as another process left it: keeps what this process knows
    // of each message still there, takes the messages new to it, drops the
    // ones gone, and keeps those in flight or not storable.
    // messages, when given, are fileRecords decoded.
    void merge(const QList<QByteArray> &fileRecords, const QList<MessageContent> &messages = {});
    void refreshIfChanged();
    void watchFile();

    // The first message that may leave now: waiting, and not behind a
    // message of the same account that waits for another attempt.
    int nextToSend() const;
    bool hasWork() const;
    // Takes the sending role when nobody holds it; false while another
    // process sends.
    bool takeSendingRole();
    void releaseSendingRoleWhenIdle();
    void start(Entry &entry);

    // A status for the attempt of the message id.
    void finish(const QString &id, int attempt, int status);
    bool retries() const;
    qint64 retryPeriodMs() const;
    void scheduleRetry(Entry &entry);
    void armRetryTimer();
    void retryDue();
    // The account can take messages again: its messages waiting for
    // another attempt go now.
    void retryAccount(const QString &accountPath);
    bool canLeave(const QString &accountPath) const;
    void followNetworkStatus();

    void reportSaveFailure(const char *function, const QString &reason);
    // After a status: at once when the queue is empty or the last save is
    // old enough, else a little later (see StatusSaveDelayMs).
    void saveAfterStatus();
    QList<MessageContent> allMessages() const;

    QueuedMessageSender *const q_ptr;
    Q_DECLARE_PUBLIC(QueuedMessageSender)

    // Every message not yet answered, in the order of the file.
    QList<Entry> entries;
    // Answered messages the file still holds, to be forgotten at the next
    // save.
    QList<QByteArray> forgotten;
    quint64 nextId = 1;
    // The conversation of the last message answered, kept open (see finish()).
    ChatSessionPtr openConversation;
    QString directory;
    QString fileName;
    QueueStore store;
    // Held (locked) while this process sends the queue.
    QLockFile sendingRole;
    // While another process sends: looks whether it still does.
    QTimer takeOverTimer;
    QFileSystemWatcher *watcher = nullptr; // child of the queue
    bool saveFailureReported = false;
    QElapsedTimer sinceSave;
    QTimer flushTimer;
    // Inside slotSendNextMessage(), handing a message to its sender.
    bool starting = false;

    std::optional<bool> retryChoice;
    // Made on first use; children of the queue.
    mutable ConfItem *retrySetting = nullptr;
    mutable ConfItem *retryPeriodSetting = nullptr;
    bool followsNetworkStatus = false;
    QElapsedTimer clock;
    QTimer retryTimer;
};

#endif // MESSAGING0_QUEUEDMESSAGESENDER_P_H
