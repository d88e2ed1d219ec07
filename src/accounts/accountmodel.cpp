// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountmodel.h"
#include "accountmodel_p.h"

#include "abstractaccount.h"
#include "accountpaths.h"
#include "accountservicemapper.h"
#include "accountutils.h"
#include "messaginglogging.h"
#include "staticsmsaccount.h"
#include "tpaccount.h"

#include <TelepathyQt/AccountSet>
#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/PendingReady>

#include <QDBusConnection>

template<> AccountModel *SingletonBase<AccountModel>::m_pInstance = nullptr;

namespace {
const char *const ColumnNames[] = {
    "CT_ACCOUNT_NAME", "CT_OBJECT_PATH", "CT_SERVICE_NAME", "CT_SERVICE_ICON_NORMAL",
    "CT_SERVICE_ICON_MEDIUM", "CT_STATUS_UPDATE", "CT_ENABLED", "CT_STATUS_MESSAGE",
    "CT_CURRENT_STATUS", "CT_AVAILABILITIES", "CT_STATUS_CHANGE_IN_PROGRESS",
    "CT_STATUS_CHANGE_ERROR", "CT_ERROR_MESSAGE", "CT_SORTING_STRING", "CT_ACCOUNT_ID"};
static_assert(sizeof(ColumnNames) / sizeof(ColumnNames[0]) == AccountModel::CT_COLUMN_COUNT,
              "one header text per column");

constexpr Qt::ItemFlags WritableFlags = Qt::ItemIsEditable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
} // namespace

AccountModelPrivate::AccountModelPrivate()
{
    // Process-wide; the account objects ask it for their services.
    AccountServiceMapper::instance();
}

AccountModelPrivate::~AccountModelPrivate()
{
    // The accounts may outlive this object's members (the manager goes
    // first and takes them with it): nothing of theirs may reach us then.
    for (Tp::Account *account : qAsConst(watched))
        disconnect(account, nullptr, this, nullptr);
}

int AccountModelPrivate::rowOfPath(const QString &path) const
{
    for (int row = 0; row < accounts.size(); ++row) {
        if (accounts.at(row)->objectPath() == path)
            return row;
    }
    return -1;
}

void AccountModelPrivate::createAccountManager()
{
    accountManager = AccountUtils::instance()->accountManager();
}

void AccountModelPrivate::accountRemoved(Tp::Account *account)
{
    Q_Q(AccountModel);
    if (account && accountManager && accountManager->isReady())
        q->removeAccount(account->objectPath());
}

void AccountModelPrivate::accountValidityChanged(Tp::Account *account, bool valid)
{
    Q_Q(AccountModel);
    if (!account || !accountManager)
        return;
    const QString path = account->objectPath();
    const bool listed = rowOfPath(path) != -1;
    if (listed && !valid)
        q->removeAccount(path);
    else if (!listed && valid)
        q->handleAccountCreated(accountManager->accountForObjectPath(path));
}

AccountModel::AccountModel(QObject *parent)
    : QAbstractTableModel(parent), d_ptr(new AccountModelPrivate)
{
    d_ptr->q_ptr = this;
}

AccountModel::~AccountModel()
{
    if (m_pInstance == this)
        m_pInstance = nullptr;
    delete d_ptr;
}

int AccountModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : CT_COLUMN_COUNT;
}

QModelIndex AccountModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int AccountModel::rowCount(const QModelIndex &parent) const
{
    return rowCount(true, parent);
}

int AccountModel::rowCount(bool all, QModelIndex parent) const
{
    Q_D(const AccountModel);
    if (parent.isValid())
        return 0;
    if (all)
        return d->accounts.size();
    return int(std::count_if(d->accounts.cbegin(), d->accounts.cend(),
                             [](const AbstractAccount *account) { return account->accountEnabled(); }));
}

QVariant AccountModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal && section >= 0 && section < CT_COLUMN_COUNT)
        return QString::fromLatin1(ColumnNames[section]);
    return QVariant(section);
}

QVariant AccountModel::data(const QModelIndex &index, int role) const
{
    Q_D(const AccountModel);
    if (!index.isValid() || index.row() >= rowCount(QModelIndex()) || role != Qt::DisplayRole)
        return QVariant();
    const AbstractAccount *account = d->accounts.at(index.row());
    switch (index.column()) {
    case CT_ACCOUNT_NAME: return account->accountName();
    case CT_OBJECT_PATH: return account->objectPath();
    case CT_SERVICE_NAME: return account->serviceName();
    case CT_SERVICE_ICON_NORMAL: return account->serviceIcon(SERVICE_ICON_NORMAL);
    case CT_SERVICE_ICON_MEDIUM: return account->serviceIcon(SERVICE_ICON_MEDIUM);
    case CT_STATUS_UPDATE: return account->statusUpdate();
    case CT_ENABLED: return account->accountEnabled();
    case CT_STATUS_MESSAGE: return account->statusMessage();
    case CT_CURRENT_STATUS: {
        const AvailabilityItem *item = account->currentStatus();
        return item ? item->status : QStringLiteral("");
    }
    case CT_AVAILABILITIES: {
        QString text;
        const QList<AvailabilityItem *> items = account->availabilities();
        for (const AvailabilityItem *item : items)
            text += QStringLiteral(" - %1").arg(item->status);
        return text;
    }
    case CT_STATUS_CHANGE_IN_PROGRESS: return account->statusChangeInProgress();
    case CT_STATUS_CHANGE_ERROR: return account->statusChangeError();
    case CT_ERROR_MESSAGE: return account->errorMessage();
    case CT_SORTING_STRING: return account->sortString();
    case CT_ACCOUNT_ID: return account->accountId();
    default: return QVariant();
    }
}

bool AccountModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Q_D(AccountModel);
    Q_UNUSED(role)
    if (!index.isValid() || index.row() >= rowCount(QModelIndex()))
        return false;
    AbstractAccount *account = d->accounts.at(index.row());
    switch (index.column()) {
    case CT_STATUS_UPDATE:
        account->setStatusUpdate(value.toBool());
        return true;
    case CT_ENABLED:
        account->setAccountEnabled(value.toBool());
        return true;
    case CT_STATUS_MESSAGE:
        account->setStatusMessage(value.toString());
        return true;
    case CT_CURRENT_STATUS: {
        const QString text = value.toString();
        AvailabilityItem item;
        if (text.contains(QLatin1String("offline")))
            item = AvailabilityItem(1, QStringLiteral("offline"));
        else if (text.contains(QLatin1String("away")))
            item = AvailabilityItem(3, QStringLiteral("away"));
        else if (text.contains(QLatin1String("available")))
            item = AvailabilityItem(2, QStringLiteral("available"));
        account->setCurrentStatus(&item);
        return true;
    }
    default:
        return false;
    }
}

Qt::ItemFlags AccountModel::flags(const QModelIndex &index) const
{
    if (index.isValid() && index.column() >= CT_STATUS_UPDATE && index.column() <= CT_CURRENT_STATUS)
        return WritableFlags;
    return Qt::NoItemFlags;
}

void AccountModel::init()
{
    Q_D(AccountModel);
    if (d->initialised)
        return;
    d->createAccountManager();
    if (!d->accountManager)
        return;
    if (initializeTpAccounts())
        d->initialised = true;
}

bool AccountModel::initializeTpAccounts()
{
    Q_D(AccountModel);
    // One SMS entry, however often discovery is started.
    if (d->rowOfPath(AccountPaths::Cellular) == -1) {
        beginInsertRows(QModelIndex(), d->accounts.size(), d->accounts.size());
        d->accounts.append(new StaticSMSAccount(this)); // owned by the model (child), lives as long as it
        endInsertRows();
    }

    if (!d->accountManager)
        d->createAccountManager();
    if (!d->accountManager)
        return false;

    connect(d->accountManager.data(), &Tp::AccountManager::newAccount, this, &AccountModel::handleAccountCreated,
            Qt::UniqueConnection);
    if (!d->accountManager->isReady()) {
        connect(d->accountManager->becomeReady(), &Tp::PendingOperation::finished, this,
                &AccountModel::handleAccountManagerReady);
    } else {
        const QList<Tp::AccountPtr> accounts = d->accountManager->validAccounts()->accounts();
        for (const Tp::AccountPtr &account : accounts)
            makeAccountReady(account);
    }
    return true;
}

void AccountModel::handleAccountManagerReady(Tp::PendingOperation *pendingOperation)
{
    Q_D(AccountModel);
    if (!d->accountManager || !d->accountManager->isReady())
        return;
    if (pendingOperation && pendingOperation->isError()) {
        qCWarning(lcAccounts) << "account manager not ready:" << pendingOperation->errorName()
                              << pendingOperation->errorMessage();
        return;
    }
    const QList<Tp::AccountPtr> accounts = d->accountManager->validAccounts()->accounts();
    for (const Tp::AccountPtr &account : accounts)
        makeAccountReady(account);
}

void AccountModel::makeAccountReady(const Tp::AccountPtr &account)
{
    Q_D(AccountModel);
    if (!account)
        return;
    // Once per account: one that turns invalid and valid again comes here
    // twice.
    Tp::Account *a = account.data();
    if (!d->watched.contains(a)) {
        d->watched.insert(a);
        connect(a, &QObject::destroyed, d, [d, a] { d->watched.remove(a); });
        connect(a, &Tp::Account::removed, d, [d, a] { d->accountRemoved(a); });
        connect(a, &Tp::Account::validityChanged, d, [d, a](bool valid) { d->accountValidityChanged(a, valid); });
    }
    if (account->isReady()) {
        addTpAccount(account);
        return;
    }
    connect(account->becomeReady(), &Tp::PendingOperation::finished, this, &AccountModel::handleAccountReady);
}

void AccountModel::handleAccountCreated(const Tp::AccountPtr &account)
{
    if (account)
        makeAccountReady(account);
}

void AccountModel::handleAccountReady(Tp::PendingOperation *pendingOperation)
{
    auto *ready = qobject_cast<Tp::PendingReady *>(pendingOperation);
    if (!ready || ready->isError()) {
        if (pendingOperation && pendingOperation->isError())
            qCDebug(lcAccounts) << "account not ready:" << pendingOperation->errorMessage();
        return;
    }
    const Tp::AccountPtr account = Tp::AccountPtr::qObjectCast(ready->proxy());
    if (account)
        addTpAccount(account);
}

void AccountModel::addTpAccount(const Tp::AccountPtr &account)
{
    Q_D(AccountModel);
    if (!account)
        return;
    const QString path = account->objectPath();
    // The cellular and MMS accounts are the SMS entry; an account already
    // listed (ready twice, or valid again before its row went) keeps its row.
    if (path == AccountPaths::Cellular || path == AccountPaths::Mms || d->rowOfPath(path) != -1)
        return;
    // A validity change may arrive while the account is made ready: only
    // valid accounts are listed.
    if (!account->isValidAccount())
        return;

    auto *tpAccount = new TpAccount(account, this); // owned by the model (child), deleted with its row

    // Each change signal reaches the slot of its column with the account.
    const struct {
        void (AbstractAccount::*signal)();
        void (AccountModel::*slot)(QObject *);
    } wiring[] = {
        {&AbstractAccount::accountNameChanged, &AccountModel::handleAccountNameChanged},
        {&AbstractAccount::accountEnabledChanged, &AccountModel::handleAccountEnabledChanged},
        {&AbstractAccount::currentStatusChanged, &AccountModel::handleCurrentStatusChanged},
        {&AbstractAccount::errorMessageChanged, &AccountModel::handleErrorMessageChanged},
        {&AbstractAccount::serviceNameChanged, &AccountModel::handleServiceNameChanged},
        {&AbstractAccount::statusErrorChanged, &AccountModel::handleStatusErrorChanged},
        {&AbstractAccount::statusMessageChanged, &AccountModel::handleStatusMessageChanged},
        {&AbstractAccount::statusProgressChanged, &AccountModel::handleStatusProgressChanged},
        {&AbstractAccount::statusUpdateChanged, &AccountModel::handleStatusUpdateChanged},
    };
    for (const auto &w : wiring)
        connect(tpAccount, w.signal, this, [this, tpAccount, slot = w.slot] { (this->*slot)(tpAccount); });

    const int row = d->accounts.size();
    beginInsertRows(QModelIndex(), row, row);
    d->accounts.append(tpAccount);
    endInsertRows();
}

void AccountModel::removeAccount(const QString &path)
{
    Q_D(AccountModel);
    // Exact: "…/alice0" must not take the row of "…/alice01".
    const int row = d->rowOfPath(path);
    if (row == -1)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    AbstractAccount *account = d->accounts.takeAt(row);
    delete account; // also removes its mappings
    endRemoveRows();
}

QString AccountModel::serviceNameForObjectPath(QString path)
{
    Q_D(AccountModel);
    for (const AbstractAccount *account : qAsConst(d->accounts)) {
        if (path.indexOf(account->objectPath()) != -1)
            return account->serviceName();
    }
    return QString();
}

QString AccountModel::serviceIconIdForObjectPath(QString path, serviceIconType type)
{
    Q_D(AccountModel);
    for (const AbstractAccount *account : qAsConst(d->accounts)) {
        if (path.indexOf(account->objectPath()) != -1)
            return account->serviceIcon(type);
    }
    return QString();
}

void AccountModel::handleAccountRemoved()
{
    Q_D(AccountModel);
    d->accountRemoved(qobject_cast<Tp::Account *>(sender()));
}

void AccountModel::handleAccountValidityChanged(bool validity)
{
    Q_D(AccountModel);
    d->accountValidityChanged(qobject_cast<Tp::Account *>(sender()), validity);
}

namespace {
void cellChanged(AccountModel *model, const QList<AbstractAccount *> &accounts, QObject *sendingAcc, int column,
                 bool layout)
{
    auto *account = qobject_cast<AbstractAccount *>(sendingAcc);
    const int row = account ? accounts.indexOf(account) : -1;
    if (row == -1)
        return;
    const QModelIndex index = model->index(row, column);
    Q_EMIT model->dataChanged(index, index);
    // Sort proxies re-sort on it. Announced first, as every item model must,
    // although no row of this model moves.
    if (layout) {
        Q_EMIT model->layoutAboutToBeChanged();
        Q_EMIT model->layoutChanged();
    }
}
} // namespace

void AccountModel::handleAccountNameChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_ACCOUNT_NAME, true);
}

void AccountModel::handleServiceNameChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_SERVICE_NAME, true);
}

void AccountModel::handleStatusUpdateChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_STATUS_UPDATE, false);
}

void AccountModel::handleAccountEnabledChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_ENABLED, false);
}

void AccountModel::handleStatusMessageChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_STATUS_MESSAGE, false);
}

void AccountModel::handleCurrentStatusChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_CURRENT_STATUS, false);
}

void AccountModel::handleStatusProgressChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_STATUS_CHANGE_IN_PROGRESS, false);
}

void AccountModel::handleStatusErrorChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_STATUS_CHANGE_ERROR, false);
}

void AccountModel::handleErrorMessageChanged(QObject *sendingAcc)
{
    cellChanged(this, d_func()->accounts, sendingAcc, CT_ERROR_MESSAGE, false);
}
