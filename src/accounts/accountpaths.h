// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTPATHS_H
#define MESSAGING0_ACCOUNTPATHS_H

#include <QString>

// Telepathy account paths and protocol names with a fixed meaning for the
// whole library.
namespace AccountPaths {
extern const QString Prefix;           // "/org/freedesktop/Telepathy/Account/"
extern const QString Cellular;         // the SMS account
extern const QString Mms;              // the MMS account
extern const QString CellularProtocol; // "tel", the SMS account's protocol

// The path with Prefix in front unless it starts with it already, so that
// short paths such as "tala/tel/tala" name their account.
QString withPrefix(const QString &accountPath);
} // namespace AccountPaths

#endif // MESSAGING0_ACCOUNTPATHS_H
