// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTMODEL_P_H
#define MESSAGING0_ACCOUNTMODEL_P_H

#include "accountmodel.h"

#include <TelepathyQt/AccountManager>

#include <QList>
#include <QObject>
#include <QSet>

class AbstractAccount;

class AccountModelPrivate : public QObject
{
    Q_OBJECT
    Q_DECLARE_PUBLIC(AccountModel)

public:
    AccountModelPrivate();
    ~AccountModelPrivate() override;

    // Row of the account with exactly this object path, or -1.
    int rowOfPath(const QString &path) const;
    void createAccountManager();
    void accountRemoved(Tp::Account *account);
    void accountValidityChanged(Tp::Account *account, bool valid);

    AccountModel *q_ptr = nullptr;

    // The library's one account manager, AccountUtils'.
    Tp::AccountManagerPtr accountManager;
    QList<AbstractAccount *> accounts; // the rows; children of the model
    QSet<Tp::Account *> watched;       // whose removal and validity are followed
    bool initialised = false;
};

#endif // MESSAGING0_ACCOUNTMODEL_P_H
