#include "contactresolver.h"

#include "addressbook.h"
#include "platform/phonenumberutils.h"

#include <QDebug>
#include <QHash>

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
        qCritical() << function << "Stray fetch request result";
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

struct ContactResolver::MatchIndex
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

ContactResolver::ContactResolver(QObject *parent)
    : QObject(parent)
    , manager(AddressBook::createManager(this))
    , request(nullptr)
    , selfRequest(nullptr)
{
}

ContactResolver::~ContactResolver() = default;

QContactFetchRequest *ContactResolver::buildRequest(const QString &accountPath,
                                                    const QStringList &remoteIds)
{
    auto *fetch = new QContactFetchRequest(this);
    fetch->setManager(manager);

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
    if (remoteIds.isEmpty())
        return;

    delete request;
    index.reset();
    request = buildRequest(accountPath, remoteIds);
    // The state, not resultsAvailable(): the memory engine sends none for an empty answer.
    connect(request, &QContactAbstractRequest::stateChanged,
            this, &ContactResolver::slotOnResultsAvailable);
    AddressBook::startFetch(request);
}

void ContactResolver::slotOnResultsAvailable()
{
    if (isCurrentFinish(sender(), request, "void ContactResolver::slotOnResultsAvailable()"))
        Q_EMIT resultsAvailable(!request->contacts().isEmpty());
}

QContact ContactResolver::matchContact(const QString &accountPath, const QString &remoteId)
{
    const QList<QContact> results = announcedResults(request);
    if (results.isEmpty())
        return QContact();

    if (!index || index->source != request) {
        index.reset(new MatchIndex);
        index->source = request;
        index->contacts = results;
        for (int i = 0; i < results.size(); ++i) {
            const QContact &contact = results.at(i);
            for (const QContactOnlineAccount &account : contact.details<QContactOnlineAccount>())
                index->add(account.accountUri(), i);
            for (const QContactPhoneNumber &number : contact.details<QContactPhoneNumber>())
                index->add(number.number(), i);
        }
    }

    // First match in result order: buckets are ascending.
    for (int i : index->buckets.value(PhoneNumberUtils::matchKey(remoteId))) {
        if (contactMatches(index->contacts.at(i), accountPath, remoteId))
            return index->contacts.at(i);
    }
    return QContact();
}

void ContactResolver::resolveSelfContact()
{
    delete selfRequest;
    selfRequest = new QContactFetchRequest(this);
    selfRequest->setManager(manager);

    QContactIdFilter filter;
    filter.setIds({manager->selfContactId()});
    selfRequest->setFilter(filter);

    QContactFetchHint hint;
    hint.setDetailTypesHint(labelDetailTypes() << QContactOnlineAccount::Type << QContactPresence::Type);
    selfRequest->setFetchHint(hint);

    connect(selfRequest, &QContactAbstractRequest::stateChanged,
            this, &ContactResolver::slotOnSelfResultsAvailable);
    AddressBook::startFetch(selfRequest);
}

void ContactResolver::slotOnSelfResultsAvailable()
{
    if (isCurrentFinish(sender(), selfRequest, "void ContactResolver::slotOnSelfResultsAvailable()"))
        Q_EMIT selfContactAvailable(selfRequest->contacts().count() == 1);
}

QContact ContactResolver::selfContact(const QString &accountPath)
{
    const QList<QContact> results = announcedResults(selfRequest);
    for (const QContact &contact : results) {
        const QList<QContactOnlineAccount> accounts = contact.details<QContactOnlineAccount>();
        for (const QContactOnlineAccount &account : accounts) {
            if (AddressBook::accountPath(account) == accountPath)
                return contact;
        }
    }
    return QContact();
}
