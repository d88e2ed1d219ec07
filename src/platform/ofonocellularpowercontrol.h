// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_OFONOCELLULARPOWERCONTROL_H
#define MESSAGING0_OFONOCELLULARPOWERCONTROL_H

#include "cellularpowercontrol.h"

#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <optional>

class OfonoModemFollower;
class QOfonoModem;

// The radio as the "Online" property of oFono's first modem (libqofono).
// No modem, or no oFono: power off. The constructor asks oFono once with a
// bounded call (at most FirstReadingTimeoutMs), so that power() is the
// modem's own answer from the start; libqofono follows it from then on.
//
// A switch asked for before libqofono knows the modem (right after start)
// goes to the modem the first reading found, through oFono directly. When
// that reading got no answer in time either, the request waits for the
// modem, at most PendingRequestTimeoutMs; after that (or when there turns
// out to be no modem) powerChanged() tells the unchanged power.
class OfonoCellularPowerControl : public CellularPowerControl
{
    Q_OBJECT

public:
    static constexpr int FirstReadingTimeoutMs = 500;
    static constexpr int PendingRequestTimeoutMs = 5000;

    explicit OfonoCellularPowerControl(QObject *parent = nullptr);
    ~OfonoCellularPowerControl() override;

    bool power() const override;
    void setPower(bool on) override;

private:
    void readFirstModem();
    void followModem(const QString &path);
    void modemKnown(const QString &path);
    void report(bool on, bool always = false);
    // SetProperty("Online") on the modem at path, without libqofono.
    void writeOnline(const QString &path, bool on);

    OfonoModemFollower *m_follower;        // child of this
    QSharedPointer<QOfonoModem> m_modem;   // libqofono's shared object for the path
    bool m_online = true;                  // until the platform says otherwise
    bool m_known = false;
    // The first modem as the constructor's reading found it.
    QString m_firstModem;
    // A switch was asked for and its report has not come yet.
    bool m_writePending = false;
    // Asked for while no modem was known yet; applied when one is.
    std::optional<bool> m_deferred;
    QTimer m_deferredBound;
};

#endif // MESSAGING0_OFONOCELLULARPOWERCONTROL_H
