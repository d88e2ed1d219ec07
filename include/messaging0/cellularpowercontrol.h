// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_CELLULARPOWERCONTROL_H
#define MESSAGING0_CELLULARPOWERCONTROL_H

#include "messaging0global.h"

#include <QObject>

//! Whether the cellular radio is on, and the way to switch it.
//!
//! The default implementation (PlatformServices::createCellularPowerControl())
//! follows the "Online" property of oFono's first modem on the system bus,
//! and the modems that come and go. Replace it through
//! PlatformServices::setCellularPowerControlFactory().
class MESSAGING0_EXPORT CellularPowerControl : public QObject
{
    Q_OBJECT

public:
    //! For subclasses; use PlatformServices::createCellularPowerControl().
    explicit CellularPowerControl(QObject *parent = nullptr);
    ~CellularPowerControl() override;

    //! The last power the platform reported; false without a modem. Before
    //! the first report it is true, so that nothing is asked of the user
    //! while the platform has not answered.
    virtual bool power() const = 0;
    //! Asks the platform to switch the radio. powerChanged() reports the
    //! outcome: the new power, or the unchanged one when it failed.
    virtual void setPower(bool on) = 0;

Q_SIGNALS:
    //! The platform reported the radio's power, or a setPower() did not change it.
    void powerChanged(bool on);

private:
    Q_DISABLE_COPY(CellularPowerControl)
};

#endif // MESSAGING0_CELLULARPOWERCONTROL_H
