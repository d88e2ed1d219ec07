// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_QUEUEDMESSAGESENDER_H
#define MESSAGING0_QUEUEDMESSAGESENDER_H

#include "messagecontent.h"
#include "messaging0global.h"

#include <QList>
#include <QObject>

class QueuedMessageSenderPrivate;

//! The process-wide persistent send queue. sendMessage() stores the message
//! in "~/.messaging-ui/sendqueue.dat" before it returns and the queue sends
//! the messages one after another, each through its own self-deleting
//! MessageSender, from the event loop. What the file holds when the process
//! starts again (instance()) is sent then, in order.
//!
//! A message stays in the file until its status has come, so a crash never
//! loses it; a message whose status had not come before the crash (or had
//! come less than 100 ms before it: saves that only forget answered messages
//! are gathered, and they do not wait for the disk, so a power cut may bring
//! an answered message back as well) is sent again later: a duplicate, never
//! a loss.
//!
//! Which statuses end a message:
//! - By default every status does, as it always has: a failed message is
//!   not retried and the user learns about it through the sender's failure
//!   notification. A message that got no status within the sender's bound
//!   (MessageSender::MessageTimedOut) may have left all the same: the queue
//!   moves on, but the message stays in the file (messages() still holds
//!   it) and is not sent again while the process that sent it runs. That
//!   process keeps the sending role as long as the file holds such a
//!   message (it goes on sending what is queued behind it, also by other
//!   processes), so no other process takes it for waiting. It is sent again
//!   by the next process that sends the queue once this one has ended: one
//!   that waits takes over within a second, else the next start.
//! - With setRetryTransientFailures(true), or the dconf key
//!   "/Messaging/Settings/QueueRetryTransient" set to true, a transient
//!   status (MessageStatus::isTransient(): the connection went away, the
//!   account is offline, no status within the bound, ...) keeps the message
//!   in the file and the queue sends it again by itself: as soon as its
//!   account is usable again (connected; on the cellular accounts also the
//!   radio on and the device out of flight mode), else after a growing pause
//!   (5 s, doubling up to 10 min). The messages behind it on the same account
//!   wait, so that they keep their order. A final status (sent, no such
//!   recipient, too large, an unreadable vCard, no such account, the
//!   connection manager refused the message) ends the message as before;
//!   so does MessageStatus::RetriesExhausted once a message has failed
//!   transiently for longer than "/Messaging/Settings/QueueRetryPeriod"
//!   (seconds, default a day). Only final failures raise the failure
//!   notification then. messageAttempted() tells every attempt's status and
//!   whether the queue tries again; messageStatusChanged() comes with it.
//!
//! Several processes share the queue: every process that holds a queue for
//! the file sees the same messages. Each change to the file is made under a
//! lock by re-reading the file and applying just that change (see
//! queuestore.h), so an add from any process is in the file when the call
//! returns and nobody overwrites what another wrote. Only one process sends
//! at a time: the one holding the QLockFile "sendqueue.lock" beside the
//! file, taken when there is something to send and given up when nothing
//! is left in flight, no message without a status is left in the file and
//! the file has forgotten every answered message. The others watch the file
//! and take over when the sender lets go or dies (a lock whose process is
//! gone, even after SIGKILL, is taken over within a second), so each
//! message is sent by one process; only a message in flight when its sender
//! was killed is sent again. When the lock cannot be taken for another
//! reason (the folder is not writable, the disk is full), the process sends
//! none of the file's messages, logs that once on the critical channel and
//! tries again every second; messages that only it holds (they could not
//! be stored) still leave.
//!
//! The folder is private to the user (0700) and the file too (0600). The
//! file is replaced atomically on every save. "On the disk" for an add
//! means: the new file is synced, renamed over the old one, and the folder
//! is synced as well, so the add survives a power cut from the moment the
//! call returns. A damaged file is renamed aside with a ".damaged-<time>"
//! suffix after the complete messages before the damage have been taken
//! over. When the file cannot be written, the file stays as it was and the
//! failure is logged once per run with the system's reason (errorString()):
//! a message whose add failed is sent only by this process and only while
//! it runs; answered messages that a save could not forget are kept for
//! the next save (tried again after 5 s), and the sending role with them.
class MESSAGING0_EXPORT QueuedMessageSender : public QObject
{
    Q_OBJECT

public:
    //! Created on first use as a child of the application object; loads the
    //! file and starts sending what it holds.
    static QueuedMessageSender *instance();

    //! Names the file; neither creates the folder nor reads the file.
    explicit QueuedMessageSender(QObject *parent = nullptr);
    ~QueuedMessageSender() override;

    //! Stores the message in the queue file and sends it after those before it.
    void sendMessage(const MessageContent &content);
    //! The same; returns the message's id in this process (messageAttempted()),
    //! or a null string when the message could not be stored (errorString()
    //! tells why): this process still sends it from its event loop, but
    //! nothing else will, so it is lost if the process ends first.
    QString enqueue(const MessageContent &content);

    //! Transient failures are retried (see above); the default follows the
    //! dconf key "/Messaging/Settings/QueueRetryTransient" (false).
    void setRetryTransientFailures(bool retry);
    //! Whether transient failures are retried.
    bool retryTransientFailures() const;

    //! The process that sends the queue now: this one's id when it does,
    //! another's while that one sends, 0 when none does.
    qint64 sendingProcessId() const;

    //! Start-up and persistence, as instance() runs them: createDataDirectory(),
    //! loadQueue(), and sending of the first message.
    void init();
    //! Creates the queue's folder (0700) when it is missing and tightens its mode.
    void createDataDirectory();
    //! Reads the queue file.
    void loadQueue();
    //! Writes the queue file.
    void saveQueue();

    //! Every message not yet answered by a status, the ones being sent
    //! first; as the file holds them.
    QList<MessageContent> messages() const;
    //! The path of the queue file.
    QString queueFileName() const;
    //! The system's reason why the last write of the queue file failed
    //! (e.g. "No space left on device"); empty after one that worked.
    QString errorString() const;

Q_SIGNALS:
    //! A message has its status (0 sent, see MessageSender) and has left the
    //! queue; messages() no longer holds it, unless the status is
    //! MessageSender::MessageTimedOut or the queue will try it again.
    void messageStatusChanged(const MessageContent &message, int status);
    //! Every attempt's status, right before messageStatusChanged(): id as
    //! enqueue() gave it (messages loaded from the file get theirs then);
    //! willRetry when the message stays in the queue for another attempt.
    void messageAttempted(const QString &id, const MessageContent &message, int status, bool willRetry);

private Q_SLOTS:
    void slotMessageSent();
    void slotSendNextMessage();

protected:
    QueuedMessageSenderPrivate *const d_ptr;

private:
    Q_DECLARE_PRIVATE(QueuedMessageSender)
    Q_DISABLE_COPY(QueuedMessageSender)
    // Unused; kept for the binary interface.
    static QueuedMessageSender *m_instance;
};

#endif // MESSAGING0_QUEUEDMESSAGESENDER_H
