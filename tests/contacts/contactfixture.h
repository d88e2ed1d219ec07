// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_CONTACTFIXTURE_H
#define MESSAGING_CONTACTFIXTURE_H

// Address-book fixture for the contacts tests: the library's shared memory
// store, reached through a manager of the test's own that keeps it alive, and
// small builders for contacts. The accounts used throughout:
//   ImAccount      "/org/freedesktop/Telepathy/Account/loopback/loop/alice"
//   OtherImAccount "/org/freedesktop/Telepathy/Account/loopback/loop/bob"
// Phone numbers are written in several forms on purpose; the default region
// is FI.

#include "contacts/addressbook.h"
#include "platform/phonenumberutils.h"

#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactName>
#include <QtContacts/QContactOnlineAccount>
#include <QtContacts/QContactPhoneNumber>
#include <QtContacts/QContactPresence>

#include <QScopedPointer>

const QString ImAccount = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice");
const QString OtherImAccount = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/bob");

struct Phone
{
    QString number;
    QList<int> contexts = {};
    QList<int> subTypes = {};
};

struct Im
{
    QString accountPath;
    QString uri;
};

class ContactFixture
{
public:
    // Call from initTestCase(): every manager of the process then shares one memory store.
    void setUp()
    {
        AddressBook::setEngine(QStringLiteral("memory"));
        PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
        store.reset(AddressBook::createManager());
    }

    // Call from init(): every test starts on an empty address book.
    void clear()
    {
        store->removeContacts(store->contactIds());
        store->setSelfContactId(QtContacts::QContactId());
    }

    QtContacts::QContact add(const QString &firstName, const QList<Phone> &phones,
                             const QList<Im> &ims = {})
    {
        QtContacts::QContact contact = build(firstName, phones, ims);
        store->saveContact(&contact);
        return contact;
    }

    static QtContacts::QContact build(const QString &firstName, const QList<Phone> &phones,
                                      const QList<Im> &ims = {})
    {
        QtContacts::QContact contact;
        if (!firstName.isEmpty()) {
            QtContacts::QContactName name;
            name.setFirstName(firstName);
            contact.saveDetail(&name);
        }
        for (const Phone &phone : phones) {
            QtContacts::QContactPhoneNumber number;
            number.setNumber(phone.number);
            if (!phone.contexts.isEmpty())
                number.setContexts(phone.contexts);
            if (!phone.subTypes.isEmpty())
                number.setSubTypes(phone.subTypes);
            contact.saveDetail(&number);
        }
        for (const Im &im : ims) {
            QtContacts::QContactOnlineAccount account;
            account.setAccountUri(im.uri);
            AddressBook::setAccountPath(&account, im.accountPath);
            contact.saveDetail(&account);
        }
        return contact;
    }

    QScopedPointer<QtContacts::QContactManager> store;
};

#endif // MESSAGING_CONTACTFIXTURE_H
