// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountutils.h"

#include "accountpaths.h"
#include "messaginglogging.h"
#include "processwide.h"

#include <TelepathyQt/AccountFactory>
#include <TelepathyQt/AccountSet>
#include <TelepathyQt/ChannelFactory>
#include <TelepathyQt/ConnectionFactory>
#include <TelepathyQt/ContactFactory>
#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/Types>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

namespace {
const QString ValidityPeriodParameter =
    QStringLiteral("org.freedesktop.Telepathy.Connection.Interface.Cellular.MessageValidityPeriod");
// 63 weeks, in seconds.
constexpr uint DefaultValidityPeriod = 38102400;

Tp::Features accountFeatures()
{
    return Tp::Features() << Tp::Account::FeatureCore << Tp::Account::FeatureAvatar;
}
} // namespace

// Not used: kept so that the library's binary interface stays the same.
AccountUtils *AccountUtils::m_pInstance = nullptr;

class AccountUtilsPrivate
{
public:
    Tp::AccountManagerPtr accountManager;
    QMap<QString, Tp::AccountPtr> accounts;
};

// Owned by the application object; starts the account manager's readiness.
AccountUtils *AccountUtils::instance()
{
    return ProcessWide<AccountUtils>::instance([] { return new AccountUtils(QCoreApplication::instance()); },
                                               [](AccountUtils *utils) { utils->init(); });
}

AccountUtils::AccountUtils(QObject *parent)
    : QObject(parent), d_ptr(new AccountUtilsPrivate)
{
    Tp::registerTypes();
}

AccountUtils::~AccountUtils()
{
    delete d_ptr;
}

void AccountUtils::init()
{
    Q_D(AccountUtils);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    d->accountManager = Tp::AccountManager::create(
        Tp::AccountFactory::create(bus, Tp::Features() << Tp::Account::FeatureCore),
        Tp::ConnectionFactory::create(bus),
        Tp::ChannelFactory::create(bus),
        Tp::ContactFactory::create());
    if (d->accountManager && !d->accountManager->isReady()) {
        connect(d->accountManager->becomeReady(), &Tp::PendingOperation::finished,
                this, &AccountUtils::slotAccountManagerReady);
    }
}

Tp::AccountManagerPtr AccountUtils::accountManager() const
{
    Q_D(const AccountUtils);
    return d->accountManager;
}

Tp::AccountPtr AccountUtils::account(const QString &path) const
{
    Q_D(const AccountUtils);
    return d->accounts.value(path);
}

Tp::AccountPtr AccountUtils::telAccount() const
{
    return account(AccountPaths::Cellular);
}

QVariant AccountUtils::accountProperty(Tp::AccountPtr &account, const QString &key) const
{
    if (account.isNull() || !account->isReady())
        return QVariant();
    return account->parameters().value(key);
}

QVariant AccountUtils::accountProperty(const QString &path, const QString &key) const
{
    Tp::AccountPtr a = account(path);
    return accountProperty(a, key);
}

void AccountUtils::setAccountProperty(Tp::AccountPtr &account, const QString &key,
                                      const QVariant &value)
{
    if (account.isNull() || !account->isReady())
        return;
    QVariantMap parameters;
    parameters.insert(key, value);
    // Mission Control's UpdateParameters, called directly rather than
    // through Tp::Account::updateParameters(): a Telepathy-Qt operation
    // deleted before its answer leaves its D-Bus watcher behind, and a
    // program may well end first (the command-line program right after its
    // sends). This watcher belongs to us: answered, it deletes itself;
    // otherwise it goes with this object, and the call with it.
    QDBusMessage call = QDBusMessage::createMethodCall(account->busName(), account->objectPath(),
                                                       TP_QT_IFACE_ACCOUNT, QStringLiteral("UpdateParameters"));
    call << parameters << QStringList();
    auto *write = new QDBusPendingCallWatcher(account->dbusConnection().asyncCall(call), this);
    const QString path = account->objectPath();
    connect(write, &QDBusPendingCallWatcher::finished, this, [path, key](QDBusPendingCallWatcher *answer) {
        if (answer->isError())
            qCWarning(lcAccounts) << "cannot set" << key << "on" << path << answer->error().message();
        answer->deleteLater();
    });
}

void AccountUtils::setAccountProperty(const QString &path, const QString &key,
                                      const QVariant &value)
{
    Tp::AccountPtr a = account(path);
    setAccountProperty(a, key, value);
}

void AccountUtils::addAccount(const Tp::AccountPtr &account)
{
    Q_D(AccountUtils);
    if (account.isNull())
        return;
    if (!account->isReady(accountFeatures())) {
        connect(account->becomeReady(accountFeatures()), &Tp::PendingOperation::finished,
                this, &AccountUtils::slotAccountReady);
        return;
    }
    const QString path = account->objectPath();
    d->accounts.insert(path, account);
    // Unique: an account that turns invalid and valid again is added twice.
    connect(account.data(), &Tp::Account::parametersChanged,
            this, &AccountUtils::slotParametersChanged,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    connect(account.data(), &Tp::Account::removed,
            this, &AccountUtils::slotAccountRemoved, Qt::UniqueConnection);
    connect(account.data(), &Tp::Account::validityChanged,
            this, &AccountUtils::slotAccountValidityChanged, Qt::UniqueConnection);
    checkMessageValidityPeriod(account);
    Q_EMIT accountReady(path);
}

void AccountUtils::removeAccount(const QString &path)
{
    Q_D(AccountUtils);
    d->accounts.remove(path);
}

void AccountUtils::checkMessageValidityPeriod(const Tp::AccountPtr &account)
{
    if (account.isNull() || account->protocolName() != AccountPaths::CellularProtocol)
        return;
    // Always the cellular account's parameter, whichever "tel" account
    // became ready.
    if (!accountProperty(AccountPaths::Cellular, ValidityPeriodParameter).isValid())
        setAccountProperty(AccountPaths::Cellular, ValidityPeriodParameter, DefaultValidityPeriod);
}

void AccountUtils::slotAccountManagerReady(Tp::PendingOperation *operation)
{
    Q_D(AccountUtils);
    if (operation && !operation->isError() && d->accountManager->isReady()) {
        connect(d->accountManager.data(), &Tp::AccountManager::newAccount,
                this, &AccountUtils::slotAddAccount, Qt::UniqueConnection);
        const QList<Tp::AccountPtr> accounts = d->accountManager->validAccounts()->accounts();
        for (const Tp::AccountPtr &account : accounts)
            addAccount(account);
    }
    Q_EMIT accountManagerReady(operation);
}

void AccountUtils::slotAccountReady(Tp::PendingOperation *operation)
{
    auto *ready = qobject_cast<Tp::PendingReady *>(operation);
    if (!ready || ready->isError())
        return;
    Tp::AccountPtr account = Tp::AccountPtr::qObjectCast(ready->proxy());
    if (account && account->isReady(accountFeatures()))
        addAccount(account);
}

void AccountUtils::slotAddAccount(const Tp::AccountPtr &account)
{
    Q_D(AccountUtils);
    if (d->accountManager)
        addAccount(account);
}

void AccountUtils::slotAccountRemoved()
{
    auto *account = qobject_cast<Tp::Account *>(sender());
    if (!account)
        return;
    const QString path = account->objectPath();
    removeAccount(path);
    Q_EMIT accountRemoved(path);
}

void AccountUtils::slotAccountValidityChanged(bool valid)
{
    Q_D(AccountUtils);
    auto *account = qobject_cast<Tp::Account *>(sender());
    if (!account)
        return;
    const QString path = account->objectPath();
    if (!valid)
        removeAccount(path);
    else if (d->accountManager)
        addAccount(d->accountManager->accountForPath(path));
}

void AccountUtils::slotParametersChanged(const QVariantMap &parameters)
{
    auto *account = qobject_cast<Tp::Account *>(sender());
    if (account)
        Q_EMIT accountPropertiesChanged(account->objectPath(), parameters);
}
