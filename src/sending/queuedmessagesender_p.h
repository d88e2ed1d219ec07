#ifndef MESSAGING0_QUEUEDMESSAGESENDER_P_H
#define MESSAGING0_QUEUEDMESSAGESENDER_P_H

#include "messagecontent.h"
#include "queuedmessagesender.h"

#include <QList>
#include <QPointer>
#include <QString>

class MessageSender;

class QueuedMessageSenderPrivate
{
public:
    explicit QueuedMessageSenderPrivate(QueuedMessageSender *q);

    struct InFlight
    {
        quint64 ticket;
        // Owned by the application object; deletes itself after its status.
        QPointer<MessageSender> sender;
        MessageContent content;
    };

    // A status for the message sent under ticket.
    void finish(quint64 ticket, int status);
    void keepDamagedFileAside();
    void reportSaveFailure(const QString &reason);
    QList<MessageContent> allMessages() const;

    QueuedMessageSender *const q_ptr;
    Q_DECLARE_PUBLIC(QueuedMessageSender)

    // Waiting, oldest first.
    QList<MessageContent> queue;
    // Handed to a sender, no status yet; still saved to the file.
    QList<InFlight> inFlight;
    // Gave no status in time: kept in the file for the next start, not sent
    // again in this process, so the queue moves on.
    QList<MessageContent> deferred;
    quint64 nextTicket = 1;
    QString directory;
    QString fileName;
    bool saveFailureReported = false;
};

#endif // MESSAGING0_QUEUEDMESSAGESENDER_P_H
