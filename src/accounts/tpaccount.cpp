// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "tpaccount.h"
#include "tpaccount_p.h"

#include "accountservicemapper.h"
#include "individualstatusmessagestore.h"
#include "messaginglogging.h"

#include <TelepathyQt/PendingOperation>
#include <TelepathyQt/Types>

#include <QDomDocument>

namespace {
// Presence types a client may ask for: unset, unknown and error describe a
// state and are refused by Mission Control.
bool isRequestable(int type)
{
    return type >= int(Tp::ConnectionPresenceTypeOffline) && type <= int(Tp::ConnectionPresenceTypeBusy);
}

void registerPresenceTypes()
{
    static const bool registered = [] {
        // Tp::SimplePresence with its D-Bus marshalling, among others.
        Tp::registerTypes();
        return true;
    }();
    Q_UNUSED(registered)
}
} // namespace

TpAccountPrivate::TpAccountPrivate(const Tp::AccountPtr &account)
    : account(account)
    , currentStatus(new AvailabilityItem)
{
}

TpAccountPrivate::~TpAccountPrivate()
{
    qDeleteAll(availabilities);
    delete currentStatus;
}

QString TpAccountPrivate::uid() const
{
    return account ? account->uniqueIdentifier() : QString();
}

QString TpAccountPrivate::storedMessage() const
{
    return IndividualStatusMessageStore::instance()->statusMessage(uid());
}

void TpAccountPrivate::requestPresence(const Tp::Presence &presence)
{
    Q_Q(TpAccount);
    const int serial = ++requestSerial;
    // The automatic presence first, the requested one once it is stored:
    // by the time the new presence shows, neither call is still on the bus
    // (a program may quit on that). Requests keep their order, as Mission
    // Control answers calls in turn. An automatic presence it refuses (it
    // takes no "offline") changes nothing for the request.
    const Tp::AccountPtr target = account;
    QObject::connect(account->setAutomaticPresence(presence), &Tp::PendingOperation::finished, q,
                     [this, q, serial, target, presence] {
        Tp::PendingOperation *operation = target->setRequestedPresence(presence);
        QObject::connect(operation, &Tp::PendingOperation::finished, q, [this, serial](Tp::PendingOperation *op) {
            if (!op->isError())
                return;
            qCWarning(lcAccounts) << "presence request refused for" << objectPath << op->errorName()
                                  << op->errorMessage();
            // An older request failing says nothing about the latest one.
            if (serial == requestSerial)
                setInProgress(false);
        });
    });
}

void TpAccountPrivate::setInProgress(bool value)
{
    Q_Q(TpAccount);
    if (inProgress == value)
        return;
    inProgress = value;
    Q_EMIT q->statusProgressChanged();
}

TpAccount::TpAccount(Tp::AccountPtr account, QObject *parent)
    : AbstractAccount(*new TpAccountPrivate(account), parent)
{
    Q_D(TpAccount);
    if (account) {
        Tp::Account *a = account.data();
        connect(a, &Tp::Account::nicknameChanged, this, &AbstractAccount::accountNameChanged);
        connect(a, &Tp::Account::displayNameChanged, this, &AbstractAccount::accountNameChanged);
        connect(a, &Tp::Account::normalizedNameChanged, this, &AbstractAccount::accountNameChanged);
        connect(a, &Tp::Account::currentPresenceChanged, this, &TpAccount::newMessageThroughPresence);
        connect(a, &Tp::Account::stateChanged, this, &TpAccount::handleValidityChanged);
        d->objectPath = account->objectPath();
        // An account that is online already shows its presence at once.
        const Tp::Presence current = account->currentPresence();
        d->currentStatus->type = current.type();
        d->currentStatus->status = current.status().isNull() ? QStringLiteral("") : current.status();
        d->lastPresenceMessage = current.statusMessage();
    }
    registerPresenceTypes();
}

TpAccount::~TpAccount() = default;

QString TpAccount::accountName() const
{
    Q_D(const TpAccount);
    if (!d->account)
        return QString();
    if (!d->account->displayName().isEmpty())
        return d->account->displayName();
    if (!d->account->nickname().isEmpty())
        return d->account->nickname();
    return d->account->normalizedName();
}

QString TpAccount::sortString() const
{
    return QStringLiteral("1%1%2").arg(serviceName()).arg(accountName()).toLower();
}

QString TpAccount::objectPath() const
{
    Q_D(const TpAccount);
    return d->account ? d->account->objectPath() : d->objectPath;
}

QString TpAccount::serviceName() const
{
    return AccountServiceMapper::instance()->ssoServiceNameForTpAccount(objectPath());
}

QString TpAccount::serviceIcon(serviceIconType type) const
{
    return AccountServiceMapper::instance()->ssoServiceIconIdForTpAccount(objectPath(), type);
}

bool TpAccount::statusUpdate() const
{
    Q_D(const TpAccount);
    return d->statusUpdate;
}

bool TpAccount::accountEnabled() const
{
    Q_D(const TpAccount);
    return d->account ? d->account->isEnabled() : true;
}

QString TpAccount::statusMessage() const
{
    Q_D(const TpAccount);
    if (!d->account)
        return QString();
    const QString current = d->account->currentPresence().statusMessage();
    return current.isEmpty() ? d->storedMessage() : current;
}

AvailabilityItem *TpAccount::currentStatus() const
{
    Q_D(const TpAccount);
    return d->currentStatus;
}

QList<AvailabilityItem *> TpAccount::availabilities() const
{
    Q_D(const TpAccount);
    return d->availabilities;
}

bool TpAccount::statusChangeInProgress() const
{
    Q_D(const TpAccount);
    return d->inProgress;
}

bool TpAccount::statusChangeError() const
{
    return false;
}

QString TpAccount::errorMessage() const
{
    return QStringLiteral("I'm a possible ErrorMessage");
}

int TpAccount::accountId() const
{
    return int(AccountServiceMapper::instance()->ssoAccountIDForTpAccount(objectPath()));
}

void TpAccount::setStatusUpdate(bool statusUpdate)
{
    Q_D(TpAccount);
    if (d->statusUpdate == statusUpdate)
        return;
    d->statusUpdate = statusUpdate;
    Q_EMIT statusUpdateChanged();
}

void TpAccount::setAccountEnabled(bool enabled)
{
    Q_D(TpAccount);
    if (!d->account || d->account->isEnabled() == enabled)
        return;
    connect(d->account->setEnabled(enabled), &Tp::PendingOperation::finished, this, &TpAccount::handleStateChanged);
}

void TpAccount::setStatusMessage(const QString &message)
{
    Q_D(TpAccount);
    if (!d->account)
        return;
    const Tp::Presence current = d->account->currentPresence();
    if (message == current.statusMessage())
        return;
    Tp::Presence presence = (current.type() == Tp::ConnectionPresenceTypeUnset
                             || current.type() == Tp::ConnectionPresenceTypeError)
        ? d->account->requestedPresence()
        : current;
    presence.setStatus(presence.type(), presence.status(), message);
    IndividualStatusMessageStore::instance()->setStatusMessage(d->uid(), message);
    // Without a presence to keep (nothing requested yet) the message waits
    // in the store for the next presence request.
    if (!isRequestable(presence.type())) {
        qCDebug(lcAccounts) << "no presence to carry the message for" << d->objectPath;
        return;
    }
    d->requestPresence(presence);
}

void TpAccount::setCurrentStatus(AvailabilityItem *item)
{
    Q_D(TpAccount);
    if (!d->account || !item)
        return;
    if (!isRequestable(item->type)) {
        qCDebug(lcAccounts) << "presence type" << item->type << "cannot be requested for" << d->objectPath;
        return;
    }
    const Tp::Presence presence(Tp::ConnectionPresenceType(item->type), item->status, d->storedMessage());
    const int requested = d->account->requestedPresence().type();
    const int current = d->account->currentPresence().type();

    if (!d->inProgress) {
        if (item->type != current) {
            d->requestPresence(presence);
            d->setInProgress(true);
        }
        return;
    }
    if (item->type == requested)
        return;
    d->requestPresence(presence);
    if (item->type == current)
        d->setInProgress(false);
}

void TpAccount::initAvailabilitiesList(const QDomDocument &document)
{
    Q_D(TpAccount);
    Q_UNUSED(document)
    qDeleteAll(d->availabilities);
    d->availabilities = {new AvailabilityItem(Tp::ConnectionPresenceTypeOffline, QStringLiteral("offline")),
                         new AvailabilityItem(Tp::ConnectionPresenceTypeAvailable, QStringLiteral("available")),
                         new AvailabilityItem(Tp::ConnectionPresenceTypeAway, QStringLiteral("away"))};
}

void TpAccount::gatherServiceSpecificData()
{
}

void TpAccount::changeSortName()
{
}

void TpAccount::newMessageThroughPresence(const Tp::Presence &newPresence)
{
    Q_D(TpAccount);
    const QString message = newPresence.statusMessage();
    // The message the user set has arrived, or another client changed it.
    if (message == d->storedMessage() || message != d->lastPresenceMessage)
        Q_EMIT statusMessageChanged();
    d->lastPresenceMessage = message;

    if (int(newPresence.type()) == d->currentStatus->type && newPresence.status() == d->currentStatus->status)
        return;
    d->currentStatus->type = newPresence.type();
    d->currentStatus->status = newPresence.status();
    Q_EMIT currentStatusChanged();
    // Unconditionally, as a change of presence always ends a change in
    // progress.
    d->inProgress = false;
    Q_EMIT statusProgressChanged();
}

void TpAccount::handleValidityChanged(bool state)
{
    Q_UNUSED(state)
    Q_EMIT accountEnabledChanged();
}

void TpAccount::handleStateChanged(Tp::PendingOperation *op)
{
    Q_D(TpAccount);
    if (op && op->isError())
        qCWarning(lcAccounts) << "enabling or disabling" << d->objectPath << "failed:" << op->errorName()
                              << op->errorMessage();
}

void TpAccount::handleAccountNameChanged()
{
    Q_EMIT accountNameChanged();
}
