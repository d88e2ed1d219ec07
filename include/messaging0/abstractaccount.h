#ifndef MESSAGING0_ABSTRACTACCOUNT_H
#define MESSAGING0_ABSTRACTACCOUNT_H

#include "availabilityitem.h"
#include "messaging0global.h"
#include "serviceicontype.h"

#include <QList>
#include <QObject>
#include <QString>

class AbstractAccountPrivate;

// One messaging account as the user interface shows it: names, service,
// icons, presence, status message and enabled state, as change-notified
// properties. The account model lists these objects as rows.
//
// Writes are requests: the property changes when the account reports the
// new state, through the NOTIFY signal.
class MESSAGING0_EXPORT AbstractAccount : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(AbstractAccount)

    Q_PROPERTY(QString accountName READ accountName NOTIFY accountNameChanged)
    Q_PROPERTY(QString sortString READ sortString NOTIFY sortStringChanged)
    Q_PROPERTY(QString serviceName READ serviceName NOTIFY serviceNameChanged)
    Q_PROPERTY(bool statusUpdate READ statusUpdate WRITE setStatusUpdate NOTIFY statusUpdateChanged)
    Q_PROPERTY(bool accountEnabled READ accountEnabled WRITE setAccountEnabled NOTIFY accountEnabledChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage WRITE setStatusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(AvailabilityItem *currentStatus READ currentStatus WRITE setCurrentStatus NOTIFY currentStatusChanged)
    Q_PROPERTY(QList<AvailabilityItem *> availabilities READ availabilities)
    Q_PROPERTY(bool statusChangeInProgress READ statusChangeInProgress NOTIFY statusProgressChanged)
    Q_PROPERTY(QString objectPath READ objectPath)
    Q_PROPERTY(bool statusChangeError READ statusChangeError NOTIFY statusErrorChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    // The account is deleted with its parent (the account model).
    explicit AbstractAccount(QObject *parent);
    ~AbstractAccount() override;

Q_SIGNALS:
    void accountNameChanged();
    void sortStringChanged();
    void serviceNameChanged();
    void statusUpdateChanged();
    void accountEnabledChanged();
    void statusMessageChanged();
    void currentStatusChanged();
    void statusProgressChanged();
    void statusErrorChanged();
    void errorMessageChanged();

public Q_SLOTS:
    virtual QString accountName() const = 0;
    virtual QString sortString() const = 0;
    // D-Bus object path of the Telepathy account.
    virtual QString objectPath() const = 0;
    virtual QString serviceName() const = 0;
    // Icon name.
    virtual QString serviceIcon(serviceIconType type) const = 0;
    virtual bool statusUpdate() const = 0;
    virtual bool accountEnabled() const = 0;
    virtual QString statusMessage() const = 0;
    // Owned by the account; may be null.
    virtual AvailabilityItem *currentStatus() const = 0;
    // The items stay owned by the account.
    virtual QList<AvailabilityItem *> availabilities() const = 0;
    virtual bool statusChangeInProgress() const = 0;
    virtual bool statusChangeError() const = 0;
    virtual QString errorMessage() const = 0;
    // Single-sign-on account id.
    virtual int accountId() const = 0;
    virtual void setStatusUpdate(bool statusUpdate) = 0;
    virtual void setAccountEnabled(bool enabled) = 0;
    virtual void setStatusMessage(const QString &message) = 0;
    // Does not take ownership of item.
    virtual void setCurrentStatus(AvailabilityItem *item) = 0;

protected:
    AbstractAccount(AbstractAccountPrivate &dd, QObject *parent);
    AbstractAccountPrivate *const d_ptr;

private:
    Q_DISABLE_COPY(AbstractAccount)
};

#endif // MESSAGING0_ABSTRACTACCOUNT_H
