// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Proves the plain private-bus mode of run-in-private-bus: a session bus and
// home of the test's own, with dconf writable through D-Bus activation.

#include "testhelpers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>

namespace {

QString runDconf(const QStringList &arguments)
{
    QProcess dconf;
    dconf.start(QStringLiteral("dconf"), arguments);
    if (!dconf.waitForFinished(10000) || dconf.exitCode() != 0) {
        qWarning() << "dconf" << arguments << "failed:" << dconf.readAllStandardError();
        return QStringLiteral("(failed)");
    }
    return QString::fromUtf8(dconf.readAllStandardOutput()).trimmed();
}

} // namespace

class PrivateBusTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsInATreeOfItsOwn()
    {
        const QString tree = qEnvironmentVariable("MESSAGING_TEST_TREE");
        QVERIFY(!tree.isEmpty());
        for (const char *var : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            QVERIFY2(qEnvironmentVariable(var).startsWith(tree + QLatin1Char('/')), var);
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        const QFile::Permissions runtime = QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).permissions();
        QCOMPARE(runtime & others, QFile::Permissions());
        QCOMPARE(runtime & QFile::ExeOwner, QFile::ExeOwner);
        QVERIFY(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(tree));
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        // No system bus unless the runner is asked for one.
        QVERIFY(!QDBusConnection::systemBus().isConnected());
    }

    void activatesMissionControlAndDconfFromTheSystemServices()
    {
        const QStringList activatable = QDBusConnection::sessionBus().interface()->activatableServiceNames();
        QVERIFY(activatable.contains(QStringLiteral("org.freedesktop.Telepathy.AccountManager")));
        QVERIFY(activatable.contains(QStringLiteral("ca.desrt.dconf")));
    }

    void keepsDconfWritesInsideTheTree()
    {
        QCOMPARE(runDconf({QStringLiteral("write"), QStringLiteral("/Messaging/Settings/DeliveryReport"),
                           QStringLiteral("false")}),
                 QString());
        QCOMPARE(runDconf({QStringLiteral("read"), QStringLiteral("/Messaging/Settings/DeliveryReport")}),
                 QStringLiteral("false"));
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/dconf/user")));
    }
};

QTEST_GUILESS_MAIN(PrivateBusTest)
#include "tst_privatebus.moc"
