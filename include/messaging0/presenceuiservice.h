// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PRESENCEUISERVICE_H
#define MESSAGING0_PRESENCEUISERVICE_H

#include "messaging0global.h"

#include <QObject>
#include <QString>

class PresenceUiServicePrivate;

//! Opens the platform's presence user interface, where the user changes
//! availability (for example to come online before sending).
//!
//! The default implementation calls ShowPresenceUi() on the session bus:
//! service "com.tavik.PresenceUi" (or the service name given), object
//! "/com/tavik/PresenceUi", interface "com.tavik.PresenceUi". The call is not
//! waited for; a missing service is logged, nothing else. Replace it through
//! PlatformServices::setPresenceUiService().
class MESSAGING0_EXPORT PresenceUiService : public QObject
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(PresenceUiService)

public:
    //! "com.tavik.PresenceUi".
    static const char DefaultServiceName[];

    //! An empty name means DefaultServiceName.
    explicit PresenceUiService(const QString &serviceName = QString(), QObject *parent = nullptr);
    ~PresenceUiService() override;

    //! The D-Bus service called.
    QString serviceName() const;
    //! Asks the presence user interface to show itself; presenceUiCallFinished() follows.
    virtual void showPresenceUi();

Q_SIGNALS:
    //! The service answered the call; ok is false when it failed or was missing.
    void presenceUiCallFinished(bool ok);

protected:
    PresenceUiServicePrivate *const d_ptr;

private:
    Q_DISABLE_COPY(PresenceUiService)
};

#endif // MESSAGING0_PRESENCEUISERVICE_H
