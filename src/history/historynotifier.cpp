// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historynotifier.h"

#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QUuid>

#include <utility>

namespace {
const QString ObjectPath = QStringLiteral("/org/messaging0/History");
const QString Interface = QStringLiteral("org.messaging0.History1");
const QString SignalName = QStringLiteral("Changed");
} // namespace

HistoryNotifier::HistoryNotifier(const QString &file, QObject *parent)
    : QObject(parent)
    , m_file(file)
    , m_origin(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    // A program that ends right after its last change (messaging send)
    // still tells the others.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { flush(WaitForTheBus); });
}

HistoryNotifier::~HistoryNotifier()
{
    flush(WaitForTheBus);
    if (m_listening)
        QDBusConnection::sessionBus().disconnect(QString(), ObjectPath, Interface, SignalName, this,
                                                 SLOT(onChanged(QDBusMessage)));
}

void HistoryNotifier::listen()
{
    if (m_triedListening)
        return;
    m_triedListening = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcHistory) << "no session bus: changes of other processes are not announced";
        return;
    }
    m_listening = bus.connect(QString(), ObjectPath, Interface, SignalName, this,
                              SLOT(onChanged(QDBusMessage)));
}

void HistoryNotifier::announce(const QVector<Change> &changes)
{
    if (changes.isEmpty())
        return;
    m_queued += changes;
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QMetaObject::invokeMethod(this, [this] { flush(DontWait); }, Qt::QueuedConnection);
}

void HistoryNotifier::flush(Wait wait)
{
    m_flushScheduled = false;
    if (m_queued.isEmpty())
        return;
    const QVector<Change> changes = std::exchange(m_queued, {});
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QList<int> kinds;
    QList<qlonglong> threads;
    QList<qlonglong> messages;
    for (const Change &c : changes) {
        kinds << int(c.kind);
        threads << c.threadId;
        messages << c.messageId;
    }
    QDBusMessage signal = QDBusMessage::createSignal(ObjectPath, Interface, SignalName);
    signal << m_file << m_origin << QVariant::fromValue(kinds) << QVariant::fromValue(threads)
           << QVariant::fromValue(messages);
    bus.send(signal);
    // A process about to end waits until the bus has the signal: one round
    // trip, after which everything sent before it has left the process.
    if (wait == WaitForTheBus)
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("/org/freedesktop/DBus"),
                                                QStringLiteral("org.freedesktop.DBus.Peer"),
                                                QStringLiteral("Ping")));
}

void HistoryNotifier::onChanged(const QDBusMessage &message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() != 5 || args.at(0).toString() != m_file || args.at(1).toString() == m_origin)
        return;
    const QList<int> kinds = qdbus_cast<QList<int>>(args.at(2));
    const QList<qlonglong> threads = qdbus_cast<QList<qlonglong>>(args.at(3));
    const QList<qlonglong> messages = qdbus_cast<QList<qlonglong>>(args.at(4));
    if (kinds.size() != threads.size() || kinds.size() != messages.size())
        return;
    QVector<Change> changes;
    changes.reserve(kinds.size());
    for (int i = 0; i < kinds.size(); ++i) {
        if (kinds.at(i) < ThreadChanged || kinds.at(i) > MessageRemoved)
            continue;
        changes.append({Kind(kinds.at(i)), threads.at(i), messages.at(i)});
    }
    if (!changes.isEmpty())
        Q_EMIT changed(changes);
}
