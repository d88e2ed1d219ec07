// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "enablecommand.h"

#include "commandline.h"
#include "watchdog.h"

#include <messaging0/accountmodel.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTextStream>

EnableCommand::EnableCommand(const QString &accountPath, bool enable, int timeoutSeconds)
    : ModelCommand(timeoutSeconds)
    , m_path(accountPath)
    , m_enable(enable)
{
}

int EnableCommand::run(QCoreApplication &app, const QStringList &arguments)
{
    return run(app, arguments, true);
}

int EnableCommand::run(QCoreApplication &app, const QStringList &arguments, bool enable)
{
    const QString name = enable ? QStringLiteral("enable") : QStringLiteral("disable");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("%1s an account and waits until Telepathy reports it %1d.")
                                         .arg(enable ? QStringLiteral("Enable") : QStringLiteral("Disable")));
    parser.addPositionalArgument(QStringLiteral("account"), QStringLiteral("e.g. loopback/loop/alice0"));
    int timeoutSeconds = 0;
    const int parsed = parse(app, name, arguments, parser, 1, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;
    Watchdog watchdog(timeoutSeconds);
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    EnableCommand command(fullPath(parser.positionalArguments().at(0)), enable, timeoutSeconds);
    command.start();
    return app.exec();
}

void EnableCommand::modelReady()
{
    const int row = rowOf(m_path);
    // Row 0 is the SMS entry, which stands for two accounts and is always on.
    if (row <= 0) {
        fail(QStringLiteral("no account %1 that can be %2 (see: messaging accounts)")
                 .arg(shortPath(m_path), m_enable ? QStringLiteral("enabled") : QStringLiteral("disabled")));
        finish(ExitEnvironment);
        return;
    }
    connect(model(), &QAbstractItemModel::dataChanged, this, &EnableCommand::check);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &EnableCommand::check);
    setStage(QStringLiteral("%1 to be %2").arg(shortPath(m_path), m_enable ? QStringLiteral("enabled")
                                                                             : QStringLiteral("disabled")));
    model()->setData(model()->index(row, AccountModel::CT_ENABLED), m_enable);
    m_requested = true;
    check();
}

void EnableCommand::check()
{
    if (!m_requested)
        return;
    const int row = rowOfChanging(m_path);
    if (row < 0) {
        m_requested = false;
        return;
    }
    if (cell(row, AccountModel::CT_ENABLED).toBool() != m_enable)
        return;
    out() << shortPath(m_path) << ": " << (m_enable ? "enabled" : "disabled") << '\n';
    out().flush();
    m_requested = false;
    finish(ExitSuccess);
}
