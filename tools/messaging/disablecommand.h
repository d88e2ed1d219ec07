// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_DISABLECOMMAND_H
#define MESSAGING_TOOL_DISABLECOMMAND_H

#include "enablecommand.h"

// messaging disable ACCOUNT: disables the account through the account
// model and waits until Telepathy reports it disabled.
class DisableCommand : public EnableCommand
{
    Q_OBJECT

public:
    static int run(QCoreApplication &app, const QStringList &arguments);
};

#endif // MESSAGING_TOOL_DISABLECOMMAND_H
