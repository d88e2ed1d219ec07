// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTUTILS_H
#define MESSAGING0_ACCOUNTUTILS_H

#include "messaging0global.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>

#include <QObject>
#include <QVariantMap>

namespace Tp {
class PendingOperation;
}

class AccountUtilsPrivate;

//! The process-wide directory of ready Telepathy accounts.
//!
//! Owns the account manager the rest of the library uses, keeps every valid
//! account that is ready (core and avatar) by object path, and reads and
//! writes account parameters. Writes are fire-and-forget: their effect comes
//! back through accountPropertiesChanged().
class MESSAGING0_EXPORT AccountUtils : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AccountUtils)

public:
    //! Created on first use as a child of the application object; init() is
    //! called then.
    static AccountUtils *instance();

    //! Use instance(); a second directory has an account manager of its own.
    explicit AccountUtils(QObject *parent = nullptr);
    ~AccountUtils() override;

    //! Starts the account manager's readiness; accountManagerReady() follows.
    void init();

    //! The account manager the library uses.
    Tp::AccountManagerPtr accountManager() const;
    //! Null unless the account is in the directory (valid and ready).
    Tp::AccountPtr account(const QString &path) const;
    //! The cellular SMS account; null unless it is in the directory.
    Tp::AccountPtr telAccount() const;

    //! A parameter of the account; an invalid QVariant when it has none.
    QVariant accountProperty(Tp::AccountPtr &account, const QString &key) const;
    //! A parameter of the account under path; an invalid QVariant when it has none or the account is not in the directory.
    QVariant accountProperty(const QString &path, const QString &key) const;
    //! Sets a parameter of the account; accountPropertiesChanged() reports the effect.
    void setAccountProperty(Tp::AccountPtr &account, const QString &key, const QVariant &value);
    //! Sets a parameter of the account under path; accountPropertiesChanged() reports the effect.
    void setAccountProperty(const QString &path, const QString &key, const QVariant &value);

    //! Makes a valid account ready and keeps it; accountReady() follows.
    void addAccount(const Tp::AccountPtr &account);
    //! Forgets the account; accountRemoved() follows.
    void removeAccount(const QString &path);
    //! Gives the cellular account its SMS validity period when it has none.
    void checkMessageValidityPeriod(const Tp::AccountPtr &account);

Q_SIGNALS:
    //! Also emitted when the manager failed to become ready: check operation.
    void accountManagerReady(Tp::PendingOperation *operation);
    //! Parameters of an account changed.
    void accountPropertiesChanged(QString accountPath, QVariantMap properties);
    //! An account is ready and in the directory.
    void accountReady(QString objectPath);
    //! An account left the directory (removed or no longer valid).
    void accountRemoved(QString accountPath);

private Q_SLOTS:
    void slotAccountManagerReady(Tp::PendingOperation *operation);
    void slotAccountReady(Tp::PendingOperation *operation);
    void slotAddAccount(const Tp::AccountPtr &account);
    void slotAccountRemoved();
    void slotAccountValidityChanged(bool valid);
    void slotParametersChanged(const QVariantMap &parameters);

private:
    Q_DISABLE_COPY(AccountUtils)
    // Unused; kept for the binary interface.
    static AccountUtils *m_pInstance;

protected:
    AccountUtilsPrivate *const d_ptr;
};

#endif // MESSAGING0_ACCOUNTUTILS_H
