#ifndef MESSAGING0_PLATFORMSERVICES_H
#define MESSAGING0_PLATFORMSERVICES_H

#include "messaging0global.h"

class LocaleService;
class NotificationService;

// The one place where the embedding application replaces a platform
// service the library uses, for example with one built on the device's own
// UI toolkit:
//
//     PlatformServices::setNotificationService(new MyNotifications(app));
//
// The library does not take ownership of a service set here. When it is
// destroyed, or nullptr is set, the default implementation comes back
// (created on first use and parented to the application object).
class MESSAGING0_EXPORT PlatformServices
{
public:
    static NotificationService *notificationService();
    static void setNotificationService(NotificationService *service);

    static LocaleService *localeService();
    static void setLocaleService(LocaleService *service);

private:
    PlatformServices() = delete;
};

#endif // MESSAGING0_PLATFORMSERVICES_H
