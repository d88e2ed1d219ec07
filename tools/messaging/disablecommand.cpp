// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "disablecommand.h"

int DisableCommand::run(QCoreApplication &app, const QStringList &arguments)
{
    return EnableCommand::run(app, arguments, false);
}
