// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SERVICESPECIFICCONTACTFETCHER_P_H
#define MESSAGING0_SERVICESPECIFICCONTACTFETCHER_P_H

#include "servicespecificcontactfetcher.h"

#include <QtContacts/QContact>
#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactManager>

class ServiceSpecificContactFetcherPrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(ServiceSpecificContactFetcher)

public:
    ServiceSpecificContactFetcherPrivate(ServiceSpecificContactFetcher *q, const QString &accountPath,
                                         const QString &remoteUid);
    ~ServiceSpecificContactFetcherPrivate() override;

    // Whether the contact owns remoteUid on accountPath. The engine's filters
    // only narrow the search: phone-number matching there compares the last
    // digits, and an intersection of two online-account filters may be met
    // by two different online accounts of one contact.
    bool owns(const QtContacts::QContact &contact) const;

    ServiceSpecificContactFetcher *const q_ptr;
    // Declared before the request, which refers to it: destroyed after it.
    QtContacts::QContactManager manager;
    QtContacts::QContactFetchRequest request; // reused for every fetch
    const QString accountPath;
    const QString remoteUid;
    const bool cellular; // the SMS or MMS account: phone numbers decide
    QList<QPair<QtContacts::QContactId, QString>> contactList;
    QList<QtContacts::QContactId> contactIdList;

public Q_SLOTS:
    void startContactsFetching();
    void handleContactFetchRequestResultsAvailable();
    void handleContactManagerContactsChanged(const QList<QtContacts::QContactId> &contactIds);
    void handleContactManagerContactsRemoved(const QList<QtContacts::QContactId> &contactIds);
};

#endif // MESSAGING0_SERVICESPECIFICCONTACTFETCHER_P_H
