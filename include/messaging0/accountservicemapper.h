// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTSERVICEMAPPER_H
#define MESSAGING0_ACCOUNTSERVICEMAPPER_H

#include "messaging0global.h"
#include "serviceicontype.h"
#include "singletonbase.h"

#include <QObject>
#include <QString>

class AccountServiceMapperPrivate;

namespace Accounts {
//! As libaccounts-qt5 declares it; repeated so that users of this header do
//! not need libaccounts' headers.
typedef quint32 AccountId;
}

//! Links Telepathy accounts to the device's single-sign-on accounts.
//!
//! Every instant-messaging ("IM") service of the single-sign-on account store
//! whose setting "tmc-uid" is not empty names a Telepathy account: the uid is
//! a text found within that account's object path. The mapper answers, for a
//! Telepathy object path, the single-sign-on account id, the service, the
//! name it is shown under and its icons, and installs the translation
//! catalogues of the linked providers and services through LocaleService.
//!
//! Accounts created or changed in the store are read again as the store
//! reports them; answers given before are not kept past such a change.
class MESSAGING0_EXPORT AccountServiceMapper : public QObject,
                                               public SingletonBase<AccountServiceMapper>
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AccountServiceMapper)

public:
    //! One instant-messaging service of the single-sign-on store and the Telepathy account it names.
    struct ssoAccountItem
    {
        Accounts::AccountId ssoAccountId = 0; //!< the single-sign-on account id
        QString tpAccountUid;       //!< never empty in a stored item
        QString serviceId;          //!< Accounts::Service::name()
        QString serviceDisplayName; //!< Accounts::Service::displayName()
        QString normalIcon; //!< icon name, SERVICE_ICON_NORMAL
        QString mediumIcon; //!< icon name, SERVICE_ICON_MEDIUM
    };

    //! No parent: the instance lives for the rest of the process.
    AccountServiceMapper();
    ~AccountServiceMapper() override;

    //! Follows accounts created or changed in the store.
    void connectToManagerSignals();
    //! Reads every account of the store.
    void enumerateSSOAccountSeviceMappings();
    //! Index of the item for this exact uid, or -1.
    int indexOfAccountItem(const QString &uid);

    //! All bits set (-1 as an int) when no uid occurs within path.
    Accounts::AccountId ssoAccountIDForTpAccount(const QString &path);
    //! Null strings when no uid occurs within path.
    QString ssoServiceIDForTpAccount(const QString &path);
    //! The display name, or the service id when that is empty.
    QString ssoServiceNameForTpAccount(const QString &path);
    //! The service's icon name; a null string when no uid occurs within path.
    QString ssoServiceIconIdForTpAccount(const QString &path, serviceIconType type);

public Q_SLOTS:
    //! Reads one account of the store again.
    void enumerateSSOAccountServiceMapping(Accounts::AccountId ssoAccountId);

protected:
    AccountServiceMapperPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(AccountServiceMapper)
};

//! \cond
template<> AccountServiceMapper *SingletonBase<AccountServiceMapper>::m_pInstance;

//! \endcond

#endif // MESSAGING0_ACCOUNTSERVICEMAPPER_H
