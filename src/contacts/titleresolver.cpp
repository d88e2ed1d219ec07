// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "titleresolver.h"

#include "addressbook.h"
#include "contactresolver.h"
#include "platform/phonenumberutils.h"

#include <QHash>
#include <QPointer>
#include <QTimer>

#include <utility>

class TitleResolverPrivate
{
public:
    using Key = QPair<QString, QString>; // account path, remote id

    // Asked for, not yet handed to a lookup; per account, in order.
    QHash<QString, QStringList> waiting;
    // Every id asked for once, with its name from the address book (empty
    // while unknown): never looked up twice.
    QHash<Key, QString> names;
    bool flushScheduled = false;
};

TitleResolver::TitleResolver(QObject *parent)
    : QObject(parent)
    , d_ptr(new TitleResolverPrivate)
{
}

TitleResolver::~TitleResolver()
{
    delete d_ptr;
}

QString TitleResolver::fallbackTitle(const QString &remoteId)
{
    // Formatting a number costs tens of microseconds, and lists ask for the
    // same ones again and again: kept for the process (on its main thread,
    // like the rest of the library), bounded.
    static QHash<QString, QString> readable;
    const auto known = readable.constFind(remoteId);
    if (known != readable.constEnd())
        return *known;
    if (readable.size() > 20000)
        readable.clear();
    const QString title = PhoneNumberUtils::readableForm(remoteId);
    readable.insert(remoteId, title);
    return title;
}

QString TitleResolver::title(const QString &accountPath, const QString &remoteId)
{
    Q_D(TitleResolver);
    const TitleResolverPrivate::Key key(accountPath, remoteId);
    const auto known = d->names.constFind(key);
    if (known != d->names.constEnd())
        return known->isEmpty() ? fallbackTitle(remoteId) : *known;
    if (!remoteId.isEmpty()) {
        d->names.insert(key, QString());
        d->waiting[accountPath].append(remoteId);
        if (!d->flushScheduled) {
            d->flushScheduled = true;
            QTimer::singleShot(0, this, [this, d] {
                d->flushScheduled = false;
                const QHash<QString, QStringList> batches = std::exchange(d->waiting, {});
                for (auto it = batches.cbegin(); it != batches.cend(); ++it) {
                    // One resolver per batch, a child of this object until
                    // its answer is in.
                    auto *resolver = new ContactResolver(this);
                    const QString account = it.key();
                    const QStringList ids = it.value();
                    connect(resolver, &ContactResolver::resultsAvailable, this,
                            [this, d, resolver, account, ids](bool ok) {
                                resolver->deleteLater();
                                if (!ok)
                                    return;
                                for (const QString &id : ids) {
                                    const QString name =
                                        AddressBook::displayLabel(resolver->matchContact(account, id));
                                    if (name.isEmpty())
                                        continue;
                                    d->names.insert({account, id}, name);
                                    Q_EMIT titleChanged(account, id);
                                }
                            });
                    resolver->resolveContacts(account, ids);
                }
            });
        }
    }
    return fallbackTitle(remoteId);
}
