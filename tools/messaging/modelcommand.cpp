// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "modelcommand.h"

#include "commandline.h"

#include <messaging0/accountmodel.h>
#include <messaging0/accountutils.h>

#include <TelepathyQt/AccountManager>
#include <TelepathyQt/AccountSet>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {
const QString Prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
const QString Cellular = Prefix + QStringLiteral("tala/tel/tala");
const QString Mms = Prefix + QStringLiteral("vexo/mms/mms0");
} // namespace

QString ModelCommand::fullPath(const QString &account)
{
    return CommandLine::fullAccountPath(account);
}

QString ModelCommand::shortPath(const QString &path)
{
    return path.startsWith(Prefix) ? path.mid(Prefix.size()) : path;
}

int ModelCommand::parse(QCoreApplication &app, const QString &command, const QStringList &arguments,
                        QCommandLineParser &parser, int positionalCount, int *timeoutSeconds)
{
    const int parsed = CommandLine::parse(app, command, arguments, parser, timeoutSeconds, positionalCount);
    if (parsed >= 0)
        return parsed;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < positionalCount)
        return CommandLine::usageError(command, positional.isEmpty() ? QStringLiteral("no account given")
                                                                     : QStringLiteral("missing argument"));
    for (const QString &argument : positional) {
        if (argument.trimmed().isEmpty())
            return CommandLine::usageError(command, QStringLiteral("empty argument"));
    }
    return -1;
}

void ModelCommand::accountManagerReady()
{
    // Every valid account gets a row, except the cellular and MMS accounts,
    // which share the SMS entry.
    m_expectedRows = 1;
    const QList<Tp::AccountPtr> accounts = AccountUtils::instance()->accountManager()->validAccounts()->accounts();
    for (const Tp::AccountPtr &account : accounts) {
        if (account->objectPath() != Cellular && account->objectPath() != Mms)
            ++m_expectedRows;
    }
    m_model = AccountModel::instance();
    m_model->init();
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ModelCommand::checkRows);
    setStage(QStringLiteral("the account list (%1 rows)").arg(m_expectedRows));
    checkRows();
}

void ModelCommand::checkRows()
{
    if (m_ready || m_model->rowCount() < m_expectedRows)
        return;
    m_ready = true;
    modelReady();
}

int ModelCommand::rowOf(const QString &path) const
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (cell(row, AccountModel::CT_OBJECT_PATH).toString() == path)
            return row;
    }
    return -1;
}

int ModelCommand::rowOfChanging(const QString &path)
{
    const int row = rowOf(path);
    if (row < 0) {
        fail(QStringLiteral("account %1 went away").arg(shortPath(path)));
        finish(ExitEnvironment);
    }
    return row;
}

QVariant ModelCommand::cell(int row, int column) const
{
    return m_model->data(m_model->index(row, column));
}
