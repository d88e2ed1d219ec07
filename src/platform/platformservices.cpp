// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "platformservices.h"

#include "bannerservice.h"
#include "connmandevicemodemonitor.h"
#include "dialogservice.h"
#include "localeservice.h"
#include "notificationservice.h"
#include "ofonocellularpowercontrol.h"
#include "ofonosimstatusmonitor.h"
#include "presenceuiservice.h"
#include "processwide.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

template<typename Service>
Service *makeDefault()
{
    return new Service(QCoreApplication::instance());
}

// The presence UI of the platform, under its documented service name.
template<>
PresenceUiService *makeDefault<PresenceUiService>()
{
    return new PresenceUiService(QString(), QCoreApplication::instance());
}

// A service the application registered wins over the default; either is
// dropped from here when it is destroyed.
template<typename Service>
struct Slot
{
    QPointer<Service> registered;

    Service *get()
    {
        if (registered)
            return registered;
        return ProcessWide<Service>::instance(makeDefault<Service>);
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

Slot<PresenceUiService> &presenceUiSlot()
{
    static Slot<PresenceUiService> slot;
    return slot;
}

struct Factories
{
    PlatformServices::DialogFactory dialog;
    PlatformServices::BannerFactory banner;
    PlatformServices::DeviceModeMonitorFactory deviceMode;
    PlatformServices::CellularPowerControlFactory cellularPower;
    PlatformServices::SimStatusMonitorFactory simStatus;
};

Factories &factories()
{
    static Factories f;
    return f;
}

// The registered factory's object, or the default one.
template<typename Object, typename Factory, typename Default, typename... Args>
Object *create(const Factory &factory, Default makeDefault, Args... args)
{
    Object *object = factory ? factory(args...) : nullptr;
    return object ? object : makeDefault(args...);
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

PresenceUiService *PlatformServices::presenceUiService()
{
    return presenceUiSlot().get();
}

void PlatformServices::setPresenceUiService(PresenceUiService *service)
{
    presenceUiSlot().registered = service;
}

DialogService *PlatformServices::createDialog(const QString &text, int buttons)
{
    return create<DialogService>(factories().dialog, [](const QString &t, int b) {
        return new DialogService(t, b);
    }, text, buttons);
}

void PlatformServices::setDialogFactory(const DialogFactory &factory)
{
    factories().dialog = factory;
}

BannerService *PlatformServices::createBanner()
{
    return create<BannerService>(factories().banner, [] { return new BannerService; });
}

void PlatformServices::setBannerFactory(const BannerFactory &factory)
{
    factories().banner = factory;
}

DeviceModeMonitor *PlatformServices::createDeviceModeMonitor()
{
    return create<DeviceModeMonitor>(factories().deviceMode,
                                     []() -> DeviceModeMonitor * { return new ConnmanDeviceModeMonitor; });
}

void PlatformServices::setDeviceModeMonitorFactory(const DeviceModeMonitorFactory &factory)
{
    factories().deviceMode = factory;
}

CellularPowerControl *PlatformServices::createCellularPowerControl()
{
    return create<CellularPowerControl>(factories().cellularPower,
                                        []() -> CellularPowerControl * { return new OfonoCellularPowerControl; });
}

void PlatformServices::setCellularPowerControlFactory(const CellularPowerControlFactory &factory)
{
    factories().cellularPower = factory;
}

SimStatusMonitor *PlatformServices::createSimStatusMonitor()
{
    return create<SimStatusMonitor>(factories().simStatus,
                                    []() -> SimStatusMonitor * { return new OfonoSimStatusMonitor; });
}

void PlatformServices::setSimStatusMonitorFactory(const SimStatusMonitorFactory &factory)
{
    factories().simStatus = factory;
}
