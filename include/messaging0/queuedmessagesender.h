#ifndef MESSAGING0_QUEUEDMESSAGESENDER_H
#define MESSAGING0_QUEUEDMESSAGESENDER_H

#include "messagecontent.h"
#include "messaging0global.h"

#include <QList>
#include <QObject>

class QueuedMessageSenderPrivate;

// The process-wide persistent send queue. sendMessage() stores the message
// in "~/.messaging-ui/sendqueue.dat" before it returns and the queue sends
// the messages one after another, each through its own self-deleting
// MessageSender, from the event loop. What the file holds when the process
// starts again (instance()) is sent then, in order.
//
// A message stays in the file until its status has come, so a crash never
// loses it; a message whose status had not come before the crash (or had
// come less than 100 ms before it: saves that only forget answered messages
// are gathered) is sent again on the next start. A failed message is not
// retried: the user learns about it through the sender's failure
// notification. A message that got no status within the sender's bound
// (MessageSender::MessageTimedOut) lets the queue move on but stays in the
// file and is sent again on the next start; messages() still holds it.
//
// The folder is private to the user (0700) and the file too (0600). The
// file is replaced atomically on every save. A damaged file is renamed
// aside with a ".damaged-<time>" suffix after the complete messages before
// the damage have been taken over. When the file cannot be written, sending
// goes on and the failure is logged once per run.
class MESSAGING0_EXPORT QueuedMessageSender : public QObject
{
    Q_OBJECT

public:
    // Created on first use as a child of the application object; loads the
    // file and starts sending what it holds.
    static QueuedMessageSender *instance();

    // Names the file; neither creates the folder nor reads the file.
    explicit QueuedMessageSender(QObject *parent = nullptr);
    ~QueuedMessageSender() override;

    void sendMessage(const MessageContent &content);

    // Start-up and persistence, as instance() runs them: createDataDirectory(),
    // loadQueue(), and sending of the first message.
    void init();
    void createDataDirectory();
    void loadQueue();
    void saveQueue();

    // Every message not yet answered by a status, the ones being sent
    // first; as the file holds them.
    QList<MessageContent> messages() const;
    QString queueFileName() const;

Q_SIGNALS:
    // A message has its status (0 sent, see MessageSender) and has left the
    // queue; messages() no longer holds it, unless the status is
    // MessageSender::MessageTimedOut.
    void messageStatusChanged(const MessageContent &message, int status);

private Q_SLOTS:
    void slotMessageSent();
    void slotSendNextMessage();

protected:
    QueuedMessageSenderPrivate *const d_ptr;

private:
    Q_DECLARE_PRIVATE(QueuedMessageSender)
    Q_DISABLE_COPY(QueuedMessageSender)
    static QueuedMessageSender *m_instance;
};

#endif // MESSAGING0_QUEUEDMESSAGESENDER_H
