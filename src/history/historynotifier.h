// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYNOTIFIER_H
#define MESSAGING0_HISTORYNOTIFIER_H

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVector>

// The history's change notice between store objects: what one object
// committed, announced on the session bus for the others on the same file
// (see HistoryStore's description for the signal). Owned by its store.
class HistoryNotifier : public QObject
{
    Q_OBJECT

public:
    enum Kind { ThreadChanged = 0, ThreadRemoved = 1, MessageAdded = 2, MessageChanged = 3,
                MessageRemoved = 4 };
    struct Change
    {
        Kind kind;
        qint64 threadId;
        qint64 messageId; // -1 for thread changes
    };

    // file: the store's canonical path, which names it on the bus.
    HistoryNotifier(const QString &file, QObject *parent);
    ~HistoryNotifier() override;

    // Sends the changes to the other store objects; the bus is connected
    // on the first call, so a process that never writes never connects.
    // The changes of one turn of the event loop go out as one signal (a
    // burst of messages costs the bus one message, not one per change);
    // what is left goes out when the application quits or the store goes.
    void announce(const QVector<Change> &changes);
    // Starts receiving the others' changes (once; later calls do nothing).
    void listen();

Q_SIGNALS:
    // Changes that another store object on the same file committed.
    void changed(const QVector<HistoryNotifier::Change> &changes);

private Q_SLOTS:
    void onChanged(const QDBusMessage &message);

private:
    enum Wait { DontWait, WaitForTheBus };
    void flush(Wait wait);

    QString m_file;
    QVector<Change> m_queued;
    bool m_flushScheduled = false;
    QString m_origin;
    bool m_listening = false;
    bool m_triedListening = false;
};

#endif // MESSAGING0_HISTORYNOTIFIER_H
