// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "incomingnotifier.h"

#include "activeconversation.h"
#include "historystore.h"
#include "librarycatalogue.h"
#include "messaginglogging.h"
#include "notification.h"
#include "notificationeventtypes.h"
#include "titleresolver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHash>
#include <QList>

namespace {
// The notifiers of this process, oldest first: only the oldest publishes,
// and the process keeps the bus name while one of them lives.
QList<const IncomingNotifier *> &processNotifiers()
{
    static QList<const IncomingNotifier *> notifiers;
    return notifiers;
}
} // namespace

class IncomingNotifierPrivate
{
public:
    struct Shown
    {
        Notification notification;
        QString accountPath;
        QString remoteId;
        QString text;
        int unreadCount = 0;
        bool room = false;
    };

    void show(Shown &shown, const QString &summary);

    // Owned by this notifier.
    TitleResolver *titles = nullptr;
    QHash<QString, Shown> shown; // by thread key
    bool registered = false;
};

void IncomingNotifierPrivate::show(Shown &entry, const QString &summary)
{
    QString body = entry.text;
    if (entry.unreadCount > 1)
        body += QLatin1Char('\n')
            + LibraryCatalogue::trId("lxr_msg_incoming_unread_count").arg(entry.unreadCount);
    entry.notification.setSummary(summary);
    entry.notification.setBody(body);
    // Publishing a listed notification again replaces it on the server.
    entry.notification.publish();
}

IncomingNotifier::IncomingNotifier(QObject *parent)
    : QObject(parent)
    , d_ptr(new IncomingNotifierPrivate)
{
    Q_D(IncomingNotifier);
    d->titles = new TitleResolver(this);
    // A name found later only renames a notification still shown.
    connect(d->titles, &TitleResolver::titleChanged, this,
            [d](const QString &accountPath, const QString &remoteId) {
                for (auto it = d->shown.begin(); it != d->shown.end(); ++it) {
                    if (!it->room && it->accountPath == accountPath && it->remoteId == remoteId)
                        d->show(*it, d->titles->title(accountPath, remoteId));
                }
            });
    processNotifiers().append(this);
    if (QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface()) {
        d->registered = bus->registerService(busName(), QDBusConnectionInterface::QueueService,
                                             QDBusConnectionInterface::DontAllowReplacement)
                            .isValid();
    }
}

IncomingNotifier::IncomingNotifier(HistoryStore *store, QObject *parent)
    : IncomingNotifier(parent)
{
    connect(store, &HistoryStore::messageAdded, this, [this, store](qint64 threadId, qint64 messageId) {
        const HistoryMessage message = store->message(messageId);
        if (!message.isIncoming() || message.isRead())
            return;
        const HistoryThread thread = store->thread(threadId);
        const QString remoteId = thread.remoteIds().value(0);
        const QString text = thread.isGroupChat() && !message.senderId().isEmpty()
            ? message.senderId() + QStringLiteral(": ") + message.text()
            : message.text();
        messageStored(QString::number(threadId), thread.accountPath(), remoteId, text,
                      thread.unreadCount(), thread.isGroupChat() ? thread.title() : QString());
    });
    connect(store, &HistoryStore::threadChanged, this, [this, store](qint64 threadId) {
        if (store->thread(threadId).unreadCount() == 0)
            threadRead(QString::number(threadId));
    });
    connect(store, &HistoryStore::threadRemoved, this,
            [this](qint64 threadId) { threadRead(QString::number(threadId)); });
}

IncomingNotifier::~IncomingNotifier()
{
    Q_D(IncomingNotifier);
    processNotifiers().removeOne(this);
    if (d->registered && processNotifiers().isEmpty()) {
        if (QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface())
            bus->unregisterService(busName());
    }
    delete d_ptr;
}

QString IncomingNotifier::busName()
{
    return QStringLiteral("com.tavik.Messaging.IncomingNotifier");
}

bool IncomingNotifier::isPublisher() const
{
    Q_D(const IncomingNotifier);
    if (!d->registered || processNotifiers().value(0) != this)
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.interface()->serviceOwner(busName()).value() == bus.baseService();
}

void IncomingNotifier::messageStored(const QString &threadKey, const QString &accountPath,
                                     const QString &remoteId, const QString &text, int unreadCount,
                                     const QString &roomTitle)
{
    Q_D(IncomingNotifier);
    if (threadKey.isEmpty() || unreadCount <= 0 || !isPublisher())
        return;
    if (ActiveConversation::isActiveAnywhere(threadKey)) {
        qCDebug(lcChat) << "conversation on screen, no notification:" << threadKey;
        return;
    }
    auto it = d->shown.find(threadKey);
    if (it == d->shown.end()) {
        IncomingNotifierPrivate::Shown entry;
        entry.notification.setEventType(QLatin1String(NotificationEventTypes::MessagingIncoming));
        it = d->shown.insert(threadKey, entry);
    }
    it->accountPath = accountPath;
    it->remoteId = remoteId;
    it->text = text;
    it->unreadCount = unreadCount;
    it->room = !roomTitle.isEmpty();
    d->show(*it, it->room ? roomTitle : d->titles->title(accountPath, remoteId));
}

void IncomingNotifier::threadRead(const QString &threadKey)
{
    Q_D(IncomingNotifier);
    auto it = d->shown.find(threadKey);
    if (it == d->shown.end())
        return;
    it->notification.remove();
    d->shown.erase(it);
}

uint IncomingNotifier::notificationId(const QString &threadKey) const
{
    Q_D(const IncomingNotifier);
    return d->shown.value(threadKey).notification.id();
}
