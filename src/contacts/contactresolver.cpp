// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactresolver.h"

#include "addressbook.h"
#include "messaginglogging.h"
#include "platform/phonenumberutils.h"

#include <QHash>
#include <QScopedPointer>

#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactFetchHint>
#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactIdFilter>
#include <QtContacts/QContactIntersectionFilter>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactName>
#include <QtContacts/QContactNickname>
#include <QtContacts/QContactOnlineAccount>
#include <QtContacts/QContactPhoneNumber>
#include <QtContacts/QContactPresence>
#include <QtContacts/QContactUnionFilter>

QTCONTACTS_USE_NAMESPACE

namespace {

constexpr PhoneNumberUtils::NormalizeFlags Flags = PhoneNumberUtils::NormalizeFlagDefault;

// Name and nickname come with the label: engines that do not fill the
// display label (memory) leave AddressBook::displayLabel() to build it.
QList<QContactDetail::DetailType> labelDetailTypes()
{
    return {QContactDisplayLabel::Type, QContactName::Type, QContactNickname::Type};
}

// True when `sender` is `current` and has finished. A finished request that is
// not the current one of its kind only gets the diagnostic.
bool isCurrentFinish(QObject *sender, const QContactFetchRequest *current, const char *function)
{
    auto *fetch = qobject_cast<QContactFetchRequest *>(sender);
    if (!fetch || !fetch->isFinished())
        return false;
    if (fetch != current) {
        qCCritical(lcContacts).noquote() << function << "Stray fetch request result";
        return false;
    }
    return true;
}

// The results of a request whose finish has been announced; none before.
QList<QContact> announcedResults(const QContactFetchRequest *fetch)
{
    if (!fetch || !fetch->isFinished() || AddressBook::isFetchRunning(fetch))
        return QList<QContact>();
    return fetch->contacts();
}

// The per-contact rule of matchContact(): its online accounts on the account
// (any account when the path is empty), then its numbers on any account.
bool contactMatches(const QContact &contact, const QString &accountPath, const QString &remoteId)
{
    const QList<QContactOnlineAccount> accounts = contact.details<QContactOnlineAccount>();
    for (const QContactOnlineAccount &account : accounts) {
        if ((accountPath.isEmpty() || AddressBook::accountPath(account) == accountPath)
            && PhoneNumberUtils::remoteAddressMatch(remoteId, account.accountUri(), Flags))
            return true;
    }
    const QList<QContactPhoneNumber> numbers = contact.details<QContactPhoneNumber>();
    for (const QContactPhoneNumber &number : numbers) {
        if (PhoneNumberUtils::remoteAddressMatch(remoteId, number.number(), Flags))
            return true;
    }
    return false;
}

} // namespace

// Lookup table over the announced batch, built by the first matchContact().
struct MatchIndex
{
    const QContactFetchRequest *source = nullptr;
    QList<QContact> contacts;
    // Key -> indices into contacts, ascending (result order), each once.
    QHash<QString, QVector<int>> buckets;

    void add(const QString &address, int contactIndex)
    {
        QVector<int> &bucket = buckets[PhoneNumberUtils::matchKey(address)];
        if (bucket.isEmpty() || bucket.last() != contactIndex)
            bucket.append(contactIndex);
    }
};

class ContactResolverPrivate
{
public:
    // Children of the resolver; one request of each kind at a time.
    QContactManager *manager = nullptr;
    QContactFetchRequest *request = nullptr;
    QContactFetchRequest *selfRequest = nullptr;
    QScopedPointer<MatchIndex> index;
};

ContactResolver::ContactResolver(QObject *parent)
    : QObject(parent), d_ptr(new ContactResolverPrivate)
{
    d_ptr->manager = AddressBook::createManager(this);
}

ContactResolver::~ContactResolver()
{
    delete d_ptr;
}

QContactFetchRequest *ContactResolver::buildRequest(const QString &accountPath,
                                                    const QStringList &remoteIds)
{
    Q_D(ContactResolver);
    auto *fetch = new QContactFetchRequest(this);
    fetch->setManager(d->manager);

    QContactUnionFilter addresses;
    QContactUnionFilter numbers;
    for (const QString &remoteId : remoteIds) {
        if (!PhoneNumberUtils::normalizePhoneNumber(remoteId, Flags).isEmpty()) {
            numbers.append(QContactPhoneNumber::match(remoteId));
        } else {
            QContactDetailFilter address;
            address.setDetailType(QContactOnlineAccount::Type, QContactOnlineAccount::FieldAccountUri);
            address.setValue(remoteId);
            addresses.append(address);
        }
    }

    QContactUnionFilter filter;
    filter.append(AddressBook::accountPathFilter(accountPath) & addresses);
    filter.append(numbers);
    fetch->setFilter(filter);

    QList<QContactDetail::DetailType> types = labelDetailTypes();
    if (!addresses.filters().isEmpty())
        types << QContactOnlineAccount::Type << QContactPresence::Type;
    if (!numbers.filters().isEmpty())
        types << QContactPhoneNumber::Type;
    QContactFetchHint hint;
    hint.setDetailTypesHint(types);
    fetch->setFetchHint(hint);

    return fetch;
}

void ContactResolver::resolveContacts(const QString &accountPath, const QStringList &remoteIds)
{
    Q_D(ContactResolver);
    if (remoteIds.isEmpty())
        return;

    delete d->request;
    d->index.reset();
    d->request = buildRequest(accountPath, remoteIds);
    // The state, not resultsAvailable(): the memory engine sends none for an empty answer.
    connect(d->request, &QContactAbstractRequest::stateChanged,
            this, &ContactResolver::slotOnResultsAvailable);
    AddressBook::startFetch(d->request);
}

void ContactResolver::slotOnResultsAvailable()
{
    Q_D(ContactResolver);
    if (isCurrentFinish(sender(), d->request, "void ContactResolver::slotOnResultsAvailable()"))
        Q_EMIT resultsAvailable(!d->request->contacts().isEmpty());
}

QContact ContactResolver::matchContact(const QString &accountPath, const QString &remoteId)
{
    Q_D(ContactResolver);
    const QList<QContact> results = announcedResults(d->request);
    if (results.isEmpty())
        return QContact();

    if (!d->index || d->index->source != d->request) {
        d->index.reset(new MatchIndex);
        d->index->source = d->request;
        d->index->contacts = results;
        for (int i = 0; i < results.size(); ++i) {
            const QContact &contact = results.at(i);
            for (const QContactOnlineAccount &account : contact.details<QContactOnlineAccount>())
                d->index->add(account.accountUri(), i);
            for (const QContactPhoneNumber &number : contact.details<QContactPhoneNumber>())
                d->index->add(number.number(), i);
        }
    }

    // First match in result order: buckets are ascending.
    for (int i : d->index->buckets.value(PhoneNumberUtils::matchKey(remoteId))) {
        if (contactMatches(d->index->contacts.at(i), accountPath, remoteId))
            return d->index->contacts.at(i);
    }
    return QContact();
}

void ContactResolver::resolveSelfContact()
{
    Q_D(ContactResolver);
    delete d->selfRequest;
    d->selfRequest = new QContactFetchRequest(this);
    d->selfRequest->setManager(d->manager);

    QContactIdFilter filter;
    filter.setIds({d->manager->selfContactId()});
    d->selfRequest->setFilter(filter);

    QContactFetchHint hint;
    hint.setDetailTypesHint(labelDetailTypes() << QContactOnlineAccount::Type << QContactPresence::Type);
    d->selfRequest->setFetchHint(hint);

    connect(d->selfRequest, &QContactAbstractRequest::stateChanged,
            this, &ContactResolver::slotOnSelfResultsAvailable);
    AddressBook::startFetch(d->selfRequest);
}

void ContactResolver::slotOnSelfResultsAvailable()
{
    Q_D(ContactResolver);
    if (isCurrentFinish(sender(), d->selfRequest, "void ContactResolver::slotOnSelfResultsAvailable()"))
        Q_EMIT selfContactAvailable(d->selfRequest->contacts().count() == 1);
}

QContact ContactResolver::selfContact(const QString &accountPath)
{
    Q_D(ContactResolver);
    const QList<QContact> results = announcedResults(d->selfRequest);
    for (const QContact &contact : results) {
        const QList<QContactOnlineAccount> accounts = contact.details<QContactOnlineAccount>();
        for (const QContactOnlineAccount &account : accounts) {
            if (AddressBook::accountPath(account) == accountPath)
                return contact;
        }
    }
    return QContact();
}
