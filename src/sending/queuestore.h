// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_QUEUESTORE_H
#define MESSAGING0_QUEUESTORE_H

#include "queuefile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

#include <sys/types.h>

// The queue file as every process that holds a queue shares it.
//
// Whoever changes the file (a process adding a message, the sending process
// forgetting answered ones) does it under the write lock, in one step: read
// the file when another process changed it since this one last saw it,
// apply the one change to the records as the file holds them, write the
// result, unlock. So no process ever writes back a stale view over what
// another wrote, and the record layout of the file stays what it always
// was.
//
// The write lock is the kernel's advisory flock() on "sendqueue.dat.lock",
// a file that is never removed: the kernel drops it when its holder exits
// or is killed, so no lock left behind can block the queue. QLockFile, used
// for the longer-lived sending role (see queuedmessagesender.h), syncs its
// lock file to the disk on every lock; taken for every save that would
// cost two to three times the save itself on an ext4 disk (measured with
// QSaveFile of 20 kB: 2.7-6 ms alone, 10-19 ms with a QLockFile around it,
// 2.7-5 ms with flock()).
//
// Durability: a save that adds a message is on the disk before update()
// returns: QSaveFile writes a new file and syncs it, renames it over the
// old one, and then the folder is synced so that the rename is on the disk
// as well (without it, a power cut right after the call could bring back
// the file without the message). A folder that cannot be synced is logged
// and the save counts as done. A save that only forgets
// messages is written to a new file and renamed over the old one without
// waiting for the disk: a crash of the process loses nothing, a power cut
// may bring back the previous file, whose extra messages are then sent
// once more - a duplicate, never a loss. (ext4 commits the data of a file
// renamed over another before the rename itself.)
class QueueStore
{
public:
    enum Durability { Synced, Unsynced };

    struct Result
    {
        bool ok = false;
        // The file was changed by another process since this one last saw
        // it (or this one had not seen it yet).
        bool changedElsewhere = false;
        // The records the file holds after the update, in order.
        QList<QByteArray> records;
        // The same, decoded, when the file was read and left unchanged
        // (refresh()); empty otherwise.
        QList<MessageContent> messages;
        // A damaged file was renamed aside (to this name) and replaced by
        // the complete records before the damage.
        QString keptAside;
        QString error;
    };

    explicit QueueStore(const QString &fileName);
    ~QueueStore();

    // Under the write lock: change() gets the file's records and returns
    // whether it changed them; only then is the file written. A damaged or
    // unreadable file is kept aside first. A failed write leaves the file
    // as it was; error is the system's reason ("No space left on device").
    Result update(const std::function<bool(QList<QByteArray> &records)> &change, Durability durability);

    // The file as it is now, read again only when another process replaced
    // it since this one last saw it. Reading needs no lock (every writer
    // replaces the file in one rename); a damaged file is repaired under
    // the lock as in update().
    Result refresh();


private:
    struct Identity
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = -1;
        bool operator==(const Identity &other) const;
    };

    Identity identity() const;
    // Reads the file into m_records; true when it is damaged (or cannot be
    // read) and must be repaired.
    bool read(Result *result);
    bool lock(QString *error);
    void unlock();
    bool write(const QByteArray &bytes, Durability durability, QString *error);
    QString keepAside();

    QString m_fileName;
    int m_lockFd = -1;
    // What this process last read or wrote, and the file it was.
    Identity m_seen;
    QList<QByteArray> m_records;
    // Decoded from the last read; dropped once this process changes the file.
    QList<MessageContent> m_messages;
};

#endif // MESSAGING0_QUEUESTORE_H
