// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountlistmodel.h"

#include <messaging0/accountmodel.h>
#include <messaging0/accountsortmodel.h>
#include <messaging0/accountutils.h>
#include <messaging0/chatcontext.h>
#include <messaging0/networkstatusmanager.h>

namespace {

int columnOf(int role)
{
    switch (role) {
    case QmlAccountListModel::AccountPathRole: return AccountModel::CT_OBJECT_PATH;
    case QmlAccountListModel::NameRole: return AccountModel::CT_ACCOUNT_NAME;
    case QmlAccountListModel::ServiceRole: return AccountModel::CT_SERVICE_NAME;
    case QmlAccountListModel::ServiceIconRole: return AccountModel::CT_SERVICE_ICON_NORMAL;
    case QmlAccountListModel::PresenceRole: return AccountModel::CT_CURRENT_STATUS;
    case QmlAccountListModel::StatusMessageRole: return AccountModel::CT_STATUS_MESSAGE;
    case QmlAccountListModel::EnabledRole: return AccountModel::CT_ENABLED;
    default: return -1;
    }
}

// The process-wide account model, started on first use. It belongs to the
// library's singleton holder and lives as long as the process.
AccountModel *startedAccountModel()
{
    AccountModel *model = AccountModel::instance();
    model->init();
    return model;
}

} // namespace

QmlAccountListModel::QmlAccountListModel(bool sorted, QObject *parent) : QIdentityProxyModel(parent)
{
    AccountModel *accounts = startedAccountModel();
    if (sorted) {
        // Owned by this wrapper.
        auto *sort = new AccountSortModel(this);
        sort->setSourceModel(accounts);
        sort->setDynamicSortFilter(true);
        sort->sort(AccountModel::CT_SORTING_STRING);
        setSourceModel(sort);
    } else {
        setSourceModel(accounts);
    }
    connect(this, &QAbstractItemModel::rowsInserted, this, &QmlAccountListModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &QmlAccountListModel::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &QmlAccountListModel::countChanged);

    // An account's status is known once the library has it ready.
    connect(AccountUtils::instance(), &AccountUtils::accountReady, this,
            &QmlAccountListModel::usabilityChanged);
    NetworkStatusManager *status = NetworkStatusManager::instance();
    connect(status, &NetworkStatusManager::accountStatusChanged, this,
            [this](int, const QString &accountPath) { usabilityChanged(accountPath); });
    connect(status, &NetworkStatusManager::cellularOnline, this, &QmlAccountListModel::cellularStateChanged);
    connect(status, &NetworkStatusManager::simStatusChanged, this, &QmlAccountListModel::cellularStateChanged);
    connect(status, &NetworkStatusManager::deviceModeChanged, this, &QmlAccountListModel::cellularStateChanged);
    // A connection that comes or goes shows in the account's presence first.
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                if (!roles.contains(UsableRole))
                    usabilityChanged(index(topLeft.row(), AccountModel::CT_OBJECT_PATH).data().toString());
            });
}

QHash<int, QByteArray> QmlAccountListModel::roleNames() const
{
    QHash<int, QByteArray> roles = QIdentityProxyModel::roleNames();
    roles.insert(AccountPathRole, "accountPath");
    roles.insert(NameRole, "name");
    roles.insert(ServiceRole, "service");
    roles.insert(ServiceIconRole, "serviceIcon");
    roles.insert(PresenceRole, "presence");
    roles.insert(StatusMessageRole, "statusMessage");
    roles.insert(EnabledRole, "enabled");
    roles.insert(UsableRole, "usable");
    return roles;
}

QVariant QmlAccountListModel::data(const QModelIndex &index, int role) const
{
    if (role < AccountPathRole)
        return QIdentityProxyModel::data(index, role);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == UsableRole)
        return isUsable(data(index, AccountPathRole).toString());
    const int column = columnOf(role);
    if (column < 0)
        return QVariant();
    return QIdentityProxyModel::data(this->index(index.row(), column), Qt::DisplayRole);
}

bool QmlAccountListModel::isUsable(const QString &accountPath) const
{
    return NetworkStatusManager::instance()->sendReadiness(accountPath) == NetworkStatusManager::SendReady;
}

int QmlAccountListModel::rowOf(const QString &accountPath) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (index(row, AccountModel::CT_OBJECT_PATH).data().toString() == accountPath)
            return row;
    }
    return -1;
}

QVariantMap QmlAccountListModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= rowCount())
        return values;
    for (int role = AccountPathRole; role <= UsableRole; ++role)
        values.insert(QString::fromLatin1(roleNames().value(role)), data(index(row, 0), role));
    return values;
}

void QmlAccountListModel::usabilityChanged(const QString &accountPath)
{
    const int row = rowOf(accountPath);
    if (row < 0)
        return;
    const QModelIndex changed = index(row, 0);
    Q_EMIT dataChanged(changed, changed, {UsableRole});
}

void QmlAccountListModel::cellularStateChanged()
{
    for (int row = 0; row < rowCount(); ++row) {
        const QString path = index(row, AccountModel::CT_OBJECT_PATH).data().toString();
        if (ChatContext(QString(), path).isCellular())
            usabilityChanged(path);
    }
}

void QmlAccountListModel::setPresence(const QString &accountPath, const QString &presence,
                                      const QString &statusMessage)
{
    const int row = rowOf(accountPath);
    if (row < 0)
        return;
    if (!statusMessage.isNull())
        setData(index(row, AccountModel::CT_STATUS_MESSAGE), statusMessage);
    setData(index(row, AccountModel::CT_CURRENT_STATUS), presence);
}

void QmlAccountListModel::setEnabled(const QString &accountPath, bool enabled)
{
    const int row = rowOf(accountPath);
    if (row >= 0)
        setData(index(row, AccountModel::CT_ENABLED), enabled);
}
