// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historyschema.h"

#include "historystore.h"
#include "messaginglogging.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

// Version 1. Times are milliseconds since the epoch (UTC). Threads carry
// their last message and unread count; messages order by (time, id) within
// their thread; an incoming message is unread while it has a row in unread. Both text indexes are external-content FTS5 tables kept by
// triggers, so the text is stored once.
const char *const Step1[] = {
    "CREATE TABLE threads ("
    " id INTEGER PRIMARY KEY,"
    " account TEXT NOT NULL,"
    " chat_type INTEGER NOT NULL,"
    " thread_key TEXT NOT NULL,"
    " remote_ids TEXT NOT NULL,"
    " last_message_id INTEGER,"
    " last_text TEXT NOT NULL DEFAULT '',"
    " last_time INTEGER NOT NULL DEFAULT 0,"
    " last_incoming INTEGER NOT NULL DEFAULT 0,"
    " last_state INTEGER NOT NULL DEFAULT 0,"
    " unread_count INTEGER NOT NULL DEFAULT 0,"
    " draft TEXT NOT NULL DEFAULT '',"
    " UNIQUE (account, chat_type, thread_key))",
    "CREATE INDEX threads_by_time ON threads (last_time, id)",
    "CREATE INDEX threads_by_account ON threads (account, last_time, id)",
    "CREATE INDEX threads_unread ON threads (last_time, id) WHERE unread_count > 0",
    "CREATE INDEX threads_unread_by_account ON threads (account, last_time, id)"
    " WHERE unread_count > 0",
    "CREATE TABLE messages ("
    " id INTEGER PRIMARY KEY,"
    " thread_id INTEGER NOT NULL REFERENCES threads (id) ON DELETE CASCADE,"
    " token TEXT NOT NULL,"
    " incoming INTEGER NOT NULL,"
    " sender TEXT NOT NULL DEFAULT '',"
    " sent_time INTEGER,"
    " received_time INTEGER,"
    " time INTEGER NOT NULL,"
    " text TEXT NOT NULL DEFAULT '',"
    " state INTEGER NOT NULL,"
    " status_code INTEGER NOT NULL DEFAULT 0,"
    " error_name TEXT NOT NULL DEFAULT '',"
    " has_parts INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (thread_id, token))",
    "CREATE INDEX messages_by_time ON messages (thread_id, time, id)",
    // Unread messages by thread, apart from the messages: marking a thread
    // read rewrites a few pages of this table instead of one page for each
    // message, which lie wherever their arrival put them.
    "CREATE TABLE unread ("
    " thread_id INTEGER NOT NULL,"
    " message_id INTEGER NOT NULL,"
    " PRIMARY KEY (thread_id, message_id)) WITHOUT ROWID",
    "CREATE TRIGGER messages_unread_delete AFTER DELETE ON messages BEGIN"
    " DELETE FROM unread WHERE thread_id = old.thread_id AND message_id = old.id; END",
    "CREATE TABLE parts ("
    " message_id INTEGER NOT NULL REFERENCES messages (id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL,"
    " mime_type TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " body BLOB,"
    " PRIMARY KEY (message_id, position)) WITHOUT ROWID",
    "CREATE VIRTUAL TABLE messages_fts USING fts5(text, content='messages', content_rowid='id',"
    " tokenize='unicode61 remove_diacritics 2', prefix='2 3')",
    "CREATE TRIGGER messages_fts_insert AFTER INSERT ON messages BEGIN"
    " INSERT INTO messages_fts (rowid, text) VALUES (new.id, new.text); END",
    "CREATE TRIGGER messages_fts_delete AFTER DELETE ON messages BEGIN"
    " INSERT INTO messages_fts (messages_fts, rowid, text) VALUES ('delete', old.id, old.text); END",
    "CREATE TRIGGER messages_fts_update AFTER UPDATE OF text ON messages BEGIN"
    " INSERT INTO messages_fts (messages_fts, rowid, text) VALUES ('delete', old.id, old.text);"
    " INSERT INTO messages_fts (rowid, text) VALUES (new.id, new.text); END",
    "CREATE VIRTUAL TABLE threads_fts USING fts5(remote_ids, content='threads', content_rowid='id',"
    " tokenize='unicode61 remove_diacritics 2')",
    "CREATE TRIGGER threads_fts_insert AFTER INSERT ON threads BEGIN"
    " INSERT INTO threads_fts (rowid, remote_ids) VALUES (new.id, new.remote_ids); END",
    "CREATE TRIGGER threads_fts_delete AFTER DELETE ON threads BEGIN"
    " INSERT INTO threads_fts (threads_fts, rowid, remote_ids) VALUES ('delete', old.id, old.remote_ids); END",
    "CREATE TRIGGER threads_fts_update AFTER UPDATE OF remote_ids ON threads BEGIN"
    " INSERT INTO threads_fts (threads_fts, rowid, remote_ids) VALUES ('delete', old.id, old.remote_ids);"
    " INSERT INTO threads_fts (rowid, remote_ids) VALUES (new.id, new.remote_ids); END",
};

// Version 2. An outgoing message also keeps the token that the connection
// manager gave it once sent, which its delivery reports name: a report that
// the recorder reads after the sending program has ended finds it by that.
const char *const Step2[] = {
    "ALTER TABLE messages ADD COLUMN connection_token TEXT",
    "CREATE INDEX messages_by_connection_token ON messages (thread_id, connection_token)",
};

// Version 3. A room's thread keeps the room's topic, which is its title.
const char *const Step3[] = {
    "ALTER TABLE threads ADD COLUMN topic TEXT NOT NULL DEFAULT ''",
};

struct Step
{
    const char *const *statements;
    int count;
};

// Steps[i] takes version i to version i + 1.
const Step Steps[] = {
    {Step1, int(sizeof(Step1) / sizeof(Step1[0]))},
    {Step2, int(sizeof(Step2) / sizeof(Step2[0]))},
    {Step3, int(sizeof(Step3) / sizeof(Step3[0]))},
};
constexpr int StepCount = int(sizeof(Steps) / sizeof(Steps[0]));
static_assert(StepCount == HistoryStore::SchemaVersion, "one step per schema version");

bool isUnreadable(const QSqlError &error)
{
    // SQLITE_CORRUPT (11) and SQLITE_NOTADB (26).
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("11") || code == QLatin1String("26");
}

bool run(QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = query.lastError();
    return false;
}

} // namespace

int HistorySchema::version(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

HistorySchema::Result HistorySchema::upgrade(QSqlDatabase &db, const QString &path, QString *error)
{
    // Reading the schema makes SQLite read the file's header and its
    // schema table: an unreadable file fails here.
    QSqlError sqlError;
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next()) {
            *error = probe.lastError().text();
            return isUnreadable(probe.lastError()) ? Result::Unreadable : Result::Failed;
        }
    }
    int current = version(db);
    if (current > HistoryStore::SchemaVersion)
        return Result::TooNew;
    if (current == HistoryStore::SchemaVersion)
        return Result::Ready;

    if (current > 0) {
        const QString copy = path + QStringLiteral(".v") + QString::number(current);
        QFile::remove(copy);
        QSqlQuery vacuum(db);
        vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
        vacuum.addBindValue(copy);
        if (!vacuum.exec()) {
            *error = QStringLiteral("cannot keep a copy before migrating: ") + vacuum.lastError().text();
            return Result::Failed;
        }
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        qCInfo(lcHistory) << "history file of version" << current << "copied to" << copy;
    }

    while (current < HistoryStore::SchemaVersion) {
        if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), &sqlError)) {
            *error = sqlError.text();
            return Result::Failed;
        }
        // Another process may have migrated while this one waited.
        const int now = version(db);
        if (now != current) {
            run(db, QStringLiteral("ROLLBACK"), &sqlError);
            if (now < 0 || now > HistoryStore::SchemaVersion)
                return now < 0 ? Result::Failed : Result::TooNew;
            current = now;
            continue;
        }
        const Step &step = Steps[current];
        bool ok = true;
        for (int i = 0; ok && i < step.count; ++i)
            ok = run(db, QString::fromLatin1(step.statements[i]), &sqlError);
        ok = ok && run(db, QStringLiteral("PRAGMA user_version = ") + QString::number(current + 1), &sqlError);
        ok = ok && run(db, QStringLiteral("COMMIT"), &sqlError);
        if (!ok) {
            *error = QStringLiteral("schema step %1 failed: %2").arg(current + 1).arg(sqlError.text());
            QSqlError ignored;
            run(db, QStringLiteral("ROLLBACK"), &ignored);
            return isUnreadable(sqlError) ? Result::Unreadable : Result::Failed;
        }
        ++current;
        qCDebug(lcHistory) << "history schema now at version" << current;
    }
    return Result::Ready;
}
