// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_FAKENOTIFICATIONSERVER_H
#define MESSAGING_FAKENOTIFICATIONSERVER_H

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A freedesktop notification server ("org.freedesktop.Notifications") on
// its own connection to the test's private session bus. It records every
// Notify and CloseNotification call and closes notifications on demand.
// Ids start at 100 so that they differ from the client's own ids. A Notify
// that replaces a shown id updates that entry in place and keeps its id. On the
// test's command it answers a notification as a user would: invokes one of
// its actions (invokeAction) or closes it (closeByServer).
class FakeNotificationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        uint id;
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
        QStringList actions; // key, label, key, label, ...
    };

    FakeNotificationServer();
    ~FakeNotificationServer() override;

    // Owns the name; false when the bus refused it.
    bool start();
    void stop();
    // The server closes a notification by itself (reason 1: expired).
    void closeByServer(uint id, uint reason = 1);
    // The user chose the action with this key (e.g. "accept"); the server
    // then closes the notification (reason 2: dismissed).
    void invokeAction(uint id, const QString &actionKey, bool thenClose = true);
    // The latest notification that offers actions, or -1.
    int lastQuestion() const;

    QList<Shown> shown;
    QList<uint> closeRequests;

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout);
    void CloseNotification(uint id);
    QStringList GetCapabilities();
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);

Q_SIGNALS:
    void notified(uint id);
    void closeRequested(uint id);

private:
    QDBusConnection m_bus;
    uint m_lastId = 99;
};

#endif
