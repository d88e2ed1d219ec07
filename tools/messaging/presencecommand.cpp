// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "presencecommand.h"

#include "commandline.h"
#include "watchdog.h"

#include <messaging0/accountmodel.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTextStream>

namespace {
const QStringList Statuses = {QStringLiteral("available"), QStringLiteral("away"), QStringLiteral("offline")};
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
} // namespace

PresenceCommand::PresenceCommand(const QString &accountPath, const QString &status, const QString &message,
                                 bool setMessage, int timeoutSeconds)
    : ModelCommand(timeoutSeconds)
    , m_path(accountPath)
    , m_status(status)
    , m_message(message)
    , m_setMessage(setMessage)
{
}

int PresenceCommand::run(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sets an account's presence (available, away or offline) and, with\n"
        "--message, its status message; waits until the account reports it."));
    parser.addPositionalArgument(QStringLiteral("account"), QStringLiteral("e.g. loopback/loop/alice0"));
    parser.addPositionalArgument(QStringLiteral("presence"), QStringLiteral("available, away or offline"));
    const QCommandLineOption message(QStringLiteral("message"), QStringLiteral("The status message."),
                                     QStringLiteral("text"));
    parser.addOption(message);
    const QString name = QStringLiteral("presence");
    int timeoutSeconds = 0;
    const int parsed = parse(app, name, arguments, parser, 2, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;
    const QString status = parser.positionalArguments().at(1);
    if (!Statuses.contains(status)) {
        QTextStream(stderr) << "messaging presence: unknown presence '" << status
                            << "' (available, away or offline)\n";
        return ExitUsage;
    }
    Watchdog watchdog(timeoutSeconds);
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    PresenceCommand command(fullPath(parser.positionalArguments().at(0)), status, parser.value(message),
                            parser.isSet(message), timeoutSeconds);
    command.start();
    return app.exec();
}

void PresenceCommand::modelReady()
{
    if (m_path == Cellular || m_path == Mms) {
        fail(QStringLiteral("%1 is the SMS entry and has no presence").arg(shortPath(m_path)));
        finish(ExitEnvironment);
        return;
    }
    const int row = rowOf(m_path);
    if (row < 0) {
        fail(QStringLiteral("no account %1 (see: messaging accounts)").arg(shortPath(m_path)));
        finish(ExitEnvironment);
        return;
    }
    if (!cell(row, AccountModel::CT_ENABLED).toBool()) {
        fail(QStringLiteral("account %1 is disabled (see: messaging enable)").arg(shortPath(m_path)));
        finish(ExitEnvironment);
        return;
    }
    m_initialStatus = cell(row, AccountModel::CT_CURRENT_STATUS).toString();
    connect(model(), &QAbstractItemModel::dataChanged, this, &PresenceCommand::check);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &PresenceCommand::check);
    setStage(QStringLiteral("presence %1 on %2").arg(m_status, shortPath(m_path)));
    if (m_setMessage)
        model()->setData(model()->index(row, AccountModel::CT_STATUS_MESSAGE), m_message);
    model()->setData(model()->index(row, AccountModel::CT_CURRENT_STATUS), m_status);
    m_requested = true;
    check();
}

void PresenceCommand::check()
{
    if (!m_requested)
        return;
    const int row = rowOfChanging(m_path);
    if (row < 0) {
        m_requested = false;
        return;
    }
    const QString status = cell(row, AccountModel::CT_CURRENT_STATUS).toString();
    const QString message = cell(row, AccountModel::CT_STATUS_MESSAGE).toString();
    const bool inProgress = cell(row, AccountModel::CT_STATUS_CHANGE_IN_PROGRESS).toBool();
    m_sawProgress = m_sawProgress || inProgress;
    if (status == m_status && (!m_setMessage || message == m_message)) {
        out() << shortPath(m_path) << ": " << status;
        if (!message.isEmpty())
            out() << " (" << message << ')';
        out() << '\n';
        out().flush();
        m_requested = false;
        finish(ExitSuccess);
        return;
    }
    // The change ended without the account moving: Telepathy refused it.
    if (m_sawProgress && !inProgress && status == m_initialStatus) {
        fail(QStringLiteral("the presence %1 was refused for %2").arg(m_status, shortPath(m_path)));
        m_requested = false;
        finish(ExitMessageFailed);
    }
}
