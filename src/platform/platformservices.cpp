#include "platformservices.h"

#include "localeservice.h"
#include "notificationservice.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

// A service the application registered wins over the default; either is
// dropped from here when it is destroyed.
template<typename Service>
struct Slot
{
    QPointer<Service> registered;
    QPointer<Service> fallback;

    Service *get()
    {
        if (registered)
            return registered;
        if (!fallback)
            fallback = new Service(QCoreApplication::instance());
        return fallback;
    }
};

Slot<NotificationService> &notificationSlot()
{
    static Slot<NotificationService> slot;
    return slot;
}

Slot<LocaleService> &localeSlot()
{
    static Slot<LocaleService> slot;
    return slot;
}

} // namespace

NotificationService *PlatformServices::notificationService()
{
    return notificationSlot().get();
}

void PlatformServices::setNotificationService(NotificationService *service)
{
    notificationSlot().registered = service;
}

LocaleService *PlatformServices::localeService()
{
    return localeSlot().get();
}

void PlatformServices::setLocaleService(LocaleService *service)
{
    localeSlot().registered = service;
}
