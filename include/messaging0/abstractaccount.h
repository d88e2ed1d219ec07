// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ABSTRACTACCOUNT_H
#define MESSAGING0_ABSTRACTACCOUNT_H

#include "availabilityitem.h"
#include "messaging0global.h"
#include "serviceicontype.h"

#include <QList>
#include <QObject>
#include <QString>

class AbstractAccountPrivate;

//! One messaging account as the user interface shows it: names, service,
//! icons, presence, status message and enabled state, as change-notified
//! properties. The account model lists these objects as rows.
//!
//! Writes are requests: the property changes when the account reports the
//! new state, through the NOTIFY signal.
class MESSAGING0_EXPORT AbstractAccount : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AbstractAccount)

    //! The name the account is shown under.
    Q_PROPERTY(QString accountName READ accountName NOTIFY accountNameChanged)
    //! The text the account list sorts by (AccountSortModel).
    Q_PROPERTY(QString sortString READ sortString NOTIFY sortStringChanged)
    //! The name of the account's service, such as its instant-messaging network.
    Q_PROPERTY(QString serviceName READ serviceName NOTIFY serviceNameChanged)
    //! A flag kept for the user interface (whether it shows the account's status updates); the library only stores it.
    Q_PROPERTY(bool statusUpdate READ statusUpdate WRITE setStatusUpdate NOTIFY statusUpdateChanged)
    //! Whether the account is enabled; writing asks Telepathy to enable or disable it.
    Q_PROPERTY(bool accountEnabled READ accountEnabled WRITE setAccountEnabled NOTIFY accountEnabledChanged)
    //! The status message published with the presence.
    Q_PROPERTY(QString statusMessage READ statusMessage WRITE setStatusMessage NOTIFY statusMessageChanged)
    //! The current presence; writing requests another one (see statusChangeInProgress).
    Q_PROPERTY(AvailabilityItem *currentStatus READ currentStatus WRITE setCurrentStatus NOTIFY currentStatusChanged)
    //! The presences the user can choose.
    Q_PROPERTY(QList<AvailabilityItem *> availabilities READ availabilities)
    //! A requested presence change has not been reported back yet.
    Q_PROPERTY(bool statusChangeInProgress READ statusChangeInProgress NOTIFY statusProgressChanged)
    //! The D-Bus object path of the Telepathy account.
    Q_PROPERTY(QString objectPath READ objectPath)
    //! The last presence change failed; errorMessage says why.
    Q_PROPERTY(bool statusChangeError READ statusChangeError NOTIFY statusErrorChanged)
    //! Why the last presence change failed; empty otherwise.
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    //! The account is deleted with its parent (the account model).
    explicit AbstractAccount(QObject *parent);
    ~AbstractAccount() override;

Q_SIGNALS:
    //! The accountName property changed.
    void accountNameChanged();
    //! The sortString property changed.
    void sortStringChanged();
    //! The serviceName property changed.
    void serviceNameChanged();
    //! The statusUpdate property changed.
    void statusUpdateChanged();
    //! The accountEnabled property changed.
    void accountEnabledChanged();
    //! The statusMessage property changed.
    void statusMessageChanged();
    //! The currentStatus property changed.
    void currentStatusChanged();
    //! The statusChangeInProgress property changed.
    void statusProgressChanged();
    //! The statusChangeError property changed.
    void statusErrorChanged();
    //! The errorMessage property changed.
    void errorMessageChanged();

public Q_SLOTS:
    //! The name the account is shown under.
    virtual QString accountName() const = 0;
    //! The text the account list sorts by.
    virtual QString sortString() const = 0;
    //! D-Bus object path of the Telepathy account.
    virtual QString objectPath() const = 0;
    //! The name of the account's service.
    virtual QString serviceName() const = 0;
    //! Icon name.
    virtual QString serviceIcon(serviceIconType type) const = 0;
    //! The flag kept for the user interface, see the statusUpdate property.
    virtual bool statusUpdate() const = 0;
    //! Whether the account is enabled.
    virtual bool accountEnabled() const = 0;
    //! The status message published with the presence.
    virtual QString statusMessage() const = 0;
    //! Owned by the account; may be null.
    virtual AvailabilityItem *currentStatus() const = 0;
    //! The items stay owned by the account.
    virtual QList<AvailabilityItem *> availabilities() const = 0;
    //! A requested presence change has not been reported back yet.
    virtual bool statusChangeInProgress() const = 0;
    //! The last presence change failed.
    virtual bool statusChangeError() const = 0;
    //! Why the last presence change failed; empty otherwise.
    virtual QString errorMessage() const = 0;
    //! Single-sign-on account id.
    virtual int accountId() const = 0;
    //! Sets the flag kept for the user interface.
    virtual void setStatusUpdate(bool statusUpdate) = 0;
    //! Asks Telepathy to enable or disable the account; accountEnabledChanged() follows the change.
    virtual void setAccountEnabled(bool enabled) = 0;
    //! Publishes a status message with the current presence and keeps it for the account.
    virtual void setStatusMessage(const QString &message) = 0;
    //! Does not take ownership of item.
    virtual void setCurrentStatus(AvailabilityItem *item) = 0;

protected:
    //! For subclasses inside the library: they pass their own private object.
    AbstractAccount(AbstractAccountPrivate &dd, QObject *parent);
    AbstractAccountPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(AbstractAccount)
};

#endif // MESSAGING0_ABSTRACTACCOUNT_H
