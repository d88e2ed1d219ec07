// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountpaths.h"

namespace AccountPaths {
const QString Prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Mms = QStringLiteral("/org/freedesktop/Telepathy/Account/vexo/mms/mms0");
const QString CellularProtocol = QStringLiteral("tel");

QString withPrefix(const QString &accountPath)
{
    return accountPath.startsWith(Prefix) ? accountPath : Prefix + accountPath;
}
} // namespace AccountPaths
