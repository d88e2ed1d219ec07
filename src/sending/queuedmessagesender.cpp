// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "queuedmessagesender.h"

#include "accountpaths.h"
#include "chatcontext.h"
#include "chatsessionmanager.h"
#include "confitem.h"
#include "historyrecording.h"
#include "messagesender.h"
#include "messagestatus.h"
#include "networkstatusmanager.h"
#include "queuedmessagesender_p.h"
#include "queuefile.h"
#include "sendfailurenotification.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <csignal>

namespace {

const QString DirectoryName = QStringLiteral(".messaging-ui");
const QString FileName = QStringLiteral("sendqueue.dat");
const QString SendingRoleName = QStringLiteral("sendqueue.lock");
const QString RetryKey = QStringLiteral("/Messaging/Settings/QueueRetryTransient");
const QString RetryPeriodKey = QStringLiteral("/Messaging/Settings/QueueRetryPeriod");

// The queue holds private messages: only the user may read it.
constexpr QFileDevice::Permissions DirectoryMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions OthersMask = QFileDevice::ReadGroup | QFileDevice::WriteGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

// Saves that only forget answered messages are gathered over this long; a
// crash inside the window costs the re-sending of the messages answered in
// it, never a loss.
constexpr int StatusSaveDelayMs = 100;

// How often a process whose queue holds messages looks whether the process
// sending them is still there.
constexpr int TakeOverIntervalMs = 1000;
// The sending role's lock is taken over at once when its process is gone.
// A lock file without a readable holder (its process was killed between
// creating and filling it) is taken over after this long; a live holder's
// lock is never broken, as QLockFile holds a kernel lock on it as well.
constexpr int StaleRoleLockMs = 10000;

// Pauses between attempts of a transiently failed message.
constexpr qint64 FirstRetryDelayMs = 5000;
constexpr qint64 LongestRetryDelayMs = 10 * 60 * 1000;
constexpr qint64 DefaultRetryPeriodS = 24 * 3600;

ChatContext contextOf(const MessageContent &content)
{
    return ChatContext(content.remoteUid(), content.account(), OneToOneChat, -1);
}

// A queued message in its thread of the history, as it will be sent.
void recordInHistory(const QString &token, const MessageContent &content)
{
    MsgPartsList parts = content.messageParts();
    if (parts.isEmpty()) {
        QMap<QString, QDBusVariant> body;
        if (content.isVCard()) {
            QFile file(content.message());
            QByteArray card;
            if (file.open(QIODevice::ReadOnly))
                card = file.read(HistoryMessage::MaxPartBodySize + 1);
            body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/x-vcard")));
            body.insert(QStringLiteral("content"), QDBusVariant(card));
            body.insert(QStringLiteral("size"), QDBusVariant(qint64(file.size())));
        } else {
            body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
            body.insert(QStringLiteral("content"), QDBusVariant(content.message()));
        }
        parts << QMap<QString, QDBusVariant>() << body;
    }
    HistoryRecording::outgoing(contextOf(content), token, parts);
}

} // namespace

QueuedMessageSender *QueuedMessageSender::m_instance = nullptr;

QueuedMessageSenderPrivate::QueuedMessageSenderPrivate(QueuedMessageSender *q)
    : q_ptr(q)
    , directory(QDir::homePath() + QLatin1Char('/') + DirectoryName)
    , fileName(directory + QLatin1Char('/') + FileName)
    , store(fileName)
    , sendingRole(directory + QLatin1Char('/') + SendingRoleName)
{
    sendingRole.setStaleLockTime(StaleRoleLockMs);
    clock.start();
    flushTimer.setSingleShot(true);
    QObject::connect(&flushTimer, &QTimer::timeout, q, &QueuedMessageSender::saveQueue);
    takeOverTimer.setInterval(TakeOverIntervalMs);
    QObject::connect(&takeOverTimer, &QTimer::timeout, q, [this] {
        if (!hasWork())
            takeOverTimer.stop();
        else
            q_ptr->slotSendNextMessage();
    });
    retryTimer.setSingleShot(true);
    QObject::connect(&retryTimer, &QTimer::timeout, q, [this] { retryDue(); });
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

// The file keeps no id of its own (its layout never changes), so the
// history's id of a queued message comes from its record: the process that
// adds it and the one that sends it, maybe after a restart, name it alike.
// Equal messages waiting together are told apart by their order; one sent
// while an equal one stays behind leaves the later one a name already used
// when another process loads the file then, and the history shows the two
// as one.
QString QueuedMessageSenderPrivate::historyToken(const QByteArray &record, int occurrence)
{
    if (record.isEmpty())
        return ChatSessionManager::generateMessageId();
    return QStringLiteral("queue-%1-%2")
        .arg(QString::fromLatin1(QCryptographicHash::hash(record, QCryptographicHash::Sha1).toHex()))
        .arg(occurrence);
}

QueuedMessageSenderPrivate::Entry QueuedMessageSenderPrivate::newEntry(const MessageContent &content,
                                                                      const QByteArray &record, int occurrence)
{
    Entry entry;
    entry.id = QStringLiteral("queued-%1").arg(nextId++);
    entry.historyToken = historyToken(record, occurrence);
    entry.content = content;
    entry.record = record;
    return entry;
}

int QueuedMessageSenderPrivate::indexOf(const QString &id) const
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).id == id)
            return i;
    }
    return -1;
}

void QueuedMessageSenderPrivate::merge(const QList<QByteArray> &fileRecords, const QList<MessageContent> &messages)
{
    // Answered here, not yet forgotten by the file.
    QList<QByteArray> answered = forgotten;

    // Equal records are equal messages: which of two copies is which does
    // not matter, only how many there are.
    QHash<QByteArray, QList<int>> known;
    for (int i = 0; i < entries.size(); ++i) {
        if (!entries.at(i).record.isEmpty())
            known[entries.at(i).record].append(i);
    }
    QVector<bool> kept(entries.size(), false);
    QList<Entry> merged;
    merged.reserve(fileRecords.size());
    // How many equal records came before each (see historyToken()).
    QHash<QByteArray, int> earlier;
    for (int r = 0; r < fileRecords.size(); ++r) {
        const QByteArray &record = fileRecords.at(r);
        const int occurrence = earlier[record]++;
        if (!answered.isEmpty() && answered.removeOne(record))
            continue;
        const auto it = known.find(record);
        if (it != known.end() && !it->isEmpty()) {
            const int index = it->takeFirst();
            kept[index] = true;
            merged.append(entries.at(index));
            continue;
        }
        const MessageContent content = r < messages.size()
            ? messages.at(r) : QueueFile::decode(QueueFile::fromRecords({record})).messages.value(0);
        merged.append(newEntry(content, record, occurrence));
    }
    // In flight or never stored: this process's own business, not the file's.
    QList<Entry> own;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries.at(i);
        if (!kept.at(i) && (entry.state == Entry::InFlight || entry.record.isEmpty()))
            own.append(entry);
    }
    entries = own + merged;
}

void QueuedMessageSenderPrivate::refreshIfChanged()
{
    // One stat() when nothing changed.
    const QueueStore::Result result = store.refresh();
    if (result.ok && result.changedElsewhere)
        merge(result.records, result.messages);
}

void QueuedMessageSenderPrivate::watchFile()
{
    Q_Q(QueuedMessageSender);
    if (!watcher) {
        watcher = new QFileSystemWatcher(q);
        // Other processes replace the file (and the sending role's lock
        // comes and goes) by renaming in the folder.
        QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, q, [this] {
            refreshIfChanged();
            bool inFlight = false;
            for (const Entry &entry : qAsConst(entries))
                inFlight = inFlight || entry.state == Entry::InFlight;
            if (!inFlight && hasWork())
                q_ptr->slotSendNextMessage();
        });
    }
    if (watcher->directories().isEmpty() && QFileInfo(directory).isDir())
        watcher->addPath(directory);
}

int QueuedMessageSenderPrivate::nextToSend() const
{
    QStringList held;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries.at(i);
        const QString account = AccountPaths::withPrefix(entry.content.account());
        if (entry.state == Entry::RetryWaiting)
            held.append(account);
        else if (entry.state == Entry::Waiting && !held.contains(account))
            return i;
    }
    return -1;
}

bool QueuedMessageSenderPrivate::hasWork() const
{
    return nextToSend() >= 0;
}

bool QueuedMessageSenderPrivate::takeSendingRole()
{
    if (sendingRole.isLocked())
        return true;
    if (sendingRole.tryLock(0)) {
        takeOverTimer.stop();
        qCDebug(lcSendQueue) << "this process sends the queue";
        // The previous sender may have answered messages this process has
        // not seen go.
        refreshIfChanged();
        return true;
    }
    if (sendingRole.error() == QLockFile::LockFailedError) {
        watchFile();
        if (!takeOverTimer.isActive())
            takeOverTimer.start();
        return false;
    }
    // No folder for the lock: nobody can share the file either, and the
    // messages must leave all the same.
    return true;
}

void QueuedMessageSenderPrivate::releaseSendingRoleWhenIdle()
{
    Q_Q(QueuedMessageSender);
    if (!sendingRole.isLocked())
        return;
    for (const Entry &entry : qAsConst(entries)) {
        if (entry.state == Entry::InFlight || entry.state == Entry::RetryWaiting)
            return;
    }
    // The next sender must not see answered messages as waiting.
    if (!forgotten.isEmpty())
        q->saveQueue();
    sendingRole.unlock();
}

void QueuedMessageSenderPrivate::start(Entry &entry)
{
    Q_Q(QueuedMessageSender);
    entry.state = Entry::InFlight;
    entry.errorName.clear();
    const int attempt = ++entry.attempts;
    const QString id = entry.id;
    const MessageContent content = entry.content;
    // Owned by the application object (auto delete); it deletes itself once
    // its message has its status.
    auto *sender = new MessageSender(content.remoteUid(), content.account(), true, nullptr);
    // A retrying queue tells the user itself, once a failure is final.
    if (retries())
        sender->setFailureNotificationEnabled(false);
    entry.sender = sender;
    QObject::connect(sender, &MessageSender::messageFailed, q,
                     [this, id](const QString &, int, const QString &errorName, const QString &) {
                         const int index = indexOf(id);
                         if (index >= 0)
                             entries[index].errorName = errorName;
                     });
    // Direct, so that the next message to the same conversation finds the
    // session this sender still holds. A status from inside send() (an
    // unreadable vCard) is taken from the event loop instead, so that a run
    // of such messages does not recurse.
    QObject::connect(sender, &MessageSender::messageStatusChanged, q,
                     [this, id, attempt](const QString &, int status) {
                         if (starting)
                             QTimer::singleShot(0, q_ptr, [this, id, attempt, status] { finish(id, attempt, status); });
                         else
                             finish(id, attempt, status);
                     });

    // Every attempt under the history's id of the message: one row in the
    // history, whose state the attempt takes over.
    const QString token = entry.historyToken;
    if (attempt > 1)
        HistoryRecording::sendState(contextOf(content), token, HistoryMessage::Sending);
    starting = true;
    if (!content.messageParts().isEmpty())
        sender->send(content.messageParts(), token);
    else if (content.isVCard())
        sender->sendVCard(content.message(), token);
    else
        sender->send(content.message(), token);
    starting = false;
}

void QueuedMessageSenderPrivate::finish(const QString &id, int attempt, int status)
{
    Q_Q(QueuedMessageSender);
    const int index = indexOf(id);
    // A second status from the same sender, or one from an earlier attempt.
    if (index < 0 || entries.at(index).state != Entry::InFlight || entries.at(index).attempts != attempt)
        return;
    Entry &entry = entries[index];
    bool notifiedBySender = true;
    if (MessageSender *sender = entry.sender.data()) {
        QObject::disconnect(sender, nullptr, q, nullptr);
        notifiedBySender = sender->isFailureNotificationEnabled();
        // The next message to the same conversation goes out on the same
        // channel instead of asking the dispatcher again.
        if (const ChatSessionPtr session = sender->chatSession())
            openConversation = session;
        // A vCard that cannot be read is answered without ever becoming
        // pending, and such a sender would not delete itself.
        if (!sender->isSending())
            sender->deleteLater();
    }
    entry.sender.clear();

    int reported = status;
    bool willRetry = false;
    bool stays = false;
    if (status == MessageSender::MessageTimedOut && !retries()) {
        entry.state = Entry::Deferred;
        stays = true;
    } else if (retries() && MessageStatus::isTransient(status, entry.errorName)) {
        if (entry.firstFailureMs < 0)
            entry.firstFailureMs = clock.elapsed();
        if (clock.elapsed() - entry.firstFailureMs < retryPeriodMs()) {
            willRetry = stays = true;
            scheduleRetry(entry);
        } else {
            qCWarning(lcSendQueue) << "a message to" << entry.content.remoteUid() << "gives up after"
                                   << entry.attempts << "attempts";
            reported = MessageStatus::RetriesExhausted;
        }
    }
    const MessageContent content = entry.content;
    // After the sender's own record of the attempt's failure.
    if (stays)
        HistoryRecording::sendState(contextOf(content), entry.historyToken, HistoryMessage::Retrying, status,
                                    entry.errorName);
    else if (reported == MessageStatus::RetriesExhausted)
        HistoryRecording::sendState(contextOf(content), entry.historyToken, HistoryMessage::Failed, reported,
                                    entry.errorName);
    if (!stays) {
        if (!entry.record.isEmpty())
            forgotten.append(entry.record);
        entries.removeAt(index);
        if (reported != MessageStatus::Sent && !notifiedBySender)
            publishSendFailureNotification(content.remoteUid());
    }
    q->slotMessageSent();
    QPointer<QueuedMessageSender> self(q);
    Q_EMIT q->messageAttempted(id, content, reported, willRetry);
    if (self)
        Q_EMIT q->messageStatusChanged(content, reported);
}

bool QueuedMessageSenderPrivate::retries() const
{
    if (retryChoice)
        return *retryChoice;
    if (!retrySetting)
        retrySetting = new ConfItem(RetryKey, q_ptr);
    return retrySetting->value(false).toBool();
}

qint64 QueuedMessageSenderPrivate::retryPeriodMs() const
{
    if (!retryPeriodSetting)
        retryPeriodSetting = new ConfItem(RetryPeriodKey, q_ptr);
    bool ok = false;
    const qint64 seconds = retryPeriodSetting->value(DefaultRetryPeriodS).toLongLong(&ok);
    return (ok && seconds >= 0 ? seconds : DefaultRetryPeriodS) * 1000;
}

void QueuedMessageSenderPrivate::scheduleRetry(Entry &entry)
{
    entry.state = Entry::RetryWaiting;
    const qint64 delay = qMin(FirstRetryDelayMs << qMin(entry.attempts - 1, 20), LongestRetryDelayMs);
    entry.nextAttemptMs = clock.elapsed() + delay;
    qCInfo(lcSendQueue) << "a message to" << entry.content.remoteUid() << "failed with a transient status;"
                        << "next attempt when its account is usable, at the latest in" << delay / 1000 << "s";
    followNetworkStatus();
    // Starts following the account, so that its comeback is heard.
    NetworkStatusManager::instance()->accountStatus(AccountPaths::withPrefix(entry.content.account()));
    armRetryTimer();
}

void QueuedMessageSenderPrivate::armRetryTimer()
{
    qint64 earliest = -1;
    for (const Entry &entry : qAsConst(entries)) {
        if (entry.state == Entry::RetryWaiting && (earliest < 0 || entry.nextAttemptMs < earliest))
            earliest = entry.nextAttemptMs;
    }
    if (earliest < 0)
        retryTimer.stop();
    else
        retryTimer.start(int(qMax<qint64>(0, earliest - clock.elapsed())));
}

void QueuedMessageSenderPrivate::retryDue()
{
    const qint64 now = clock.elapsed();
    for (Entry &entry : entries) {
        if (entry.state == Entry::RetryWaiting && entry.nextAttemptMs <= now)
            entry.state = Entry::Waiting;
    }
    armRetryTimer();
    q_ptr->slotSendNextMessage();
}

bool QueuedMessageSenderPrivate::canLeave(const QString &accountPath) const
{
    NetworkStatusManager *status = NetworkStatusManager::instance();
    if (status->accountStatus(accountPath) != NetworkStatusManager::AccountUsable)
        return false;
    if (!ChatContext(QString(), accountPath, OneToOneChat, -1).isCellular())
        return true;
    return status->isDeviceInNormalMode() && status->isCellularOnline();
}

void QueuedMessageSenderPrivate::retryAccount(const QString &accountPath)
{
    const QString account = AccountPaths::withPrefix(accountPath);
    bool woken = false;
    for (Entry &entry : entries) {
        if (entry.state == Entry::RetryWaiting && AccountPaths::withPrefix(entry.content.account()) == account
            && canLeave(account)) {
            entry.state = Entry::Waiting;
            woken = true;
        }
    }
    if (!woken)
        return;
    armRetryTimer();
    q_ptr->slotSendNextMessage();
}

void QueuedMessageSenderPrivate::followNetworkStatus()
{
    Q_Q(QueuedMessageSender);
    if (followsNetworkStatus)
        return;
    followsNetworkStatus = true;
    NetworkStatusManager *status = NetworkStatusManager::instance();
    QObject::connect(status, &NetworkStatusManager::accountStatusChanged, q,
                     [this](int accountStatus, const QString &path) {
                         if (accountStatus == NetworkStatusManager::AccountUsable)
                             retryAccount(path);
                     });
    // The radio or the device mode lets the cellular messages go again.
    const auto cellularMayLeave = [this](bool yes) {
        if (!yes)
            return;
        QStringList accounts;
        for (const Entry &entry : qAsConst(entries)) {
            if (entry.state == Entry::RetryWaiting && !accounts.contains(entry.content.account()))
                accounts.append(entry.content.account());
        }
        for (const QString &account : qAsConst(accounts))
            retryAccount(account);
    };
    QObject::connect(status, &NetworkStatusManager::cellularOnline, q, cellularMayLeave);
    QObject::connect(status, &NetworkStatusManager::deviceModeChanged, q, cellularMayLeave);
}

void QueuedMessageSenderPrivate::reportSaveFailure(const char *function, const QString &reason)
{
    if (saveFailureReported)
        return;
    saveFailureReported = true;
    qCCritical(lcSendQueue) << function
                            << "cannot write the send queue" << fileName << ":" << reason
                            << "- messages are sent but will not survive a restart";
}

void QueuedMessageSenderPrivate::saveAfterStatus()
{
    Q_Q(QueuedMessageSender);
    if (forgotten.isEmpty())
        return;
    const qint64 age = sinceSave.isValid() ? sinceSave.elapsed() : StatusSaveDelayMs;
    bool busy = false;
    for (const Entry &entry : qAsConst(entries))
        busy = busy || entry.state == Entry::Waiting || entry.state == Entry::InFlight;
    if (!busy || age >= StatusSaveDelayMs) {
        q->saveQueue();
        return;
    }
    if (!flushTimer.isActive())
        flushTimer.start(int(StatusSaveDelayMs - age));
}

QList<MessageContent> QueuedMessageSenderPrivate::allMessages() const
{
    QList<MessageContent> messages;
    messages.reserve(entries.size());
    for (const Entry &entry : entries)
        messages.append(entry.content);
    return messages;
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
    if (!d->forgotten.isEmpty())
        saveQueue();
    delete d_ptr;
}

void QueuedMessageSender::init()
{
    Q_D(QueuedMessageSender);
    createDataDirectory();
    loadQueue();
    d->watchFile();
    if (d->hasWork())
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
    if (file.exists() && (file.permissions() & OthersMask))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QueueStore::Result result = d->store.refresh();
    if (!result.ok) {
        qCWarning(lcSendQueue) << "cannot read" << d->fileName << result.error;
        return;
    }
    d->merge(result.records, result.messages);
}

void QueuedMessageSender::saveQueue()
{
    Q_D(QueuedMessageSender);
    d->flushTimer.stop();
    d->sinceSave.start();
    const QList<QByteArray> answered = d->forgotten;
    const QueueStore::Result result = d->store.update(
        [&answered](QList<QByteArray> &records) {
            bool changed = false;
            for (const QByteArray &record : answered)
                changed = records.removeOne(record) || changed;
            return changed;
        },
        QueueStore::Unsynced);
    d->forgotten.clear();
    if (!result.ok) {
        d->reportSaveFailure(Q_FUNC_INFO, result.error);
        return;
    }
    if (result.changedElsewhere)
        d->merge(result.records);
}

void QueuedMessageSender::sendMessage(const MessageContent &content)
{
    enqueue(content);
}

QString QueuedMessageSender::enqueue(const MessageContent &content)
{
    Q_D(QueuedMessageSender);
    const bool idle = !d->hasWork();
    const QByteArray storable = d->storableRecord(content);
    int occurrence = 0;
    bool stored = false;
    QueueStore::Result result;
    if (!storable.isEmpty()) {
        result = d->store.update(
            [&storable, &occurrence](QList<QByteArray> &records) {
                occurrence = int(records.count(storable));
                records.append(storable);
                return true;
            },
            QueueStore::Synced);
    }
    QueuedMessageSenderPrivate::Entry entry = d->newEntry(content, storable, occurrence);
    recordInHistory(entry.historyToken, content);
    if (!entry.record.isEmpty()) {
        if (!result.ok) {
            d->reportSaveFailure(Q_FUNC_INFO, result.error);
        } else {
            stored = true;
            if (result.changedElsewhere)
                d->merge(result.records.mid(0, result.records.size() - 1));
        }
    }
    d->entries.append(entry);
    if (idle)
        QTimer::singleShot(0, this, &QueuedMessageSender::slotSendNextMessage);
    return stored ? entry.id : QString();
}

void QueuedMessageSender::setRetryTransientFailures(bool retry)
{
    Q_D(QueuedMessageSender);
    d->retryChoice = retry;
}

bool QueuedMessageSender::retryTransientFailures() const
{
    Q_D(const QueuedMessageSender);
    return d->retries();
}

qint64 QueuedMessageSender::sendingProcessId() const
{
    Q_D(const QueuedMessageSender);
    if (d->sendingRole.isLocked())
        return QCoreApplication::applicationPid();
    qint64 pid = 0;
    QString host;
    QString application;
    if (!d->sendingRole.getLockInfo(&pid, &host, &application) || pid <= 0)
        return 0;
    // A lock left by a process that is gone sends nothing.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM ? pid : 0;
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
    d->refreshIfChanged();
    if (!d->hasWork()) {
        d->releaseSendingRoleWhenIdle();
        return;
    }
    if (!d->takeSendingRole())
        return;
    const int next = d->nextToSend();
    if (next < 0) {
        d->releaseSendingRoleWhenIdle();
        return;
    }
    d->start(d->entries[next]);
}
