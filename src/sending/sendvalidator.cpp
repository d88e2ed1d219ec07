// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sendvalidator.h"
#include "sendvalidator_p.h"

#include "accountpaths.h"
#include "bannerservice.h"
#include "dialogservice.h"
#include "librarycatalogue.h"
#include "networkstatusmanager.h"
#include "notification.h"
#include "notificationeventtypes.h"
#include "notificationservice.h"
#include "platformservices.h"
#include "presenceuiservice.h"

#include "messaginglogging.h"

#include <QDebug>

namespace {

struct DialogTexts
{
    const char *title;
    const char *text;
};

DialogTexts textsOf(SendValidator::Dialog dialog)
{
    switch (dialog) {
    case SendValidator::ExitOfflineModeDialog:
        return {"lxr_offl_exiting_title", "lxr_offl_exiting"};
    case SendValidator::SwitchNetworkOnDialog:
        return {nullptr, "lxr_msg_switch_phone_network_on"};
    case SendValidator::AccountOfflineDialog:
        return {"lxr_msg_you_are_offline", "lxr_msg_error_send_im_offline"};
    default:
        return {nullptr, nullptr};
    }
}

} // namespace

SendValidatorPrivate::SendValidatorPrivate(SendValidator *q, const QString &accountPath,
                                           bool cellular, bool askUser)
    : accountPath(accountPath)
    , cellular(cellular)
    , askUser(askUser)
    , q_ptr(q)
{
}

SendValidatorPrivate::~SendValidatorPrivate()
{
    // The question stays on screen; its answer no longer reaches us (the
    // connection dies with this object), and it cleans up after itself.
    if (dialog) {
        disconnect(dialog, nullptr, this, nullptr);
        connect(dialog, &DialogService::disappeared, dialog, &QObject::deleteLater);
    }
}

NetworkStatusManager *SendValidatorPrivate::manager() const
{
    return NetworkStatusManager::instance();
}

void SendValidatorPrivate::stopListeningToRadio()
{
    disconnect(manager(), &NetworkStatusManager::cellularOnline,
               this, &SendValidatorPrivate::slotOnCellularOnline);
}

void SendValidatorPrivate::fail(int code)
{
    Q_Q(SendValidator);
    stopListeningToRadio();
    qCDebug(lcSending) << "validation failed with" << code << (cellular ? "(cellular)" : qPrintable(accountPath));
    Q_EMIT q->validationFailed(code);
}

void SendValidatorPrivate::complete()
{
    Q_Q(SendValidator);
    qCDebug(lcSending) << "validation completed" << (cellular ? "(cellular)" : qPrintable(accountPath));
    Q_EMIT q->validationCompleted();
}

QString SendValidatorPrivate::cellularAccountPath() const
{
    // A cellular check names the SMS account unless it was given the MMS one.
    const QString path = AccountPaths::withPrefix(accountPath);
    return path == AccountPaths::Mms ? path : AccountPaths::Cellular;
}

void SendValidatorPrivate::validateCellular()
{
    NetworkStatusManager *m = manager();
    connect(m, &NetworkStatusManager::cellularOnline, this, &SendValidatorPrivate::slotOnCellularOnline);
    connect(m, &NetworkStatusManager::simStatusChanged, this, &SendValidatorPrivate::slotOnSimStatusChanged);
    if (m->sendReadiness(cellularAccountPath()) == NetworkStatusManager::SendSimUnknown) {
        // The first SIM report continues the check. The platform's first
        // radio report may come before it: it is read then, not taken as
        // an answer (it would pass a check that has seen no SIM yet).
        waitingForSim = true;
        return;
    }
    slotOnSimStatusChanged(m->simStatus());
}

void SendValidatorPrivate::validateAccount()
{
    Q_Q(SendValidator);
    switch (manager()->sendReadiness(accountPath)) {
    case NetworkStatusManager::SendAccountOffline:
        q->showDialog(SendValidator::AccountOfflineDialog);
        fail(SendValidator::AccountOffline);
        break;
    case NetworkStatusManager::SendAccountConnecting:
        if (flightModeExitAccepted) {
            flightModeExitAccepted = false;
            complete();
        } else {
            fail(SendValidator::AccountConnecting);
        }
        break;
    case NetworkStatusManager::SendAccountDisabled:
        showDisabledAccountBanner();
        fail(SendValidator::AccountDisabled);
        break;
    default:
        complete();
        break;
    }
}

void SendValidatorPrivate::showDisabledAccountBanner()
{
    // Deletes itself once shown.
    BannerService *banner = PlatformServices::createBanner();
    banner->setStyleName(QStringLiteral("InformationBanner"));
    banner->setTitle(LibraryCatalogue::trId("lxr_comm_share_disabled_account"));
    banner->appear(true);
}

void SendValidatorPrivate::publishNoSimNotification()
{
    const QString text = LibraryCatalogue::trId("lxr_msg_no_sim_card");
    const QString eventType = QString::fromLatin1(NotificationEventTypes::MessagingError);
    NotificationService *service = PlatformServices::notificationService();
    // One "No SIM card" at a time: withdraw the earlier copies first.
    const QList<Notification> shown = service->notifications(eventType);
    for (const Notification &earlier : shown) {
        if (earlier.body() == text)
            service->remove(earlier.id());
    }
    Notification notification(eventType, QString(), QString());
    notification.setImage(QString());
    notification.setBody(text);
    notification.publish();
}

void SendValidatorPrivate::slotOnSimStatusChanged(SimStatusMonitor::SimStatus status)
{
    Q_UNUSED(status) // the manager has stored it: sendReadiness() reads it
    Q_Q(SendValidator);
    NetworkStatusManager *m = manager();
    disconnect(m, &NetworkStatusManager::simStatusChanged, this, &SendValidatorPrivate::slotOnSimStatusChanged);
    waitingForSim = false;

    switch (m->sendReadiness(cellularAccountPath())) {
    case NetworkStatusManager::SendNoSimCard:
        publishNoSimNotification();
        fail(SendValidator::NoSimCard);
        break;
    case NetworkStatusManager::SendFlightMode:
        if (askUser)
            q->showDialog(SendValidator::ExitOfflineModeDialog);
        else
            m->setDeviceNormalMode(true); // the radio's report brings the result
        break;
    case NetworkStatusManager::SendRadioOff:
        if (askUser)
            q->showDialog(SendValidator::SwitchNetworkOnDialog);
        else
            m->setCellularOnline(true); // slotOnCellularOnline brings the result
        break;
    case NetworkStatusManager::SendAccountDisabled:
        showDisabledAccountBanner();
        fail(SendValidator::AccountDisabled);
        break;
    case NetworkStatusManager::SendAccountOffline:
        q->showDialog(SendValidator::AccountOfflineDialog);
        fail(SendValidator::AccountOffline);
        break;
    default:
        stopListeningToRadio();
        complete();
        break;
    }
}

void SendValidatorPrivate::slotOnCellularOnline(bool value)
{
    if (waitingForSim)
        return;
    if (value) {
        stopListeningToRadio();
        complete();
    } else {
        fail(SendValidator::RadioOff);
    }
}

void SendValidatorPrivate::slotOnDialogDisappeared()
{
    if (!dialog) {
        qCCritical(lcSending) << "void SendValidatorPrivate::slotOnDialogDisappeared()"
                    << "What just happened? Dialog is null?!?";
        // The question can no longer be answered: without this the caller
        // would wait for a result forever.
        currentDialog = SendValidator::NoDialog;
        fail(SendValidator::UserDeclined);
        return;
    }
    if (dialog->result() == DialogService::Accepted) {
        switch (currentDialog) {
        case SendValidator::SwitchNetworkOnDialog:
            manager()->setCellularOnline(true);
            break;
        case SendValidator::AccountOfflineDialog:
            PlatformServices::presenceUiService()->showPresenceUi();
            break;
        case SendValidator::ExitOfflineModeDialog:
            connect(manager(), &NetworkStatusManager::deviceModeChanged, this,
                    &SendValidatorPrivate::slotOnDeviceModeChanged, Qt::UniqueConnection);
            manager()->setDeviceNormalMode(true);
            flightModeExitAccepted = true;
            break;
        default:
            break;
        }
    } else {
        fail(SendValidator::UserDeclined);
    }
    currentDialog = SendValidator::NoDialog;
    disconnect(dialog, nullptr, this, nullptr);
    dialog->deleteLater();
    dialog.clear();
}

void SendValidatorPrivate::slotOnDeviceModeChanged(bool normalMode)
{
    Q_Q(SendValidator);
    if (!normalMode)
        return;
    disconnect(manager(), &NetworkStatusManager::deviceModeChanged,
               this, &SendValidatorPrivate::slotOnDeviceModeChanged);
    if (cellular)
        return; // the radio's report through slotOnCellularOnline brings the result
    q->validate();
}

SendValidator::SendValidator(const QString &accountPath, bool cellular, bool askUser, QObject *parent)
    : QObject(parent)
    , d_ptr(new SendValidatorPrivate(this, accountPath, cellular, askUser))
{
}

SendValidator::SendValidator(const QString &accountPath, bool cellular, QObject *parent)
    : SendValidator(accountPath, cellular, true, parent)
{
}

SendValidator::~SendValidator()
{
    delete d_ptr;
}

void SendValidator::validate()
{
    Q_D(SendValidator);
    if (d->cellular)
        d->validateCellular();
    else
        d->validateAccount();
}

QString SendValidator::failureText(int code)
{
    switch (code) {
    case AccountOffline: return LibraryCatalogue::trId("lxr_msg_error_account_offline");
    case AccountConnecting: return LibraryCatalogue::trId("lxr_msg_error_account_connecting");
    case NoSimCard: return LibraryCatalogue::trId("lxr_msg_error_no_sim_card");
    case UserDeclined: return LibraryCatalogue::trId("lxr_msg_error_user_declined");
    case RadioOff: return LibraryCatalogue::trId("lxr_msg_error_phone_network_off");
    case AccountDisabled: return LibraryCatalogue::trId("lxr_msg_error_account_disabled");
    default: return LibraryCatalogue::trId("lxr_msg_error_cannot_send");
    }
}

void SendValidator::showDialog(SendValidator::Dialog dialog)
{
    Q_D(SendValidator);
    d->currentDialog = dialog;
    const DialogTexts texts = textsOf(dialog);
    const QString text = texts.text ? LibraryCatalogue::trId(texts.text) : QString();
    if (text.isEmpty())
        return;
    if (d->dialog) {
        // A newer question replaces it; the old one cleans up after itself.
        disconnect(d->dialog, nullptr, d, nullptr);
        connect(d->dialog, &DialogService::disappeared, d->dialog, &QObject::deleteLater);
    }
    // Ours until answered (deleted in slotOnDialogDisappeared).
    DialogService *box = PlatformServices::createDialog(text, DialogService::YesNoButtons);
    d->dialog = box;
    if (texts.title)
        box->setTitle(LibraryCatalogue::trId(texts.title));
    box->setModal(true);
    connect(box, &DialogService::disappeared, d, &SendValidatorPrivate::slotOnDialogDisappeared);
    // Destroyed unanswered by someone else: the answer will never come.
    connect(box, &QObject::destroyed, d, [d] {
        if (d->currentDialog != SendValidator::NoDialog && !d->dialog)
            d->slotOnDialogDisappeared();
    });
    box->appear();
}
