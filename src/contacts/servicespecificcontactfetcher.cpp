// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "servicespecificcontactfetcher.h"
#include "servicespecificcontactfetcher_p.h"

#include "accountpaths.h"
#include "addressbook.h"
#include "messaginglogging.h"
#include "platform/phonenumberutils.h"

#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactFetchHint>
#include <QtContacts/QContactIntersectionFilter>
#include <QtContacts/QContactName>
#include <QtContacts/QContactNickname>
#include <QtContacts/QContactOnlineAccount>
#include <QtContacts/QContactPhoneNumber>

QTCONTACTS_USE_NAMESPACE

namespace {
}

ServiceSpecificContactFetcherPrivate::ServiceSpecificContactFetcherPrivate(
    ServiceSpecificContactFetcher *q, const QString &accountPath, const QString &remoteUid)
    : q_ptr(q)
    , manager(AddressBook::engineName(), AddressBook::managerParameters())
    , accountPath(accountPath)
    , remoteUid(remoteUid)
    , cellular(accountPath == AccountPaths::Cellular || accountPath == AccountPaths::Mms)
{
    request.setManager(&manager);
    // The finish is recognised by the state: the memory engine emits no
    // resultsAvailable() when nothing matches.
    connect(&request, &QContactAbstractRequest::stateChanged,
            this, &ServiceSpecificContactFetcherPrivate::handleContactFetchRequestResultsAvailable);
    connect(&manager, &QContactManager::contactsRemoved,
            this, &ServiceSpecificContactFetcherPrivate::handleContactManagerContactsRemoved);
    connect(&manager, &QContactManager::contactsChanged,
            this, &ServiceSpecificContactFetcherPrivate::handleContactManagerContactsChanged);
}

ServiceSpecificContactFetcherPrivate::~ServiceSpecificContactFetcherPrivate()
{
    if (request.isActive())
        request.cancel();
}

bool ServiceSpecificContactFetcherPrivate::owns(const QContact &contact) const
{
    if (remoteUid.isEmpty())
        return false;
    if (cellular) {
        const QList<QContactPhoneNumber> numbers = contact.details<QContactPhoneNumber>();
        for (const QContactPhoneNumber &number : numbers) {
            if (!number.number().isEmpty()
                && PhoneNumberUtils::remoteAddressMatch(remoteUid, number.number(),
                                                        PhoneNumberUtils::NormalizeFlagDefault))
                return true;
        }
        return false;
    }
    const QList<QContactOnlineAccount> accounts = contact.details<QContactOnlineAccount>();
    for (const QContactOnlineAccount &account : accounts) {
        if (AddressBook::accountPath(account) == accountPath && account.accountUri() == remoteUid)
            return true;
    }
    return false;
}

void ServiceSpecificContactFetcherPrivate::startContactsFetching()
{
    if (AddressBook::isFetchRunning(&request))
        return; // the change that asked for this fetch is not remembered

    // Name and nickname make the label on engines that fill no display
    // label; numbers and online accounts are what owns() confirms.
    QList<QContactDetail::DetailType> types{QContactName::Type, QContactDisplayLabel::Type,
                                            QContactNickname::Type};
    if (cellular) {
        types << QContactPhoneNumber::Type;
        request.setFilter(QContactPhoneNumber::match(remoteUid));
    } else {
        types << QContactOnlineAccount::Type;
        QContactDetailFilter uri;
        uri.setDetailType(QContactOnlineAccount::Type, QContactOnlineAccount::FieldAccountUri);
        uri.setValue(remoteUid);
        request.setFilter(AddressBook::accountPathFilter(accountPath) & uri);
    }
    QContactFetchHint hint;
    hint.setDetailTypesHint(types);
    request.setFetchHint(hint);
    AddressBook::startFetch(&request);
}

void ServiceSpecificContactFetcherPrivate::handleContactFetchRequestResultsAvailable()
{
    Q_Q(ServiceSpecificContactFetcher);
    auto *fetch = qobject_cast<QContactFetchRequest *>(sender());
    if (!fetch || !fetch->isFinished())
        return;
    if (fetch->error() != QContactManager::NoError) {
        qCWarning(lcContacts) << "fetching the contacts of" << remoteUid << "on" << accountPath
                              << "failed with error" << fetch->error();
        return;
    }

    contactList.clear();
    contactIdList.clear();
    const QContactId self = manager.selfContactId();
    const QList<QContact> results = fetch->contacts();
    for (const QContact &contact : results) {
        if (contact.id() == self || !owns(contact))
            continue;
        contactList.append(qMakePair(contact.id(), AddressBook::displayLabel(contact)));
        contactIdList.append(contact.id());
    }
    Q_EMIT q->contactsChanged();
}

void ServiceSpecificContactFetcherPrivate::handleContactManagerContactsChanged(const QList<QContactId> &contactIds)
{
    Q_UNUSED(contactIds)
    startContactsFetching();
}

void ServiceSpecificContactFetcherPrivate::handleContactManagerContactsRemoved(const QList<QContactId> &contactIds)
{
    Q_UNUSED(contactIds)
    startContactsFetching();
}

ServiceSpecificContactFetcher::ServiceSpecificContactFetcher(const QString &accountPath,
                                                             const QString &remoteUid, QObject *parent)
    : QObject(parent)
    , d_ptr(new ServiceSpecificContactFetcherPrivate(this, accountPath, remoteUid))
{
    Q_D(ServiceSpecificContactFetcher);
    d->startContactsFetching();
}

ServiceSpecificContactFetcher::~ServiceSpecificContactFetcher()
{
    delete d_ptr;
}

QList<QPair<QContactId, QString>> ServiceSpecificContactFetcher::contacts() const
{
    Q_D(const ServiceSpecificContactFetcher);
    return d->contactList;
}

QList<QContactId> ServiceSpecificContactFetcher::contactIds() const
{
    Q_D(const ServiceSpecificContactFetcher);
    return d->contactIdList;
}
