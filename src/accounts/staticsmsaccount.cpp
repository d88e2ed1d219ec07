// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "staticsmsaccount.h"

#include "accountpaths.h"

StaticSMSAccount::StaticSMSAccount(QObject *parent)
    : AbstractAccount(parent)
{
}

QString StaticSMSAccount::accountName() const { return QStringLiteral(""); }
QString StaticSMSAccount::sortString() const { return QStringLiteral("0"); }
QString StaticSMSAccount::objectPath() const { return AccountPaths::Cellular; }

QString StaticSMSAccount::serviceName() const
{
    // A logical id: the user interface translates it.
    return QStringLiteral("lxr_msg_filtering_dialog_sms_and_mms");
}

QString StaticSMSAccount::serviceIcon(serviceIconType type) const
{
    return type == SERVICE_ICON_MEDIUM ? QStringLiteral("icon-m-content-sms-inverse")
                                       : QStringLiteral("icon-s-sms");
}

bool StaticSMSAccount::statusUpdate() const { return false; }
bool StaticSMSAccount::accountEnabled() const { return true; }
QString StaticSMSAccount::statusMessage() const { return QStringLiteral(""); }
AvailabilityItem *StaticSMSAccount::currentStatus() const { return nullptr; }
QList<AvailabilityItem *> StaticSMSAccount::availabilities() const { return {}; }
bool StaticSMSAccount::statusChangeInProgress() const { return false; }
bool StaticSMSAccount::statusChangeError() const { return false; }
QString StaticSMSAccount::errorMessage() const { return QStringLiteral(""); }
int StaticSMSAccount::accountId() const { return 0; }
void StaticSMSAccount::setStatusUpdate(bool) {}
void StaticSMSAccount::setAccountEnabled(bool) {}
void StaticSMSAccount::setStatusMessage(const QString &) {}
void StaticSMSAccount::setCurrentStatus(AvailabilityItem *) {}
