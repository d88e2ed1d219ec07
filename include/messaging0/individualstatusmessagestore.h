// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_INDIVIDUALSTATUSMESSAGESTORE_H
#define MESSAGING0_INDIVIDUALSTATUSMESSAGESTORE_H

#include "messaging0global.h"
#include "singletonbase.h"

#include <QString>

class IndividualStatusMessageStorePrivate;

//! The status message last set for each Telepathy account, shared with the
//! presence user interface: the settings of organisation "tavik", application
//! "presence-ui" (on Linux $XDG_CONFIG_HOME/tavik/presence-ui.conf), one
//! entry per account keyed by Tp::Account::uniqueIdentifier().
//!
//! Every read first picks up what other processes wrote; every write is on
//! disk when the call returns.
class MESSAGING0_EXPORT IndividualStatusMessageStore
    : public SingletonBase<IndividualStatusMessageStore>
{
    Q_DECLARE_PRIVATE(IndividualStatusMessageStore)

public:
    //! Use the process-wide instance (SingletonBase::instance()).
    IndividualStatusMessageStore();
    ~IndividualStatusMessageStore() override;

    //! Null when no message is kept for uid.
    QString statusMessage(const QString &uid);
    //! Keeps the message for the account uid; on disk when the call returns.
    void setStatusMessage(const QString &uid, const QString &message);

protected:
    IndividualStatusMessageStorePrivate *const d_ptr;

private:
    Q_DISABLE_COPY(IndividualStatusMessageStore)
};

//! \cond
template<> IndividualStatusMessageStore *SingletonBase<IndividualStatusMessageStore>::m_pInstance;

//! \endcond

#endif // MESSAGING0_INDIVIDUALSTATUSMESSAGESTORE_H
