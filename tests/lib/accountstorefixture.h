// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_ACCOUNTSTOREFIXTURE_H
#define MESSAGING_ACCOUNTSTOREFIXTURE_H

#include <Accounts/Account>

#include <QString>
#include <QVariantMap>

namespace Accounts {
class Manager;
}

// A single-sign-on account store of the test's own, for libaccounts-qt5.
//
// setUp() points ACCOUNTS (the database), AG_PROVIDERS, AG_SERVICES and
// AG_SERVICE_TYPES at folders under $HOME/accounts and writes the service
// type "IM" and what is added with addProvider()/addService() there. Call it
// before the first Accounts::Manager of the process exists; run the test
// in a private bus (libaccounts announces changes on the session bus).
//
// Fixture shipped by setUp():
//   provider "loopnet" (catalogue "loopnet-catalogue")
//   provider "plainnet" (no catalogue)
//   service "loopchat"  IM, display name "Loop Chat", icon "icon-loopchat", provider loopnet
//   service "loopvoice" IM, display name "Loop Voice", icon "icon-loopvoice", provider loopnet
//   service "plainchat" IM, display name "Plain Chat", icon "icon-plainchat", provider plainnet,
//                       catalogue "plainchat-catalogue"
// (libaccounts-glib refuses a service without a display name, so a store
// cannot hold one.)
//   service "loopmail"  type "e-mail", provider loopnet (never an IM link)
class AccountStoreFixture
{
public:
    AccountStoreFixture();
    ~AccountStoreFixture();

    bool setUp();
    QString root() const { return m_root; }

    void addProvider(const QString &id, const QString &catalogue = QString());
    void addService(const QString &id, const QString &type, const QString &displayName, const QString &icon,
                    const QString &provider, const QString &catalogue = QString());

    // Creates an account of the provider with the given settings per
    // service ("tmc-uid", "icons/icon-normal", ...), all services enabled.
    // Returns its id (0 on failure).
    Accounts::AccountId createAccount(const QString &provider, const QMap<QString, QVariantMap> &serviceSettings);
    // Changes (or with an invalid value removes) one setting of one service.
    bool setServiceValue(Accounts::AccountId id, const QString &service, const QString &key, const QVariant &value);
    bool removeAccount(Accounts::AccountId id);

    Accounts::Manager *manager();

private:
    QString m_root;
    Accounts::Manager *m_manager = nullptr; // owned
};

#endif
