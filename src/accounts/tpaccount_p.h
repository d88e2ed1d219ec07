// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_TPACCOUNT_P_H
#define MESSAGING0_TPACCOUNT_P_H

#include "abstractaccount_p.h"
#include "tpaccount.h"

class TpAccountPrivate : public AbstractAccountPrivate
{
    Q_DECLARE_PUBLIC(TpAccount)

public:
    explicit TpAccountPrivate(const Tp::AccountPtr &account);
    ~TpAccountPrivate() override;

    QString uid() const;
    QString storedMessage() const;
    // Asks Mission Control for the presence; a refusal of the latest
    // request ends the change in progress.
    void requestPresence(const Tp::Presence &presence);
    void setInProgress(bool inProgress);

    Tp::AccountPtr account;                  // may be null
    bool statusUpdate = false;
    bool inProgress = false;
    QList<AvailabilityItem *> availabilities; // owned
    AvailabilityItem *currentStatus;          // owned, never null
    QString objectPath;                       // used when there is no account
    QString lastPresenceMessage;              // of the last presence seen
    int requestSerial = 0;                    // identifies the latest request
};

#endif // MESSAGING0_TPACCOUNT_P_H
