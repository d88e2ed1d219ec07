// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PLATFORMSERVICES_H
#define MESSAGING0_PLATFORMSERVICES_H

#include "messaging0global.h"

#include <QString>

#include <functional>

class BannerService;
class CellularPowerControl;
class DeviceModeMonitor;
class DialogService;
class LocaleService;
class NotificationService;
class PresenceUiService;
class SimStatusMonitor;

//! The one place where the embedding application replaces a platform
//! service the library uses, for example with one built on the device's own
//! UI toolkit:
//!
//!     PlatformServices::setNotificationService(new MyNotifications(app));
//!
//! The library does not take ownership of a service set here. When it is
//! destroyed, or nullptr is set, the default implementation comes back
//! (created on first use and parented to the application object).
//!
//! Objects the library creates many of, or owns itself (dialogs, banners,
//! the device monitors of NetworkStatusManager), are replaced by a factory:
//!
//!     PlatformServices::setDialogFactory([](const QString &text, int buttons) {
//!         return new MyDialog(text, buttons);
//!     });
//!
//! The factory's object belongs to the library (who asked for it deletes it);
//! an empty factory brings the default back. A factory that returns nullptr
//! also gets the default.
class MESSAGING0_EXPORT PlatformServices
{
public:
    //! The notification service in use: the one set, else the default.
    static NotificationService *notificationService();
    //! Uses service from now on (not owned); nullptr brings the default back.
    static void setNotificationService(NotificationService *service);

    //! The locale service in use: the one set, else the default.
    static LocaleService *localeService();
    //! Uses service from now on (not owned); nullptr brings the default back.
    static void setLocaleService(LocaleService *service);

    //! The presence user interface service in use: the one set, else the default.
    static PresenceUiService *presenceUiService();
    //! Uses service from now on (not owned); nullptr brings the default back.
    static void setPresenceUiService(PresenceUiService *service);

    //! Makes a question with the text and the standard-button set.
    using DialogFactory = std::function<DialogService *(const QString &text, int buttons)>;
    //! A new question from the factory set, else the default kind; the caller owns it.
    static DialogService *createDialog(const QString &text, int buttons);
    //! Makes questions with factory from now on; an empty one brings the default back.
    static void setDialogFactory(const DialogFactory &factory);

    //! Makes a banner.
    using BannerFactory = std::function<BannerService *()>;
    //! A new banner from the factory set, else the default kind; the caller owns it.
    static BannerService *createBanner();
    //! Makes banners with factory from now on; an empty one brings the default back.
    static void setBannerFactory(const BannerFactory &factory);

    //! Makes a flight-mode monitor.
    using DeviceModeMonitorFactory = std::function<DeviceModeMonitor *()>;
    //! A new flight-mode monitor from the factory set, else the default (ConnMan); the caller owns it.
    static DeviceModeMonitor *createDeviceModeMonitor();
    //! Makes flight-mode monitors with factory from now on; an empty one brings the default back.
    static void setDeviceModeMonitorFactory(const DeviceModeMonitorFactory &factory);

    //! Makes a radio control.
    using CellularPowerControlFactory = std::function<CellularPowerControl *()>;
    //! A new radio control from the factory set, else the default (oFono); the caller owns it.
    static CellularPowerControl *createCellularPowerControl();
    //! Makes radio controls with factory from now on; an empty one brings the default back.
    static void setCellularPowerControlFactory(const CellularPowerControlFactory &factory);

    //! Makes a SIM monitor.
    using SimStatusMonitorFactory = std::function<SimStatusMonitor *()>;
    //! A new SIM monitor from the factory set, else the default (oFono); the caller owns it.
    static SimStatusMonitor *createSimStatusMonitor();
    //! Makes SIM monitors with factory from now on; an empty one brings the default back.
    static void setSimStatusMonitorFactory(const SimStatusMonitorFactory &factory);

private:
    PlatformServices() = delete;
};

#endif // MESSAGING0_PLATFORMSERVICES_H
