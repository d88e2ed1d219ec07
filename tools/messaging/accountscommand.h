// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_ACCOUNTSCOMMAND_H
#define MESSAGING_TOOL_ACCOUNTSCOMMAND_H

#include "modelcommand.h"

// messaging accounts: the account list as the user interface shows it.
class AccountsCommand : public ModelCommand
{
    Q_OBJECT

public:
    using ModelCommand::ModelCommand;
    static int run(QCoreApplication &app, const QStringList &arguments);

protected:
    void modelReady() override;
};

#endif // MESSAGING_TOOL_ACCOUNTSCOMMAND_H
