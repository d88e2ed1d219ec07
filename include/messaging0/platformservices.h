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

// The one place where the embedding application replaces a platform
// service the library uses, for example with one built on the device's own
// UI toolkit:
//
//     PlatformServices::setNotificationService(new MyNotifications(app));
//
// The library does not take ownership of a service set here. When it is
// destroyed, or nullptr is set, the default implementation comes back
// (created on first use and parented to the application object).
//
// Objects the library creates many of, or owns itself (dialogs, banners,
// the device monitors of NetworkStatusManager), are replaced by a factory:
//
//     PlatformServices::setDialogFactory([](const QString &text, int buttons) {
//         return new MyDialog(text, buttons);
//     });
//
// The factory's object belongs to the library (who asked for it deletes it);
// an empty factory brings the default back. A factory that returns nullptr
// also gets the default.
class MESSAGING0_EXPORT PlatformServices
{
public:
    static NotificationService *notificationService();
    static void setNotificationService(NotificationService *service);

    static LocaleService *localeService();
    static void setLocaleService(LocaleService *service);

    static PresenceUiService *presenceUiService();
    static void setPresenceUiService(PresenceUiService *service);

    using DialogFactory = std::function<DialogService *(const QString &text, int buttons)>;
    static DialogService *createDialog(const QString &text, int buttons);
    static void setDialogFactory(const DialogFactory &factory);

    using BannerFactory = std::function<BannerService *()>;
    static BannerService *createBanner();
    static void setBannerFactory(const BannerFactory &factory);

    using DeviceModeMonitorFactory = std::function<DeviceModeMonitor *()>;
    static DeviceModeMonitor *createDeviceModeMonitor();
    static void setDeviceModeMonitorFactory(const DeviceModeMonitorFactory &factory);

    using CellularPowerControlFactory = std::function<CellularPowerControl *()>;
    static CellularPowerControl *createCellularPowerControl();
    static void setCellularPowerControlFactory(const CellularPowerControlFactory &factory);

    using SimStatusMonitorFactory = std::function<SimStatusMonitor *()>;
    static SimStatusMonitor *createSimStatusMonitor();
    static void setSimStatusMonitorFactory(const SimStatusMonitorFactory &factory);

private:
    PlatformServices() = delete;
};

#endif // MESSAGING0_PLATFORMSERVICES_H
