// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ADDRESSBOOK_H
#define MESSAGING0_ADDRESSBOOK_H

#include <QMap>
#include <QString>

#include <QtContacts/QContact>
#include <QtContacts/QContactDetailFilter>
#include <QtContacts/QContactId>
#include <QtContacts/QContactOnlineAccount>

QT_BEGIN_NAMESPACE_CONTACTS
class QContactFetchRequest;
class QContactManager;
QT_END_NAMESPACE_CONTACTS

// The one place that decides how the library reaches the address book, and
// the library's own vocabulary on top of QtPim.
//
// Engine choice, for every manager the library creates: the engine set with
// setEngine(), else the MESSAGING_CONTACTS_ENGINE environment variable, else
// "tracker" when QtPim offers it, else "memory". QtPim silently turns an
// unknown engine name into the "invalid" engine, so the choice is never left
// to QtPim. Every memory manager gets the same "id" parameter: the store is
// then shared by all managers of the process (it lives while one of them
// does).
class AddressBook
{
public:
    // The online-account field that holds the Telepathy account object path.
    // QtPim hides fields above 10000, so it sits just after the predefined ones.
    static constexpr int FieldAccountPath = QtContacts::QContactOnlineAccount::FieldSubTypes + 1;

    // Store id shared by every memory-engine manager of the process.
    static const QString MemoryStoreId;

    // An empty name returns to the automatic choice.
    static void setEngine(const QString &engineName);
    static QString engineName();

    // PhoneContextManager::contactManagerParameter() plus what the engine needs.
    static QMap<QString, QString> managerParameters();

    static QtContacts::QContactManager *createManager(QObject *parent = nullptr);

    static QString accountPath(const QtContacts::QContactDetail &onlineAccount);
    static void setAccountPath(QtContacts::QContactOnlineAccount *onlineAccount,
                               const QString &accountPath);
    // Online accounts that belong to exactly this Telepathy account.
    static QtContacts::QContactDetailFilter accountPathFilter(const QString &accountPath);

    // The label every class of the library shows for a contact: the engine's
    // display label, else "first last" (or the name's custom label), else the
    // nickname. Engines such as "memory" never fill the display label.
    static QString displayLabel(const QtContacts::QContact &contact);

    // A stable 32-bit number for a contact id, for signatures that carry one:
    // the memory engine's own numeric id (its local id is that number as four
    // little-endian bytes), otherwise a 32-bit FNV-1a hash of the local id.
    // 0 only for a null id.
    static quint32 numericId(const QtContacts::QContactId &id);

    // Starts a fetch so that its end is always announced from the event loop,
    // never inside this call: the memory engine finishes inside start(), and
    // a caller who connects after asking would otherwise miss the news.
    // Listeners connect to stateChanged() and act on FinishedState, which
    // comes also when nothing matched (the memory engine then emits no
    // resultsAvailable()). A reused request starts without the previous
    // run's contacts. A request that cannot start (e.g. the "invalid"
    // engine) finishes with an error.
    static void startFetch(QtContacts::QContactFetchRequest *request);
    // True from startFetch() until the finish has been announced.
    static bool isFetchRunning(const QtContacts::QContactFetchRequest *request);
};

#endif // MESSAGING0_ADDRESSBOOK_H
