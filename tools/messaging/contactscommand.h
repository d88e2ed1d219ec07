// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_CONTACTSCOMMAND_H
#define MESSAGING_TOOL_CONTACTSCOMMAND_H

#include <QCoreApplication>
#include <QStringList>

// messaging contacts ACCOUNT REMOTE-ID: prints the address-book contacts
// that own the remote id on the account, one per line (display label, a
// tab, the contact id). Needs no bus: it reads only the address book.
// Returns the exit code.
int runContacts(QCoreApplication &app, const QStringList &arguments);

#endif // MESSAGING_TOOL_CONTACTSCOMMAND_H
