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

// The messaging accounts as a table: row 0 is the built-in SMS and MMS
// entry, then one row per valid Telepathy account in the order they became
// ready (the cellular and MMS accounts have no rows of their own). Columns
// are the account attributes below; the model answers the display role
// only. Columns CT_STATUS_UPDATE to CT_CURRENT_STATUS are writable; a write
// is a request and the cell changes when the account reports the change.
//
// Create the process-wide instance through SingletonBase and start it with
// init().
class MESSAGING0_EXPORT AccountModel : public QAbstractTableModel,
                                       public SingletonBase<AccountModel>
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AccountModel)

public:
    enum Column {
        CT_ACCOUNT_NAME = 0,
        CT_OBJECT_PATH,
        CT_SERVICE_NAME,
        CT_SERVICE_ICON_NORMAL,
        CT_SERVICE_ICON_MEDIUM,
        CT_STATUS_UPDATE,
        CT_ENABLED,
        CT_STATUS_MESSAGE,
        CT_CURRENT_STATUS,
        CT_AVAILABILITIES,
        CT_STATUS_CHANGE_IN_PROGRESS,
        CT_STATUS_CHANGE_ERROR,
        CT_ERROR_MESSAGE,
        CT_SORTING_STRING,
        CT_ACCOUNT_ID,
        CT_COLUMN_COUNT
    };

    explicit AccountModel(QObject *parent = nullptr);
    ~AccountModel() override;

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // With all false, only the rows whose account is enabled are counted.
    int rowCount(bool all, QModelIndex parent) const;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Starts the model once: the SMS row, then account discovery.
    void init();
    bool initializeTpAccounts();
    void addTpAccount(const Tp::AccountPtr &account);
    void makeAccountReady(const Tp::AccountPtr &account);
    // Removes the row of the account with exactly this object path.
    void removeAccount(const QString &path);

    // The first row whose object path occurs within path.
    QString serviceNameForObjectPath(QString path);
    QString serviceIconIdForObjectPath(QString path, serviceIconType type);

public Q_SLOTS:
    void handleAccountManagerReady(Tp::PendingOperation *pendingOperation = nullptr);
    void handleAccountReady(Tp::PendingOperation *pendingOperation = nullptr);
    void handleAccountCreated(const Tp::AccountPtr &account);
    void handleAccountRemoved();
    void handleAccountValidityChanged(bool validity);
    void handleAccountNameChanged(QObject *sendingAcc);
    void handleServiceNameChanged(QObject *sendingAcc);
    void handleStatusUpdateChanged(QObject *sendingAcc);
    void handleAccountEnabledChanged(QObject *sendingAcc);
    void handleStatusMessageChanged(QObject *sendingAcc);
    void handleCurrentStatusChanged(QObject *sendingAcc);
    void handleStatusProgressChanged(QObject *sendingAcc);
    void handleStatusErrorChanged(QObject *sendingAcc);
    void handleErrorMessageChanged(QObject *sendingAcc);

protected:
    AccountModelPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(AccountModel)
};

template<> AccountModel *SingletonBase<AccountModel>::m_pInstance;

#endif // MESSAGING0_ACCOUNTMODEL_H
