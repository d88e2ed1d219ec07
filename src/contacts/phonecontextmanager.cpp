// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "phonecontextmanager.h"

#include "addressbook.h"
#include "librarycatalogue.h"
#include "platform/phonenumberutils.h"

#include <QSet>
#include <QStringList>

#include <QtContacts/QContactFetchHint>
#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactPhoneNumber>
#include <QtContacts/QContactUnionFilter>

QTCONTACTS_USE_NAMESPACE

template<> PhoneContextManager *SingletonBase<PhoneContextManager>::m_pInstance = nullptr;

namespace {

// Keeps one fetch's filter, and the label cache, small.
constexpr int MaxTrackedRemoteIds = 20;

QString appendWord(QString label, const char *logicalId)
{
    // qtTrId(), with the library's catalogue installed so that a system
    // without translations still shows words.
    return label + QLatin1Char(' ') + LibraryCatalogue::trId(logicalId);
}

QString labelFor(const QContactPhoneNumber &number)
{
    QString label;
    for (int context : number.contexts()) {
        if (context == QContactDetail::ContextHome)
            label = appendWord(label, "lxr_comm_type_home");
        else if (context == QContactDetail::ContextWork)
            label = appendWord(label, "lxr_comm_type_work");
    }
    for (int subType : number.subTypes()) {
        if (subType == QContactPhoneNumber::SubTypeMobile)
            label = appendWord(label, "lxr_comm_type_mobile");
        else if (subType == QContactPhoneNumber::SubTypeFax)
            label = appendWord(label, "lxr_comm_type_fax");
    }
    if (label.isEmpty())
        label = appendWord(label, "lxr_cont_type_other");
    return QStringLiteral(" |") + label;
}

} // namespace

class PhoneContextManagerPrivate
{
public:
    PhoneContextManagerPrivate()
        : manager(AddressBook::engineName(), AddressBook::managerParameters())
    {
        request.setManager(&manager);
    }

    // The manager before the request that uses it: members go in reverse
    // order, so the request is destroyed while its manager still exists.
    QContactManager manager;
    QContactFetchRequest request;
    // Labels by the short form of the number.
    QMap<QString, QString> contexts;
    QSet<QString> trackedRemoteIds;
    // Oldest first.
    QStringList recentRemoteIds;
    bool fetchAgainAfterCurrent = false;
    bool updatePending = false;
};

PhoneContextManager::PhoneContextManager()
    : d_ptr(new PhoneContextManagerPrivate)
{
    Q_D(PhoneContextManager);
    QContactFetchRequest &request = d->request;
    QContactManager &manager = d->manager;
    // Finished fetches are recognised by their state: the memory engine emits
    // no resultsAvailable() when nothing matches.
    connect(&request, &QContactAbstractRequest::stateChanged,
            this, &PhoneContextManager::handleContactFetchRequestResultsAvailable);
    connect(&manager, &QContactManager::contactsRemoved,
            this, &PhoneContextManager::handleContactManagerContactsRemoved);
    connect(&manager, &QContactManager::contactsChanged,
            this, &PhoneContextManager::handleContactManagerContactsChanged);
}

PhoneContextManager::~PhoneContextManager()
{
    Q_D(PhoneContextManager);
    if (d->request.isActive())
        d->request.cancel();
    if (m_pInstance == this)
        m_pInstance = nullptr;
    delete d_ptr;
}

QMap<QString, QString> PhoneContextManager::contactManagerParameter()
{
    return {{QStringLiteral("omit-presence-changes"), QStringLiteral("true")}};
}

QString PhoneContextManager::phoneContext(const QString &remoteId)
{
    Q_D(PhoneContextManager);
    if (remoteId.isEmpty())
        return QString();

    if (!d->trackedRemoteIds.contains(remoteId)) {
        d->recentRemoteIds.append(remoteId);
        d->trackedRemoteIds.insert(remoteId);
        if (d->recentRemoteIds.size() > MaxTrackedRemoteIds)
            d->trackedRemoteIds.remove(d->recentRemoteIds.takeFirst());
        triggerUpdate();
    } else {
        d->recentRemoteIds.removeOne(remoteId);
        d->recentRemoteIds.append(remoteId);
    }

    return d->contexts.value(PhoneNumberUtils::makeShortNumber(remoteId, PhoneNumberUtils::NormalizeFlagDefault));
}

void PhoneContextManager::triggerUpdate()
{
    Q_D(PhoneContextManager);
    d->updatePending = true;
    Q_EMIT updateNeeded();
}

void PhoneContextManager::update()
{
    Q_D(PhoneContextManager);
    if (!d->updatePending)
        return;
    d->updatePending = false;
    startContactsFetching();
}

void PhoneContextManager::startContactsFetching()
{
    Q_D(PhoneContextManager);
    d->fetchAgainAfterCurrent = AddressBook::isFetchRunning(&d->request);
    if (d->fetchAgainAfterCurrent)
        return;

    QContactFetchHint hint;
    hint.setDetailTypesHint({QContactPhoneNumber::Type});

    QContactUnionFilter filter;
    for (const QString &remoteId : qAsConst(d->trackedRemoteIds))
        filter.append(QContactPhoneNumber::match(remoteId));

    d->request.setFilter(filter);
    d->request.setFetchHint(hint);
    AddressBook::startFetch(&d->request);
}

void PhoneContextManager::handleContactFetchRequestResultsAvailable()
{
    Q_D(PhoneContextManager);
    auto *fetch = qobject_cast<QContactFetchRequest *>(sender());
    if (!fetch || !fetch->isFinished() || fetch->error() != QContactManager::NoError)
        return;

    QMap<QString, QString> fresh;
    const QList<QContact> results = fetch->contacts();
    for (const QContact &contact : results) {
        const QList<QContactPhoneNumber> numbers = contact.details<QContactPhoneNumber>();
        for (const QContactPhoneNumber &number : numbers) {
            const QString key = PhoneNumberUtils::makeShortNumber(number.number(),
                                                                  PhoneNumberUtils::NormalizeFlagDefault);
            if (fresh.contains(key))
                fresh[key] = QString(); // one short number on two entries: ambiguous
            else
                fresh.insert(key, numbers.size() > 1 ? labelFor(number) : QString());
        }
    }

    QMap<QString, QString> old = d->contexts;
    d->contexts = fresh;
    for (auto it = fresh.cbegin(); it != fresh.cend(); ++it) {
        const auto previous = old.find(it.key());
        if (previous == old.end()) {
            Q_EMIT phoneContextChanged(it.key(), it.value());
        } else {
            if (previous.value() != it.value())
                Q_EMIT phoneContextChanged(it.key(), it.value());
            old.erase(previous);
        }
    }
    for (auto it = old.cbegin(); it != old.cend(); ++it)
        Q_EMIT phoneContextChanged(it.key(), QString());

    if (d->fetchAgainAfterCurrent)
        triggerUpdate();
}

void PhoneContextManager::handleContactManagerContactsChanged(const QList<QContactId> &contactIds)
{
    Q_UNUSED(contactIds)
    triggerUpdate();
}

void PhoneContextManager::handleContactManagerContactsRemoved(const QList<QContactId> &contactIds)
{
    Q_UNUSED(contactIds)
    triggerUpdate();
}
