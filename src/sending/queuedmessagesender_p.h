#ifndef MESSAGING0_QUEUEDMESSAGESENDER_P_H
#define MESSAGING0_QUEUEDMESSAGESENDER_P_H

#include "chatsession.h"
#include "messagecontent.h"
#include "queuedmessagesender.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>

class MessageSender;

class QueuedMessageSenderPrivate
{
public:
    explicit QueuedMessageSenderPrivate(QueuedMessageSender *q);

    struct Entry
    {
        MessageContent content;
        // Its record in the file, encoded once; empty when it cannot be
        // stored.
        QByteArray record;
    };

    struct InFlight
    {
        quint64 ticket;
        // Owned by the application object; deletes itself after its status.
        QPointer<MessageSender> sender;
        Entry entry;
    };

    static QByteArray storableRecord(const MessageContent &content);
    // A status for the message sent under ticket.
    void finish(quint64 ticket, int status);
    void keepDamagedFileAside();
    void reportSaveFailure(const QString &reason);
    // After a status: at once when the queue is empty or the last save is
    // old enough, else a little later (see StatusSaveDelayMs).
    void saveAfterStatus();
    QList<MessageContent> allMessages() const;

    QueuedMessageSender *const q_ptr;
    Q_DECLARE_PUBLIC(QueuedMessageSender)

    // Waiting, oldest first.
    QList<Entry> queue;
    // Handed to a sender, no status yet; still saved to the file.
    QList<InFlight> inFlight;
    // Gave no status in time: kept in the file for the next start, not sent
    // again in this process, so the queue moves on.
    QList<Entry> deferred;
    quint64 nextTicket = 1;
    QString directory;
    QString fileName;
    bool saveFailureReported = false;
    // The file still holds messages that have had their status.
    bool dirty = false;
    QElapsedTimer sinceSave;
    QTimer flushTimer;
    // Inside slotSendNextMessage(), handing a message to its sender.
    bool starting = false;
};

#endif // MESSAGING0_QUEUEDMESSAGESENDER_P_H
