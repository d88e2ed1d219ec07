// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_DEVICEMODEMONITOR_H
#define MESSAGING0_DEVICEMODEMONITOR_H

#include "messaging0global.h"

#include <QObject>

//! Whether the device is in normal or flight mode, and the way to change it.
//!
//! The default implementation (PlatformServices::createDeviceModeMonitor())
//! follows ConnMan's "OfflineMode" on the system bus. A device with its own
//! system service subclasses this and registers a factory with
//! PlatformServices::setDeviceModeMonitorFactory().
class MESSAGING0_EXPORT DeviceModeMonitor : public QObject
{
    Q_OBJECT

public:
    //! The device's mode.
    enum DeviceMode {
        NormalMode = 0, //!< radios may be on
        FlightMode = 1, //!< every radio is off
        //! Not known: the service has not answered yet, or is not running.
        UnknownMode = 2
    };
    Q_ENUM(DeviceMode)

    //! For subclasses; use PlatformServices::createDeviceModeMonitor().
    explicit DeviceModeMonitor(QObject *parent = nullptr);
    ~DeviceModeMonitor() override;

    //! The last mode the platform reported; never blocks.
    virtual DeviceMode getMode() const = 0;
    //! Asks the platform for a mode. deviceModeChanged() reports the outcome:
    //! the new mode, or the unchanged one when the platform refused.
    virtual void setMode(DeviceModeMonitor::DeviceMode mode) = 0;

Q_SIGNALS:
    //! The platform reported the mode, or a setMode() did not change it.
    void deviceModeChanged(DeviceModeMonitor::DeviceMode mode);

private:
    Q_DISABLE_COPY(DeviceModeMonitor)
};

#endif // MESSAGING0_DEVICEMODEMONITOR_H
