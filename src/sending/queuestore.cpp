// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "queuestore.h"

#include "messaginglogging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t FileMode = S_IRUSR | S_IWUSR;

// A holder keeps the lock for one read-change-write of the file, a few
// milliseconds. One that keeps it far longer is stopped or hung; the save
// then fails like any other failed save instead of blocking the caller.
constexpr int LockWaitMs = 10000;

} // namespace

bool QueueStore::Identity::operator==(const Identity &other) const
{
    return exists == other.exists
        && (!exists
            || (device == other.device && inode == other.inode && size == other.size
                && modifiedNs == other.modifiedNs));
}

QueueStore::QueueStore(const QString &fileName)
    : m_fileName(fileName)
{
}

QueueStore::~QueueStore()
{
    unlock();
}

QueueStore::Identity QueueStore::identity() const
{
    Identity id;
    struct stat info;
    if (::stat(QFile::encodeName(m_fileName).constData(), &info) != 0)
        return id;
    id.exists = true;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    id.size = qint64(info.st_size);
    id.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return id;
}

bool QueueStore::lock(QString *error)
{
    const QByteArray name = QFile::encodeName(m_fileName + QStringLiteral(".lock"));
    m_lockFd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, FileMode);
    if (m_lockFd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Short waits first: the holder is usually done within a millisecond.
    int waitedMs = 0;
    for (int pause = 1; ::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0; pause = qMin(pause * 2, 20)) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            unlock();
            return false;
        }
        if (waitedMs >= LockWaitMs) {
            *error = QStringLiteral("the queue stayed locked by another process for %1 s").arg(LockWaitMs / 1000);
            unlock();
            return false;
        }
        QThread::msleep(ulong(pause));
        waitedMs += pause;
    }
    return true;
}

void QueueStore::unlock()
{
    if (m_lockFd < 0)
        return;
    // Closing the descriptor releases the lock.
    ::close(m_lockFd);
    m_lockFd = -1;
}

QString QueueStore::keepAside()
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
    QString aside = m_fileName + QStringLiteral(".damaged-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = m_fileName + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_fileName, aside)) {
        qCCritical(lcSendQueue) << Q_FUNC_INFO
                                << "cannot keep the damaged queue file aside:" << m_fileName;
        return QString();
    }
    return aside;
}

namespace {

// The system's reason for the last failed step: QSaveFile's own text is
// often "Unknown error" (a failed write is only noticed in commit(), which
// forgets why). errno is cleared before each step.
QString reasonOf(const QFileDevice &file)
{
    if (errno != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return file.errorString();
}

// The rename is an entry of the folder: without syncing the folder, a power
// cut may bring back the previous file although the new one is on the disk.
bool syncDirectory(const QString &fileName, QString *error)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

bool QueueStore::write(const QByteArray &bytes, Durability durability, QString *error)
{
    if (durability == Synced) {
        // Written to a new file that replaces the old one only once it is
        // complete and on the disk; then the folder's entry for it too.
        QSaveFile file(m_fileName);
        errno = 0;
        if (!file.open(QIODevice::WriteOnly)) {
            *error = reasonOf(file);
            return false;
        }
        if (::fchmod(file.handle(), FileMode) != 0)
            qCWarning(lcSendQueue) << "cannot make" << m_fileName << "private";
        // Flushed before commit(), so that a failed write keeps its reason
        // and the old file stays as it was.
        errno = 0;
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            *error = reasonOf(file);
            file.cancelWriting();
            return false;
        }
        errno = 0;
        if (!file.commit()) {
            *error = reasonOf(file);
            return false;
        }
        QString syncError;
        if (!syncDirectory(m_fileName, &syncError)) {
            // The new file is in place; only a power cut could undo it.
            qCWarning(lcSendQueue) << "cannot sync the folder of" << m_fileName << ":" << syncError;
        }
        return true;
    }
    // The same without the wait for the disk (see the class comment).
    // QTemporaryFile creates the file private to the user.
    QTemporaryFile file(m_fileName + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(false);
    errno = 0;
    if (!file.open()) {
        *error = reasonOf(file);
        return false;
    }
    errno = 0;
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    if (!written)
        *error = reasonOf(file);
    const QString temporary = file.fileName();
    file.close();
    if (!written || ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_fileName).constData()) != 0) {
        if (written)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool QueueStore::read(Result *result)
{
    m_records.clear();
    m_messages.clear();
    QFile file(m_fileName);
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadOnly)) {
        // The next save would replace it: keep it for whoever can read it.
        qCWarning(lcSendQueue) << "cannot read" << m_fileName << file.errorString();
        result->error = file.errorString();
        return true;
    }
    const QueueFile::Contents contents = QueueFile::decode(file.readAll());
    m_records = contents.records;
    m_messages = contents.messages;
    return contents.damaged;
}

QueueStore::Result QueueStore::refresh()
{
    Result result;
    const Identity now = identity();
    if (!(now == m_seen)) {
        result.changedElsewhere = true;
        if (read(&result)) {
            // Repaired by whoever holds the lock, this process included.
            return update([](QList<QByteArray> &) { return false; }, Unsynced);
        }
        m_seen = now;
    }
    result.ok = true;
    result.records = m_records;
    if (result.changedElsewhere)
        result.messages = m_messages;
    return result;
}

QueueStore::Result QueueStore::update(const std::function<bool(QList<QByteArray> &)> &change,
                                      Durability durability)
{
    Result result;
    if (!lock(&result.error))
        return result;

    bool repaired = false;
    if (!(identity() == m_seen)) {
        result.changedElsewhere = true;
        if (read(&result)) {
            if (QFileInfo::exists(m_fileName))
                result.keptAside = keepAside();
            if (!result.keptAside.isEmpty()) {
                qCWarning(lcSendQueue) << "the send queue file was damaged; kept as" << result.keptAside
                                       << "after taking over" << m_records.size() << "complete message(s)";
            }
            // A healthy file with what could be saved, right away; one that
            // cannot be read at all is only kept aside.
            repaired = result.error.isEmpty();
        }
        m_seen = identity();
    }

    QList<QByteArray> records = m_records;
    if (change(records) || repaired) {
        if (!write(QueueFile::fromRecords(records), repaired ? Synced : durability, &result.error)) {
            unlock();
            return result;
        }
        m_records = records;
        m_messages.clear();
        m_seen = identity();
    }
    unlock();
    result.ok = true;
    result.records = m_records;
    return result;
}
