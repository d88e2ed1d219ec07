// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_HISTORYCOMMAND_H
#define MESSAGING_TOOL_HISTORYCOMMAND_H

class QCoreApplication;
class QStringList;

// messaging history <threads|show|search|read|delete>: the conversation
// history (HistoryStore::instance()), read and changed without Telepathy.
int runHistory(QCoreApplication &app, const QStringList &arguments);

#endif // MESSAGING_TOOL_HISTORYCOMMAND_H
