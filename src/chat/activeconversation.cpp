// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "activeconversation.h"

#include "messaginglogging.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHash>

namespace {
// Names this process owns, with the number of its active objects per name:
// the name goes when the last of them does.
QHash<QString, int> &ownedNames()
{
    static QHash<QString, int> names;
    return names;
}

bool hold(const QString &name)
{
    int &count = ownedNames()[name];
    if (count++ > 0)
        return true;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    // Queued: another process showing the same thread keeps it marked, and
    // this one takes over when that one lets go.
    const bool ok = bus && bus->registerService(name, QDBusConnectionInterface::QueueService,
                                                QDBusConnectionInterface::DontAllowReplacement)
                               .isValid();
    if (!ok) {
        qCWarning(lcChat) << "cannot mark the conversation active:" << name;
        ownedNames().remove(name);
    }
    return ok;
}

void release(const QString &name)
{
    auto it = ownedNames().find(name);
    if (it == ownedNames().end() || --*it > 0)
        return;
    ownedNames().erase(it);
    if (QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface())
        bus->unregisterService(name);
}
} // namespace

class ActiveConversationPrivate
{
public:
    QString threadKey;
    bool active = false;
};

ActiveConversation::ActiveConversation(QObject *parent)
    : QObject(parent)
    , d_ptr(new ActiveConversationPrivate)
{
}

ActiveConversation::~ActiveConversation()
{
    setActive(false);
    delete d_ptr;
}

QString ActiveConversation::busName(const QString &threadKey)
{
    return QStringLiteral("com.tavik.Messaging.ActiveThread.t")
        + QString::fromLatin1(
            QCryptographicHash::hash(threadKey.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString ActiveConversation::threadKey() const
{
    Q_D(const ActiveConversation);
    return d->threadKey;
}

void ActiveConversation::setThreadKey(const QString &threadKey)
{
    Q_D(ActiveConversation);
    if (threadKey == d->threadKey)
        return;
    const bool wasActive = d->active;
    setActive(false);
    d->threadKey = threadKey;
    if (wasActive)
        setActive(true);
}

bool ActiveConversation::isActive() const
{
    Q_D(const ActiveConversation);
    return d->active;
}

void ActiveConversation::setActive(bool active)
{
    Q_D(ActiveConversation);
    if (active && d->threadKey.isEmpty())
        active = false;
    if (active == d->active)
        return;
    if (active) {
        if (!hold(busName(d->threadKey)))
            return;
    } else {
        release(busName(d->threadKey));
    }
    d->active = active;
    Q_EMIT activeChanged(active);
}

bool ActiveConversation::isActiveAnywhere(const QString &threadKey)
{
    if (threadKey.isEmpty())
        return false;
    const QString name = busName(threadKey);
    if (ownedNames().contains(name))
        return true;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(name).value();
}
