// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountscommand.h"

#include "commandline.h"
#include "watchdog.h"

#include <messaging0/accountmodel.h>
#include <messaging0/accountsortmodel.h>
#include <messaging0/localeservice.h>
#include <messaging0/platformservices.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTextStream>

namespace {
QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}
} // namespace

int AccountsCommand::run(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the messaging accounts as the user interface shows them, SMS first:\n"
        "account, name, service, presence, status message and enabled state,\n"
        "separated by tabs (\"-\" where there is nothing)."));
    int timeoutSeconds = 0;
    const int parsed = parse(app, QStringLiteral("accounts"), arguments, parser, 0, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;
    Watchdog watchdog(timeoutSeconds);
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    AccountsCommand command(timeoutSeconds);
    command.start();
    return app.exec();
}

void AccountsCommand::modelReady()
{
    // Service names of the SMS entry are logical ids.
    PlatformServices::localeService()->installTrCatalog(QStringLiteral("messaging0"));

    AccountSortModel sorted;
    sorted.setSourceModel(model());
    sorted.sort(AccountModel::CT_SORTING_STRING);
    for (int row = 0; row < sorted.rowCount(); ++row) {
        auto cell = [&sorted, row](int column) { return sorted.data(sorted.index(row, column)); };
        const QString service = cell(AccountModel::CT_SERVICE_NAME).toString();
        out() << shortPath(cell(AccountModel::CT_OBJECT_PATH).toString()) << '\t'
            << orDash(cell(AccountModel::CT_ACCOUNT_NAME).toString()) << '\t'
            << orDash(service.startsWith(QLatin1String("lxr_")) ? qtTrId(qPrintable(service)) : service) << '\t'
            << orDash(cell(AccountModel::CT_CURRENT_STATUS).toString()) << '\t'
            << orDash(cell(AccountModel::CT_STATUS_MESSAGE).toString()) << '\t'
            << (cell(AccountModel::CT_ENABLED).toBool() ? "enabled" : "disabled") << '\n';
    }
    out().flush();
    finish(ExitSuccess);
}
