// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_MODELCOMMAND_H
#define MESSAGING_TOOL_MODELCOMMAND_H

#include "commands.h"

#include <QStringList>

class AccountModel;
class QCommandLineParser;
class QCoreApplication;

// Base of the account commands: waits until the account model lists every
// valid account, then calls modelReady().
class ModelCommand : public Command
{
    Q_OBJECT

public:
    using Command::Command;

    // "loopback/loop/alice0" or a full object path -> the full path.
    static QString fullPath(const QString &account);
    // The path without the common prefix, as people write it.
    static QString shortPath(const QString &path);

    // Adds --help and --timeout and parses; -1 to go on, else the exit
    // code. positional names the arguments wanted (usage text).
    static int parse(QCoreApplication &app, const QString &command, const QStringList &arguments,
                     QCommandLineParser &parser, int positionalCount, int *timeoutSeconds);

protected:
    void accountManagerReady() final;
    virtual void modelReady() = 0;
    AccountModel *model() const { return m_model; }
    // Row of the account with this full path, -1 when it has none.
    int rowOf(const QString &path) const;
    // The row of the account a change waits for; -1, with the run ended,
    // when the account went away meanwhile.
    int rowOfChanging(const QString &path);
    QVariant cell(int row, int column) const;

private:
    void checkRows();

    AccountModel *m_model = nullptr;
    int m_expectedRows = 0;
    bool m_ready = false;
};

#endif // MESSAGING_TOOL_MODELCOMMAND_H
