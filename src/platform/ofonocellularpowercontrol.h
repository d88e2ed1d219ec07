// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_OFONOCELLULARPOWERCONTROL_H
#define MESSAGING0_OFONOCELLULARPOWERCONTROL_H

#include "cellularpowercontrol.h"

#include <QSharedPointer>

class OfonoModemFollower;
class QOfonoModem;

// The radio as the "Online" property of oFono's first modem (libqofono).
// No modem, or no oFono: power off. The constructor asks oFono once with a
// bounded call (at most FirstReadingTimeoutMs), so that power() is the
// modem's own answer from the start; libqofono follows it from then on.
class OfonoCellularPowerControl : public CellularPowerControl
{
    Q_OBJECT

public:
    static constexpr int FirstReadingTimeoutMs = 500;

    explicit OfonoCellularPowerControl(QObject *parent = nullptr);
    ~OfonoCellularPowerControl() override;

    bool power() const override;
    void setPower(bool on) override;

private:
    void readFirstModem();
    void followModem(const QString &path);
    void modemKnown(const QString &path);
    void report(bool on, bool always = false);

    OfonoModemFollower *m_follower;        // child of this
    QSharedPointer<QOfonoModem> m_modem;   // libqofono's shared object for the path
    bool m_online = true;                  // until the platform says otherwise
    bool m_known = false;
};

#endif // MESSAGING0_OFONOCELLULARPOWERCONTROL_H
