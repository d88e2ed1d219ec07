// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SERVICESPECIFICCONTACTFETCHER_H
#define MESSAGING0_SERVICESPECIFICCONTACTFETCHER_H

#include "messaging0global.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <QtContacts/QContactId>

class ServiceSpecificContactFetcherPrivate;

//! The address-book contacts that own one remote id on one account, kept
//! current: fetched at construction and again whenever the address book
//! reports changed or removed contacts; each finished fetch is announced
//! with contactsChanged(), also when the result did not change.
//!
//! On the cellular SMS and MMS accounts a contact owns the id when one of
//! its phone numbers matches it (PhoneNumberUtils' rules: any written form
//! of the number); on every other account when one of its online accounts
//! belongs to that account and has exactly that id as its URI. The device
//! owner's own contact is never listed.
//!
//! Both lists are empty until the first fetch has finished. A change reported
//! while a fetch runs starts no second fetch: the lists then stay as that
//! fetch found the address book until the next change. A failed fetch leaves
//! the lists as they were and emits nothing.
class MESSAGING0_EXPORT ServiceSpecificContactFetcher : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(ServiceSpecificContactFetcher)

public:
    //! Starts fetching the contacts that own remoteUid on the account with the given object path.
    ServiceSpecificContactFetcher(const QString &accountPath, const QString &remoteUid,
                                  QObject *parent = nullptr);
    ~ServiceSpecificContactFetcher() override;

    //! Contact id and display label of each contact, in the address book's order.
    QList<QPair<QtContacts::QContactId, QString>> contacts() const;
    //! The same contacts' ids, in the same order.
    QList<QtContacts::QContactId> contactIds() const;

Q_SIGNALS:
    //! A fetch finished; contacts() holds its result.
    void contactsChanged();

protected:
    ServiceSpecificContactFetcherPrivate *const d_ptr; //!< owned, deleted with this object

private:
    Q_DISABLE_COPY(ServiceSpecificContactFetcher)
};

#endif // MESSAGING0_SERVICESPECIFICCONTACTFETCHER_H
