// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTMODEL_H
#define MESSAGING0_ACCOUNTMODEL_H

#include "messaging0global.h"
#include "serviceicontype.h"
#include "singletonbase.h"

#include <TelepathyQt/Account>

#include <QAbstractTableModel>

class AccountModelPrivate;

namespace Tp {
class PendingOperation;
}

//! The messaging accounts as a table: row 0 is the built-in SMS and MMS
//! entry, then one row per valid Telepathy account in the order they became
//! ready (the cellular and MMS accounts have no rows of their own). Columns
//! are the account attributes below; the model answers the display role
//! only. Columns CT_STATUS_UPDATE to CT_CURRENT_STATUS are writable; a write
//! is a request and the cell changes when the account reports the change.
//!
//! Create the process-wide instance through SingletonBase and start it with
//! init().
class MESSAGING0_EXPORT AccountModel : public QAbstractTableModel,
                                       public SingletonBase<AccountModel>
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AccountModel)

public:
    //! The columns of the model, one per account attribute.
    enum Column {
        CT_ACCOUNT_NAME = 0, //!< AbstractAccount::accountName
        CT_OBJECT_PATH, //!< AbstractAccount::objectPath
        CT_SERVICE_NAME, //!< AbstractAccount::serviceName
        CT_SERVICE_ICON_NORMAL, //!< icon name, SERVICE_ICON_NORMAL
        CT_SERVICE_ICON_MEDIUM, //!< icon name, SERVICE_ICON_MEDIUM
        CT_STATUS_UPDATE, //!< AbstractAccount::statusUpdate (writable)
        CT_ENABLED, //!< AbstractAccount::accountEnabled (writable)
        CT_STATUS_MESSAGE, //!< AbstractAccount::statusMessage (writable)
        CT_CURRENT_STATUS, //!< AbstractAccount::currentStatus (writable)
        CT_AVAILABILITIES, //!< AbstractAccount::availabilities
        CT_STATUS_CHANGE_IN_PROGRESS, //!< AbstractAccount::statusChangeInProgress
        CT_STATUS_CHANGE_ERROR, //!< AbstractAccount::statusChangeError
        CT_ERROR_MESSAGE, //!< AbstractAccount::errorMessage
        CT_SORTING_STRING, //!< AbstractAccount::sortString
        CT_ACCOUNT_ID, //!< the single-sign-on account id
        CT_COLUMN_COUNT //!< the number of columns, not a column
    };

    //! An empty model; init() fills it. Use the process-wide instance (SingletonBase::instance()).
    explicit AccountModel(QObject *parent = nullptr);
    ~AccountModel() override;

    //! CT_COLUMN_COUNT.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    //! Always invalid: the model is a flat table.
    QModelIndex parent(const QModelIndex &index) const override;
    //! Every row, enabled accounts or not.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    //! With all false, only the rows whose account is enabled are counted.
    int rowCount(bool all, QModelIndex parent) const;
    //! The column names.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    //! The attribute of the column for the display role; an invalid QVariant otherwise.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    //! Requests a change of a writable column; the cell changes when the account reports it.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    //! Editable for the writable columns.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    //! Starts the model once: the SMS row, then account discovery.
    void init();
    //! Adds the SMS row and starts discovering the valid Telepathy accounts; false when there is no account manager.
    bool initializeTpAccounts();
    //! Adds a row for a valid account (made ready first when needed).
    void addTpAccount(const Tp::AccountPtr &account);
    //! Makes the account ready; handleAccountReady() adds its row.
    void makeAccountReady(const Tp::AccountPtr &account);
    //! Removes the row of the account with exactly this object path.
    void removeAccount(const QString &path);

    //! The first row whose object path occurs within path.
    QString serviceNameForObjectPath(QString path);
    //! The icon name of the first row whose object path occurs within path.
    QString serviceIconIdForObjectPath(QString path, serviceIconType type);

public Q_SLOTS:
    //! Reacts to the account manager becoming ready: adds its accounts.
    void handleAccountManagerReady(Tp::PendingOperation *pendingOperation = nullptr);
    //! Reacts to an account becoming ready: adds its row.
    void handleAccountReady(Tp::PendingOperation *pendingOperation = nullptr);
    //! Reacts to a new Telepathy account.
    void handleAccountCreated(const Tp::AccountPtr &account);
    //! Reacts to a removed Telepathy account: removes its row.
    void handleAccountRemoved();
    //! Reacts to an account becoming valid or invalid: adds or removes its row.
    void handleAccountValidityChanged(bool validity);
    //! Reports the changed name of an account as a dataChanged() of its cell.
    void handleAccountNameChanged(QObject *sendingAcc);
    //! Reports the changed service name of an account as a dataChanged() of its cell.
    void handleServiceNameChanged(QObject *sendingAcc);
    //! Reports a changed statusUpdate as a dataChanged() of its cell.
    void handleStatusUpdateChanged(QObject *sendingAcc);
    //! Reports a changed enabled state as a dataChanged() of its cell.
    void handleAccountEnabledChanged(QObject *sendingAcc);
    //! Reports a changed status message as a dataChanged() of its cell.
    void handleStatusMessageChanged(QObject *sendingAcc);
    //! Reports a changed presence as a dataChanged() of its cell.
    void handleCurrentStatusChanged(QObject *sendingAcc);
    //! Reports a changed statusChangeInProgress as a dataChanged() of its cell.
    void handleStatusProgressChanged(QObject *sendingAcc);
    //! Reports a changed statusChangeError as a dataChanged() of its cell.
    void handleStatusErrorChanged(QObject *sendingAcc);
    //! Reports a changed error message as a dataChanged() of its cell.
    void handleErrorMessageChanged(QObject *sendingAcc);

protected:
    AccountModelPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(AccountModel)
};

//! \cond
template<> AccountModel *SingletonBase<AccountModel>::m_pInstance;

//! \endcond

#endif // MESSAGING0_ACCOUNTMODEL_H
