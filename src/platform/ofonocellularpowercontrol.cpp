#include "ofonocellularpowercontrol.h"

#include "ofonomodemfollower.h"

#include <qofonomodem.h>

#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcOfono)

CellularPowerControl::CellularPowerControl(QObject *parent)
    : QObject(parent)
{
}

CellularPowerControl::~CellularPowerControl() = default;

OfonoCellularPowerControl::OfonoCellularPowerControl(QObject *parent)
    : CellularPowerControl(parent)
    , m_follower(new OfonoModemFollower(this))
{
    connect(m_follower, &OfonoModemFollower::modemChanged, this,
            &OfonoCellularPowerControl::followModem);
}

OfonoCellularPowerControl::~OfonoCellularPowerControl() = default;

bool OfonoCellularPowerControl::power() const
{
    return m_online;
}

void OfonoCellularPowerControl::setPower(bool on)
{
    if (!m_modem || !m_modem->isValid()) {
        qCWarning(lcOfono) << "no modem to switch" << (on ? "on" : "off");
        // The caller waits for a report: the radio stays as it is.
        QTimer::singleShot(0, this, [this] { report(m_online, true); });
        return;
    }
    m_modem->setOnline(on);
}

void OfonoCellularPowerControl::followModem(const QString &path)
{
    if (m_modem)
        disconnect(m_modem.data(), nullptr, this, nullptr);
    m_modem.reset();
    if (path.isEmpty()) {
        // Losing the modem is news even when its radio was off: whoever
        // waits for the radio to come on learns that it will not.
        report(false, true);
        return;
    }
    m_modem = QOfonoModem::instance(path, false);
    connect(m_modem.data(), &QOfonoModem::onlineChanged, this, [this](bool on) {
        if (m_modem->isValid())
            report(on, true);
    });
    connect(m_modem.data(), &QOfonoModem::validChanged, this, [this](bool valid) {
        if (valid)
            report(m_modem->online());
    });
    connect(m_modem.data(), &QOfonoModem::reportError, this, [this](const QString &error) {
        qCWarning(lcOfono) << "modem refused a change:" << error;
        report(m_modem->isValid() ? m_modem->online() : false, true);
    });
    if (m_modem->isValid())
        report(m_modem->online());
}

void OfonoCellularPowerControl::report(bool on, bool always)
{
    if (m_known && on == m_online && !always)
        return;
    m_known = true;
    m_online = on;
    Q_EMIT powerChanged(on);
}
