#include "queuedmessagesender.h"

#include "messagesender.h"
#include "queuedmessagesender_p.h"
#include "queuefile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTimer>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcSendQueue, "messaging.sending.queue")

namespace {

const QString DirectoryName = QStringLiteral(".messaging-ui");
const QString FileName = QStringLiteral("sendqueue.dat");

// The queue holds private messages: only the user may read it.
constexpr QFileDevice::Permissions DirectoryMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr mode_t FileMode = S_IRUSR | S_IWUSR;
constexpr QFileDevice::Permissions OthersMask = QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

// Saves that only forget answered messages are gathered over this long.
// Each save reaches the disk (fsync), which would otherwise bound the
// sending rate; a crash inside the window costs the re-sending of the
// messages answered in it, never a loss.
constexpr int StatusSaveDelayMs = 100;

} // namespace

QueuedMessageSender *QueuedMessageSender::m_instance = nullptr;

QueuedMessageSenderPrivate::QueuedMessageSenderPrivate(QueuedMessageSender *q)
    : q_ptr(q)
    , directory(QDir::homePath() + QLatin1Char('/') + DirectoryName)
    , fileName(directory + QLatin1Char('/') + FileName)
{
    flushTimer.setSingleShot(true);
    QObject::connect(&flushTimer, &QTimer::timeout, q, &QueuedMessageSender::saveQueue);
}

QByteArray QueuedMessageSenderPrivate::storableRecord(const MessageContent &content)
{
    const QByteArray record = QueueFile::record(content);
    // Part values beyond plain data (strings, numbers, byte arrays and lists
    // or maps of them) would not load again, and the file would be damaged
    // from this record on: such a message is sent, but not stored.
    const QueueFile::Contents check = QueueFile::decode(QueueFile::fromRecords({record}));
    if (check.damaged) {
        qCWarning(lcSendQueue) << "a message to" << content.remoteUid()
                               << "has part values the queue cannot store; it is sent but not kept across restarts";
        return QByteArray();
    }
    return record;
}

void QueuedMessageSenderPrivate::saveAfterStatus()
{
    Q_Q(QueuedMessageSender);
    const qint64 age = sinceSave.isValid() ? sinceSave.elapsed() : StatusSaveDelayMs;
    if ((queue.isEmpty() && inFlight.isEmpty()) || age >= StatusSaveDelayMs) {
        q->saveQueue();
        return;
    }
    dirty = true;
    if (!flushTimer.isActive())
        flushTimer.start(int(StatusSaveDelayMs - age));
}

QList<MessageContent> QueuedMessageSenderPrivate::allMessages() const
{
    QList<MessageContent> messages;
    messages.reserve(deferred.size() + inFlight.size() + queue.size());
    for (const Entry &entry : deferred)
        messages.append(entry.content);
    for (const InFlight &flight : inFlight)
        messages.append(flight.entry.content);
    for (const Entry &entry : queue)
        messages.append(entry.content);
    return messages;
}

void QueuedMessageSenderPrivate::finish(quint64 ticket, int status)
{
    Q_Q(QueuedMessageSender);
    int index = -1;
    for (int i = 0; i < inFlight.size(); ++i) {
        if (inFlight.at(i).ticket == ticket) {
            index = i;
            break;
        }
    }
    // A second status from the same sender: the message is done already.
    if (index < 0)
        return;
    const InFlight flight = inFlight.takeAt(index);
    if (status == MessageSender::MessageTimedOut)
        deferred.append(flight.entry);
    if (MessageSender *sender = flight.sender.data()) {
        QObject::disconnect(sender, nullptr, q, nullptr);
        // A vCard that cannot be read is answered without ever becoming
        // pending, and such a sender would not delete itself.
        if (!sender->isSending())
            sender->deleteLater();
    }
    q->slotMessageSent();
    Q_EMIT q->messageStatusChanged(flight.entry.content, status);
}

void QueuedMessageSenderPrivate::keepDamagedFileAside()
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
    QString aside = fileName + QStringLiteral(".damaged-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = fileName + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(fileName, aside)) {
        qCWarning(lcSendQueue) << "the send queue file was damaged; kept as" << aside << "after taking over"
                               << queue.size() << "complete message(s)";
    } else {
        qCCritical(lcSendQueue) << "void QueuedMessageSender::loadQueue()"
                                << "cannot keep the damaged queue file aside:" << fileName;
    }
}

void QueuedMessageSenderPrivate::reportSaveFailure(const QString &reason)
{
    if (saveFailureReported)
        return;
    saveFailureReported = true;
    qCCritical(lcSendQueue) << "void QueuedMessageSender::saveQueue()"
                            << "cannot write the send queue" << fileName << ":" << reason
                            << "- messages are sent but will not survive a restart";
}

QueuedMessageSender *QueuedMessageSender::instance()
{
    if (!m_instance) {
        // Owned by the application object.
        m_instance = new QueuedMessageSender(QCoreApplication::instance());
        m_instance->init();
    }
    return m_instance;
}

QueuedMessageSender::QueuedMessageSender(QObject *parent)
    : QObject(parent)
    , d_ptr(new QueuedMessageSenderPrivate(this))
{
}

QueuedMessageSender::~QueuedMessageSender()
{
    Q_D(QueuedMessageSender);
    if (m_instance == this)
        m_instance = nullptr;
    if (d->dirty)
        saveQueue();
    delete d_ptr;
}

void QueuedMessageSender::init()
{
    Q_D(QueuedMessageSender);
    createDataDirectory();
    loadQueue();
    if (!d->queue.isEmpty())
        slotSendNextMessage();
}

void QueuedMessageSender::createDataDirectory()
{
    Q_D(QueuedMessageSender);
    if (!QDir(d->directory).exists() && !QDir().mkpath(d->directory)) {
        qCWarning(lcSendQueue) << "cannot create" << d->directory;
        return;
    }
    QFile directory(d->directory);
    if (directory.permissions() & OthersMask)
        directory.setPermissions(DirectoryMode);
}

void QueuedMessageSender::loadQueue()
{
    Q_D(QueuedMessageSender);
    QFile file(d->fileName);
    if (!file.exists())
        return;
    if (file.permissions() & OthersMask)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!file.open(QIODevice::ReadOnly)) {
        // The next save would replace it: keep it for whoever can read it.
        qCWarning(lcSendQueue) << "cannot read" << d->fileName << file.errorString();
        d->keepDamagedFileAside();
        return;
    }
    const QueueFile::Contents contents = QueueFile::decode(file.readAll());
    file.close();

    d->queue.clear();
    for (int i = 0; i < contents.messages.size(); ++i)
        d->queue.append({contents.messages.at(i), contents.records.at(i)});
    if (contents.damaged) {
        d->keepDamagedFileAside();
        // A healthy file with what could be saved, right away.
        saveQueue();
    }
}

void QueuedMessageSender::saveQueue()
{
    Q_D(QueuedMessageSender);
    d->dirty = false;
    d->flushTimer.stop();
    d->sinceSave.start();
    QList<QByteArray> records;
    records.reserve(d->deferred.size() + d->inFlight.size() + d->queue.size());
    for (const QueuedMessageSenderPrivate::Entry &entry : qAsConst(d->deferred)) {
        if (!entry.record.isEmpty())
            records.append(entry.record);
    }
    for (const QueuedMessageSenderPrivate::InFlight &flight : qAsConst(d->inFlight)) {
        if (!flight.entry.record.isEmpty())
            records.append(flight.entry.record);
    }
    for (const QueuedMessageSenderPrivate::Entry &entry : qAsConst(d->queue)) {
        if (!entry.record.isEmpty())
            records.append(entry.record);
    }
    const QByteArray bytes = QueueFile::fromRecords(records);
    // Written to a new file that replaces the old one only once it is
    // complete and on disk: a crash leaves the previous or the new queue.
    QSaveFile file(d->fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        d->reportSaveFailure(file.errorString());
        return;
    }
    if (::fchmod(file.handle(), FileMode) != 0)
        qCWarning(lcSendQueue) << "cannot make" << d->fileName << "private";
    if (file.write(bytes) != bytes.size() || !file.commit())
        d->reportSaveFailure(file.errorString());
}

void QueuedMessageSender::sendMessage(const MessageContent &content)
{
    Q_D(QueuedMessageSender);
    const bool wasEmpty = d->queue.isEmpty();
    d->queue.append({content, d->storableRecord(content)});
    if (wasEmpty)
        QTimer::singleShot(0, this, &QueuedMessageSender::slotSendNextMessage);
    saveQueue();
}

QList<MessageContent> QueuedMessageSender::messages() const
{
    Q_D(const QueuedMessageSender);
    return d->allMessages();
}

QString QueuedMessageSender::queueFileName() const
{
    Q_D(const QueuedMessageSender);
    return d->fileName;
}

void QueuedMessageSender::slotMessageSent()
{
    Q_D(QueuedMessageSender);
    d->saveAfterStatus();
    slotSendNextMessage();
}

void QueuedMessageSender::slotSendNextMessage()
{
    Q_D(QueuedMessageSender);
    if (d->queue.isEmpty())
        return;

    const QueuedMessageSenderPrivate::Entry entry = d->queue.takeFirst();
    const MessageContent &content = entry.content;
    const quint64 ticket = d->nextTicket++;
    // Owned by the application object (auto delete); it deletes itself once
    // its message has its status.
    auto *sender = new MessageSender(content.remoteUid(), content.account(), true, nullptr);
    d->inFlight.append({ticket, sender, entry});
    // Direct, so that the next message to the same conversation finds the
    // session this sender still holds. A status from inside send() (an
    // unreadable vCard) is taken from the event loop instead, so that a run
    // of such messages does not recurse.
    connect(sender, &MessageSender::messageStatusChanged, this, [this, d, ticket](const QString &, int status) {
        if (d->starting)
            QTimer::singleShot(0, this, [d, ticket, status] { d->finish(ticket, status); });
        else
            d->finish(ticket, status);
    });

    d->starting = true;

    if (!content.messageParts().isEmpty())
        sender->send(content.messageParts(), QString());
    else if (content.isVCard())
        sender->sendVCard(content.message(), QString());
    else
        sender->send(content.message(), QString());
    d->starting = false;
}
