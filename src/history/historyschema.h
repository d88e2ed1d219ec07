// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYSCHEMA_H
#define MESSAGING0_HISTORYSCHEMA_H

#include <QSqlDatabase>
#include <QString>

// The history file's schema and the steps from each version to the next.
//
// Step N takes a file of version N-1 to version N. Each step runs once, in
// one BEGIN IMMEDIATE transaction that also sets PRAGMA user_version, so a
// crash leaves the file at a whole version and another process migrating at
// the same time waits and then finds nothing left to do. Before the first
// step on a file that holds data, a copy of it is written beside it
// (VACUUM INTO "<file>.v<N>", consistent even with a WAL in use). A step is
// never changed once released: every released version has a stored file in
// tests/history/data/ that a test opens.
namespace HistorySchema {

enum class Result {
    Ready,     // at the current version
    TooNew,    // written by a later release: left alone
    Unreadable,// not a database, or damaged: the caller keeps it aside
    Failed     // a step failed (busy for too long, disk full): nothing changed
};

Result upgrade(QSqlDatabase &db, const QString &path, QString *error);

// The version of the file open on db; -1 when it cannot be read.
int version(QSqlDatabase &db);

} // namespace HistorySchema

#endif // MESSAGING0_HISTORYSCHEMA_H
