// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_STATICSMSACCOUNT_H
#define MESSAGING0_STATICSMSACCOUNT_H

#include "abstractaccount.h"

// The built-in SMS and MMS entry of the account list: constant answers, and
// setters that do nothing. Its object path is the cellular account's, its
// sort string "0" puts it before every Telepathy account.
class StaticSMSAccount : public AbstractAccount
{
    Q_OBJECT

public:
    explicit StaticSMSAccount(QObject *parent);

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
};

#endif // MESSAGING0_STATICSMSACCOUNT_H
