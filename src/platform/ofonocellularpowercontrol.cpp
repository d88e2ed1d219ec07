// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "ofonocellularpowercontrol.h"

#include "ofonomodemfollower.h"

#include "messaginglogging.h"

#include <qofonomodem.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

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
    m_deferredBound.setSingleShot(true);
    connect(&m_deferredBound, &QTimer::timeout, this, [this] {
        if (!m_deferred)
            return;
        qCWarning(lcPlatform) << "oFono did not tell its modem in time; the radio is not switched"
                              << (*m_deferred ? "on" : "off");
        m_deferred.reset();
        report(m_online, true);
    });
    readFirstModem();
}

void OfonoCellularPowerControl::readFirstModem()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.ofono"),
                                                                       QStringLiteral("/"),
                                                                       QStringLiteral("org.ofono.Manager"),
                                                                       QStringLiteral("GetModems")),
                                        QDBus::Block, FirstReadingTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // oFono is not there: no modem, no radio. No answer in time: the
        // follower's report comes later.
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
            m_online = false;
            m_known = true;
        }
        return;
    }
    // a(oa{sv}): the modems with their properties, the first one followed.
    const QDBusArgument modems = reply.arguments().value(0).value<QDBusArgument>();
    bool online = false;
    modems.beginArray();
    if (!modems.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        modems.beginStructure();
        modems >> path >> properties;
        modems.endStructure();
        m_firstModem = path.path();
        online = properties.value(QStringLiteral("Online")).toBool();
    }
    // Ends the array's reader, which would otherwise keep the reply.
    modems.endArray();
    m_online = online;
    m_known = true;
}

OfonoCellularPowerControl::~OfonoCellularPowerControl() = default;

bool OfonoCellularPowerControl::power() const
{
    return m_online;
}

void OfonoCellularPowerControl::setPower(bool on)
{
    if (m_modem && m_modem->isValid()) {
        m_writePending = true;
        m_modem->setOnline(on);
        return;
    }
    // libqofono does not know the modem yet (just started, or still
    // reading it): the modem itself takes the request.
    const QString path = m_modem ? m_modem->objectPath() : m_follower->isKnown() ? QString() : m_firstModem;
    if (!path.isEmpty()) {
        writeOnline(path, on);
        return;
    }
    if (!m_follower->isKnown()) {
        // Not even the first reading was answered: wait for the modem.
        m_deferred = on;
        m_deferredBound.start(PendingRequestTimeoutMs);
        return;
    }
    qCWarning(lcPlatform) << "no modem to switch" << (on ? "on" : "off");
    // The caller waits for a report: the radio stays as it is.
    QTimer::singleShot(0, this, [this] { report(m_online, true); });
}

void OfonoCellularPowerControl::writeOnline(const QString &path, bool on)
{
    m_writePending = true;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.ofono"), path,
                                                       QStringLiteral("org.ofono.Modem"),
                                                       QStringLiteral("SetProperty"));
    call << QStringLiteral("Online") << QVariant::fromValue(QDBusVariant(on));
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<> reply = *w;
        // Taken: the modem's PropertyChanged, followed by libqofono once it
        // knows the modem (or its first reading of it), brings the power.
        if (!reply.isError())
            return;
        qCWarning(lcPlatform) << "modem refused a change:" << reply.error().name() << reply.error().message();
        report(m_online, true);
    });
}

void OfonoCellularPowerControl::followModem(const QString &path)
{
    if (m_modem)
        disconnect(m_modem.data(), nullptr, this, nullptr);
    m_modem.reset();
    if (path.isEmpty()) {
        // Losing the modem is news even when its radio was off: whoever
        // waits for the radio to come on learns that it will not.
        m_deferred.reset();
        report(false, true);
        return;
    }
    m_modem = QOfonoModem::instance(path, false);
    if (m_deferred) {
        writeOnline(path, *m_deferred);
        m_deferred.reset();
    }
    connect(m_modem.data(), &QOfonoModem::onlineChanged, this, [this](bool on) {
        if (m_modem->isValid())
            report(on, true);
    });
    connect(m_modem.data(), &QOfonoModem::validChanged, this, [this, path](bool valid) {
        if (valid)
            modemKnown(path);
    });
    connect(m_modem.data(), &QOfonoModem::reportError, this, [this](const QString &error) {
        qCWarning(lcPlatform) << "modem refused a change:" << error;
        // Our own reading, not libqofono's: that may have missed a change.
        report(m_modem->isValid() ? m_online : false, true);
    });
    if (m_modem->isValid())
        modemKnown(path);
}

void OfonoCellularPowerControl::modemKnown(const QString &path)
{
    // Told also when the first reading said the same: whoever waits for
    // the modem learns that it is there. Not while a switch is under way:
    // the unchanged power would read as its refusal.
    report(m_modem->online(), !m_writePending);
    // libqofono's first reading can miss a change made just before it
    // listens for changes (and a shared modem object may carry that miss
    // from earlier). Now that it listens, one more reading of our own
    // settles the state: later changes come after its answer.
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.ofono"), path,
                                                       QStringLiteral("org.ofono.Modem"),
                                                       QStringLiteral("GetProperties"));
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *w;
        if (reply.isError() || !m_modem || m_modem->objectPath() != path)
            return;
        const QVariant online = reply.value().value(QStringLiteral("Online"));
        if (online.isValid())
            report(online.toBool());
    });
}

void OfonoCellularPowerControl::report(bool on, bool always)
{
    if (m_known && on == m_online && !always)
        return;
    m_known = true;
    m_online = on;
    m_writePending = false;
    Q_EMIT powerChanged(on);
}
