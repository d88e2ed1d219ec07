// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_TPACCOUNT_H
#define MESSAGING0_TPACCOUNT_H

#include "abstractaccount.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/Presence>

class QDomDocument;
class TpAccountPrivate;

namespace Tp {
class PendingOperation;
}

//! An account backed by one Telepathy account.
//!
//! Names and presence come from Telepathy; the service name, icons and
//! single-sign-on id from AccountServiceMapper; the status message kept for
//! the account from IndividualStatusMessageStore. The Telepathy account must
//! be ready with its core feature.
//!
//! Presence changes: setCurrentStatus() requests a presence and sets
//! statusChangeInProgress until the account reports a new presence, or until
//! Telepathy refuses the request.
class MESSAGING0_EXPORT TpAccount : public AbstractAccount
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(TpAccount)

public:
    //! account may be null: the object then has no name and changes nothing.
    TpAccount(Tp::AccountPtr account, QObject *parent);
    ~TpAccount() override;

    QString accountName() const override;
    QString sortString() const override;
    QString objectPath() const override;
    QString serviceName() const override;
    QString serviceIcon(serviceIconType type) const override;
    bool statusUpdate() const override;
    bool accountEnabled() const override;
    QString statusMessage() const override;
    AvailabilityItem *currentStatus() const override;
    QList<AvailabilityItem *> availabilities() const override;
    bool statusChangeInProgress() const override;
    bool statusChangeError() const override;
    QString errorMessage() const override;
    int accountId() const override;
    void setStatusUpdate(bool statusUpdate) override;
    void setAccountEnabled(bool enabled) override;
    void setStatusMessage(const QString &message) override;
    void setCurrentStatus(AvailabilityItem *item) override;

    //! Offline, available and away, in this order; the document is not read.
    void initAvailabilitiesList(const QDomDocument &document);
    //! Hooks for the user interface; they do nothing here.
    void gatherServiceSpecificData();
    //! A hook for the user interface; does nothing here.
    void changeSortName();

public Q_SLOTS:
    //! Reacts to the account's presence changing: updates status and message.
    void newMessageThroughPresence(const Tp::Presence &newPresence);
    //! Reacts to the account being enabled or disabled: emits accountEnabledChanged().
    void handleValidityChanged(bool state);
    //! Reacts to the outcome of setAccountEnabled(); a failure is logged.
    void handleStateChanged(Tp::PendingOperation *op);
    //! Reacts to the account's name changing: emits accountNameChanged().
    void handleAccountNameChanged();

private:
    Q_DISABLE_COPY(TpAccount)
};

#endif // MESSAGING0_TPACCOUNT_H
