// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "statuscommand.h"

#include "commandline.h"

#include "commands.h"

#include <messaging0/accountutils.h>
#include <messaging0/networkstatusmanager.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/AccountSet>
#include <TelepathyQt/PendingOperation>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QHash>
#include <QTextStream>

#include <algorithm>

namespace {


QString simText(SimStatusMonitor::SimStatus status)
{
    switch (status) {
    case SimStatusMonitor::SimReady: return QStringLiteral("ready");
    case SimStatusMonitor::SimNotAvailable: return QStringLiteral("no SIM card");
    case SimStatusMonitor::SimPinRequired: return QStringLiteral("PIN required");
    case SimStatusMonitor::SimPukRequired: return QStringLiteral("PUK required");
    case SimStatusMonitor::SimLocked: return QStringLiteral("locked");
    default: return QStringLiteral("unknown");
    }
}

QString accountText(int status)
{
    switch (status) {
    case NetworkStatusManager::AccountUsable: return QStringLiteral("usable");
    case NetworkStatusManager::AccountConnecting: return QStringLiteral("connecting");
    case NetworkStatusManager::AccountDisabled: return QStringLiteral("disabled");
    default: return QStringLiteral("offline");
    }
}

// Prints a state when it differs from what was printed for it last.
void line(const QString &name, const QString &value)
{
    static QHash<QString, QString> shown;
    if (shown.value(name) == value)
        return;
    shown.insert(name, value);
    out() << name << '\t' << value << Qt::endl;
}

} // namespace

int runStatus(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints whether messages can leave the device: the cellular radio (on/off),\n"
        "the SIM card, flight mode (on/off) and every account's usability (usable,\n"
        "offline, connecting, disabled), one \"name<TAB>value\" line each."));
    const QCommandLineOption watch(QStringLiteral("watch"),
        QStringLiteral("Then print every change as it happens, until interrupted."));
    parser.addOption(watch);
    int timeoutSeconds = 0;
    const int parsed = CommandLine::parse(app, QStringLiteral("status"), arguments, parser, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;
    if (!QDBusConnection::sessionBus().isConnected()) {
        err() << "messaging: no D-Bus session bus\n";
        return ExitEnvironment;
    }
    StatusCommand status(parser.isSet(watch), timeoutSeconds);
    status.start();
    return app.exec();
}

StatusCommand::StatusCommand(bool watch, int timeoutSeconds, QObject *parent)
    : QObject(parent)
    , m_watch(watch)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeoutSeconds * 1000);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        err() << "messaging: timed out waiting for the device and account states" << Qt::endl;
        finish(ExitTimeout);
    });
}

void StatusCommand::start()
{
    m_timeout.start();
    // Created now, so that the platform's first answers are on their way.
    NetworkStatusManager::instance();
    AccountUtils *accounts = AccountUtils::instance();
    if (accounts->accountManager()->isReady()) {
        accountManagerReady();
        return;
    }
    connect(accounts, &AccountUtils::accountManagerReady, this, [this](Tp::PendingOperation *operation) {
        if (operation && operation->isError()) {
            err() << "messaging: the Telepathy account manager is not available: "
                  << operation->errorMessage() << Qt::endl;
            finish(ExitEnvironment);
            return;
        }
        accountManagerReady();
    });
}

void StatusCommand::accountManagerReady()
{
    const QList<Tp::AccountPtr> valid = AccountUtils::instance()->accountManager()->validAccounts()->accounts();
    for (const Tp::AccountPtr &account : valid)
        m_accounts.append(account->objectPath());
    std::sort(m_accounts.begin(), m_accounts.end());
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    connect(manager, &NetworkStatusManager::simStatusChanged, this, &StatusCommand::printWhenComplete);
    connect(AccountUtils::instance(), &AccountUtils::accountReady, this, &StatusCommand::printWhenComplete);
    printWhenComplete();
}

void StatusCommand::printWhenComplete()
{
    if (m_printed)
        return;
    // Every answer is in: the SIM has reported and every account is ready.
    if (NetworkStatusManager::instance()->simStatus() == SimStatusMonitor::SimStatusUnknown)
        return;
    for (const QString &path : qAsConst(m_accounts)) {
        if (AccountUtils::instance()->account(path).isNull())
            return;
    }
    m_printed = true;
    m_timeout.stop();
    printAll();
    if (m_watch)
        watchChanges();
    else
        finish(ExitSuccess);
}

void StatusCommand::printAll()
{
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    line(QStringLiteral("radio"), manager->isCellularOnline() ? QStringLiteral("on") : QStringLiteral("off"));
    line(QStringLiteral("sim"), simText(manager->simStatus()));
    line(QStringLiteral("flight mode"), manager->isDeviceInNormalMode() ? QStringLiteral("off") : QStringLiteral("on"));
    for (const QString &path : qAsConst(m_accounts))
        line(path, accountText(manager->accountStatus(path)));
}

void StatusCommand::watchChanges()
{
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    connect(manager, &NetworkStatusManager::cellularOnline, this, [](bool on) {
        line(QStringLiteral("radio"), on ? QStringLiteral("on") : QStringLiteral("off"));
    });
    connect(manager, &NetworkStatusManager::simStatusChanged, this, [](SimStatusMonitor::SimStatus status) {
        line(QStringLiteral("sim"), simText(status));
    });
    connect(manager, &NetworkStatusManager::deviceModeChanged, this, [](bool normal) {
        line(QStringLiteral("flight mode"), normal ? QStringLiteral("off") : QStringLiteral("on"));
    });
    connect(manager, &NetworkStatusManager::accountStatusChanged, this, [](int status, const QString &path) {
        line(path, accountText(status));
    });
    // Accounts that appear later are watched too.
    connect(AccountUtils::instance(), &AccountUtils::accountReady, this, [manager](const QString &path) {
        line(path, accountText(manager->accountStatus(path)));
    });
}

void StatusCommand::finish(int exitCode)
{
    out().flush();
    QCoreApplication::exit(exitCode);
}
