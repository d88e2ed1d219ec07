// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountservicemapper.h"
#include "accountservicemapper_p.h"

#include "localeservice.h"
#include "messaginglogging.h"
#include "platformservices.h"

#include <Accounts/Manager>
#include <Accounts/Provider>
#include <Accounts/Service>

#include <algorithm>

template<> AccountServiceMapper *SingletonBase<AccountServiceMapper>::m_pInstance = nullptr;

namespace {
const QString ServiceType = QStringLiteral("IM");
const QString UidKey = QStringLiteral("tmc-uid");
const QString NormalIconKey = QStringLiteral("icons/icon-normal");
const QString MediumIconKey = QStringLiteral("icons/icon-m-normal");
constexpr Accounts::AccountId NoAccountId = ~Accounts::AccountId(0);
} // namespace

const AccountServiceMapperPrivate::Item *AccountServiceMapperPrivate::lookup(const QString &path, bool useCache)
{
    if (useCache) {
        const auto cached = cache.constFind(path);
        if (cached != cache.constEnd())
            return &cached.value();
    }
    for (const Item &item : qAsConst(items)) {
        if (path.indexOf(item.tpAccountUid) != -1) {
            if (!useCache)
                return &item;
            return &cache.insert(path, item).value();
        }
    }
    return nullptr;
}

AccountServiceMapper::AccountServiceMapper()
    : QObject(nullptr), d_ptr(new AccountServiceMapperPrivate)
{
    Q_D(AccountServiceMapper);
    d->manager = new Accounts::Manager(ServiceType); // owned by the mapper, deleted in its destructor
    connectToManagerSignals();
    enumerateSSOAccountSeviceMappings();
}

AccountServiceMapper::~AccountServiceMapper()
{
    Q_D(AccountServiceMapper);
    if (m_pInstance == this)
        m_pInstance = nullptr;
    delete d->manager;
    delete d_ptr;
}

void AccountServiceMapper::connectToManagerSignals()
{
    Q_D(AccountServiceMapper);
    if (!d->manager)
        d->manager = new Accounts::Manager(ServiceType);
    connect(d->manager, &Accounts::Manager::accountCreated, this,
            &AccountServiceMapper::enumerateSSOAccountServiceMapping, Qt::UniqueConnection);
    connect(d->manager, &Accounts::Manager::accountUpdated, this,
            &AccountServiceMapper::enumerateSSOAccountServiceMapping, Qt::UniqueConnection);
}

void AccountServiceMapper::enumerateSSOAccountSeviceMappings()
{
    Q_D(AccountServiceMapper);
    if (!d->manager)
        return;
    const Accounts::AccountIdList ids = d->manager->accountList(ServiceType);
    for (Accounts::AccountId id : ids)
        enumerateSSOAccountServiceMapping(id);
}

void AccountServiceMapper::enumerateSSOAccountServiceMapping(Accounts::AccountId ssoAccountId)
{
    Q_D(AccountServiceMapper);
    // A new or changed account may change the answer for any path asked
    // before (uids are matched within paths), so no answer outlives it.
    d->cache.clear();
    if (!d->manager)
        return;
    Accounts::Account *account = d->manager->account(ssoAccountId); // owned by the manager
    if (!account) {
        qCDebug(lcAccounts) << "no account" << ssoAccountId << "in the account store";
        return;
    }
    QStringList uidsRead;
    const Accounts::ServiceList services = account->services(ServiceType);
    for (const Accounts::Service &service : services) {
        account->selectService(service);
        const QString uid = account->valueAsString(UidKey, QString());
        if (uid.isEmpty())
            continue;

        ssoAccountItem item;
        item.ssoAccountId = ssoAccountId;
        item.tpAccountUid = uid;
        item.serviceId = service.name();
        item.serviceDisplayName = service.displayName();
        item.normalIcon = account->valueAsString(NormalIconKey, QString());
        item.mediumIcon = account->valueAsString(MediumIconKey, QString());

        QString catalogue;
        const Accounts::Provider provider = d->manager->provider(account->providerName());
        if (provider.isValid())
            catalogue = provider.trCatalog();
        if (catalogue.isEmpty())
            catalogue = service.trCatalog();
        if (!catalogue.isEmpty()) {
            LocaleService *locale = PlatformServices::localeService();
            if (!locale->isTrCatalogInstalled(catalogue) && !locale->installTrCatalog(catalogue))
                qCDebug(lcAccounts) << "no translations for catalogue" << catalogue;
        }

        if (item.normalIcon.isEmpty())
            item.normalIcon = service.iconName();
        if (item.mediumIcon.isEmpty())
            item.mediumIcon = item.normalIcon;

        uidsRead << uid;
        const int index = indexOfAccountItem(uid);
        if (index >= 0)
            d->items[index] = item;
        else
            d->items.append(item);
    }
    account->selectService();

    // A service that lost or changed its uid no longer answers under the
    // old one.
    d->items.erase(std::remove_if(d->items.begin(), d->items.end(),
                                  [ssoAccountId, &uidsRead](const ssoAccountItem &item) {
                                      return item.ssoAccountId == ssoAccountId
                                          && !uidsRead.contains(item.tpAccountUid);
                                  }),
                   d->items.end());
}

int AccountServiceMapper::indexOfAccountItem(const QString &uid)
{
    Q_D(AccountServiceMapper);
    for (int i = 0; i < d->items.size(); ++i) {
        if (d->items.at(i).tpAccountUid == uid)
            return i;
    }
    return -1;
}

Accounts::AccountId AccountServiceMapper::ssoAccountIDForTpAccount(const QString &path)
{
    Q_D(AccountServiceMapper);
    if (d->items.isEmpty())
        enumerateSSOAccountSeviceMappings();
    const ssoAccountItem *item = d->lookup(path, false);
    return item ? item->ssoAccountId : NoAccountId;
}

QString AccountServiceMapper::ssoServiceIDForTpAccount(const QString &path)
{
    Q_D(AccountServiceMapper);
    if (d->items.isEmpty())
        enumerateSSOAccountSeviceMappings();
    const ssoAccountItem *item = d->lookup(path, true);
    return item ? item->serviceId : QString();
}

QString AccountServiceMapper::ssoServiceNameForTpAccount(const QString &path)
{
    Q_D(AccountServiceMapper);
    if (d->items.isEmpty())
        enumerateSSOAccountSeviceMappings();
    const ssoAccountItem *item = d->lookup(path, true);
    if (!item)
        return QString();
    return item->serviceDisplayName.isEmpty() ? item->serviceId : item->serviceDisplayName;
}

QString AccountServiceMapper::ssoServiceIconIdForTpAccount(const QString &path, serviceIconType type)
{
    Q_D(AccountServiceMapper);
    if (d->items.isEmpty())
        enumerateSSOAccountSeviceMappings();
    const ssoAccountItem *item = d->lookup(path, true);
    if (!item)
        return QString();
    switch (type) {
    case SERVICE_ICON_NORMAL:
        return item->normalIcon;
    case SERVICE_ICON_MEDIUM:
        return item->mediumIcon;
    }
    return QString();
}
