// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historystore_p.h"

#include "historyschema.h"
#include "historysearchquery.h"
#include "messaginglogging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QPointer>
#include <QSet>
#include <QSqlError>
#include <QStandardPaths>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int BusyTimeoutMs = 5000;
constexpr int SnippetLength = 200;
constexpr int MaxPageSize = 1000;

// Column lists, in the order readThread() and readMessage() read them.
#define THREAD_COLUMNS                                                                       \
    "t.id, t.account, t.chat_type, t.remote_ids, t.last_message_id, t.last_text, t.last_time, " \
    "t.last_incoming, t.last_state, t.unread_count, t.draft, t.topic"
#define MESSAGE_COLUMNS                                                                         \
    "m.id, m.thread_id, m.token, m.incoming, m.sender, m.sent_time, m.received_time, m.text, " \
    "m.state, m.status_code, m.error_name,"                                                      \
    " NOT EXISTS (SELECT 1 FROM unread u WHERE u.thread_id = m.thread_id AND u.message_id = m.id)," \
    " m.has_parts"

QVariant msecs(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(QVariant::LongLong);
}

QDateTime fromMsecs(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

// QtSql binds a null QString as NULL; the text columns are NOT NULL.
QString nonNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

int pageSize(int limit)
{
    return qBound(1, limit, MaxPageSize);
}

QString remoteIdsText(const QStringList &ids)
{
    return ids.join(QLatin1Char('\n'));
}

// The file created by its owner for its owner only, before SQLite opens it
// (SQLite gives its WAL and shared-memory files the same permissions).
bool createPrivateFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

int connectionCounter = 0;

} // namespace

HistoryStorePrivate::HistoryStorePrivate(HistoryStore *q)
    : q_ptr(q)
{
}

HistoryStorePrivate::~HistoryStorePrivate()
{
    closeConnection();
}

void HistoryStorePrivate::closeConnection()
{
    statements.clear();
    if (db.isValid()) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
    }
    isOpen = false;
}

bool HistoryStorePrivate::openConnection(QString *error)
{
    connectionName = QStringLiteral("messaging0-history-%1-%2")
                         .arg(reinterpret_cast<quintptr>(this), 0, 16)
                         .arg(++connectionCounter);
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    if (!db.isValid()) {
        *error = QStringLiteral("the Qt SQLite driver is missing (package libqt5sql5-sqlite)");
        return false;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    return true;
}

void HistoryStorePrivate::keepAside()
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside)) {
        qCCritical(lcHistory) << "cannot keep the damaged history file aside:" << path;
        return;
    }
    // The log belongs to the damaged file; the shared-memory index is rebuilt.
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    qCWarning(lcHistory) << "the history file could not be read; kept as" << aside
                         << "and a new one started";
}

void HistoryStorePrivate::open()
{
    const QFileInfo info(path);
    QDir dir = info.absoluteDir();
    if (!dir.exists()) {
        if (!dir.mkpath(QStringLiteral("."))) {
            qCWarning(lcHistory) << "cannot create the history folder" << dir.path();
            return;
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The library's own folder is private whoever made it.
    if (path == HistoryStore::defaultPath())
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!createPrivateFile(path)) {
            qCWarning(lcHistory) << "cannot create the history file" << path;
            return;
        }
        canonicalPath = QFileInfo(path).canonicalFilePath();
        QString error;
        if (!openConnection(&error)) {
            qCWarning(lcHistory) << "cannot open the history file" << path << error;
            closeConnection();
            return;
        }
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        HistorySchema::Result result = HistorySchema::Result::Unreadable;
        if (pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
            pragma.finish();
            pragma.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
            // The checkpoint (the one flush to the disk) runs from the
            // event loop a second after a change; SQLite's own one, inside
            // a commit, only once the log holds about 40 MB, for processes
            // that write without an event loop.
            pragma.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 10000"));
            // No statement may be in progress while a migration copies the file.
            pragma.finish();
            result = HistorySchema::upgrade(db, path, &error);
        } else {
            error = pragma.lastError().text();
            const QString code = pragma.lastError().nativeErrorCode();
            if (code != QLatin1String("11") && code != QLatin1String("26"))
                result = HistorySchema::Result::Failed;
        }
        pragma.finish();
        switch (result) {
        case HistorySchema::Result::Ready:
            isOpen = true;
            return;
        case HistorySchema::Result::TooNew:
            qCWarning(lcHistory) << "the history file" << path
                                 << "was written by a later version of the library; left as it is";
            closeConnection();
            return;
        case HistorySchema::Result::Failed:
            qCWarning(lcHistory) << "cannot open the history file" << path << error;
            closeConnection();
            return;
        case HistorySchema::Result::Unreadable:
            qCDebug(lcHistory) << "unreadable history file:" << error;
            closeConnection();
            if (attempt == 0)
                keepAside();
            break;
        }
    }
    qCWarning(lcHistory) << "cannot start a new history file" << path;
}

QSqlQuery &HistoryStorePrivate::query(const char *sql)
{
    auto it = statements.find(sql);
    if (it == statements.end()) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(QString::fromUtf8(sql)))
            qCWarning(lcHistory) << "cannot prepare" << sql << q.lastError().text();
        it = statements.insert(sql, q);
    }
    return it.value();
}

bool HistoryStorePrivate::exec(QSqlQuery &q, const char *what)
{
    if (q.exec())
        return true;
    qCWarning(lcHistory) << what << "failed:" << q.lastError().text();
    return false;
}

bool HistoryStorePrivate::begin()
{
    if (!isOpen)
        return false;
    pending.clear();
    QSqlQuery &q = query("BEGIN IMMEDIATE");
    const bool ok = exec(q, "starting a change of the history");
    q.finish();
    return ok;
}

bool HistoryStorePrivate::commit()
{
    QSqlQuery &q = query("COMMIT");
    if (!exec(q, "saving a change of the history")) {
        q.finish();
        rollback();
        return false;
    }
    q.finish();
    const QVector<HistoryNotifier::Change> changes = pending;
    pending.clear();
    if (!checkpoint.isActive())
        checkpoint.start();
    notifier->announce(changes);
    emitChanges(changes);
    return true;
}

void HistoryStorePrivate::rollback()
{
    pending.clear();
    QSqlQuery &q = query("ROLLBACK");
    q.exec();
    q.finish();
}

void HistoryStorePrivate::note(HistoryNotifier::Kind kind, qint64 threadId, qint64 messageId)
{
    for (const HistoryNotifier::Change &c : qAsConst(pending)) {
        if (c.kind == kind && c.threadId == threadId && c.messageId == messageId)
            return;
    }
    pending.append({kind, threadId, messageId});
}

void HistoryStorePrivate::emitChanges(const QVector<HistoryNotifier::Change> &changes)
{
    Q_Q(HistoryStore);
    // Messages first, then their threads: a model of the thread list sees
    // the new last message when it reads the thread.
    for (const HistoryNotifier::Change &c : changes) {
        switch (c.kind) {
        case HistoryNotifier::MessageAdded:
            Q_EMIT q->messageAdded(c.threadId, c.messageId);
            break;
        case HistoryNotifier::MessageChanged:
            Q_EMIT q->messageChanged(c.threadId, c.messageId);
            break;
        case HistoryNotifier::MessageRemoved:
            Q_EMIT q->messageRemoved(c.threadId, c.messageId);
            break;
        default:
            break;
        }
    }
    for (const HistoryNotifier::Change &c : changes) {
        if (c.kind == HistoryNotifier::ThreadChanged)
            Q_EMIT q->threadChanged(c.threadId);
        else if (c.kind == HistoryNotifier::ThreadRemoved)
            Q_EMIT q->threadRemoved(c.threadId);
    }
}

qint64 HistoryStorePrivate::findThread(const HistoryThreadKey &key)
{
    QSqlQuery &q = query("SELECT id FROM threads WHERE account = ? AND chat_type = ? AND thread_key = ?");
    q.addBindValue(key.account);
    q.addBindValue(key.chatType);
    q.addBindValue(key.remote);
    qint64 id = -1;
    if (exec(q, "looking up a thread") && q.next())
        id = q.value(0).toLongLong();
    q.finish();
    return id;
}

qint64 HistoryStorePrivate::createThread(const HistoryThreadKey &key, const QString &remoteId)
{
    QSqlQuery &insert = query("INSERT INTO threads (account, chat_type, thread_key, remote_ids)"
                              " VALUES (?, ?, ?, ?)");
    insert.addBindValue(key.account);
    insert.addBindValue(key.chatType);
    insert.addBindValue(key.remote);
    insert.addBindValue(remoteIdsText({remoteId}));
    const qint64 id = exec(insert, "creating a thread") ? insert.lastInsertId().toLongLong() : -1;
    insert.finish();
    return id;
}

qint64 HistoryStorePrivate::threadOfContext(const ChatContext &context) const
{
    const HistoryThreadKey key = HistoryThreadKey::of(context);
    if (!isOpen || !key.isValid())
        return -1;
    return const_cast<HistoryStorePrivate *>(this)->findThread(key);
}

// The thread's last message, from the thread's newest message.
bool HistoryStorePrivate::refreshLast(qint64 threadId)
{
    QSqlQuery &newest = query("SELECT id, text, time, incoming, state FROM messages"
                              " WHERE thread_id = ? ORDER BY time DESC, id DESC LIMIT 1");
    newest.addBindValue(threadId);
    if (!exec(newest, "reading a thread's last message"))
        return false;
    QVariant id(QVariant::LongLong);
    QString text;
    qint64 time = 0;
    bool incoming = false;
    int state = HistoryMessage::Received;
    if (newest.next()) {
        id = newest.value(0);
        text = newest.value(1).toString().left(SnippetLength);
        time = newest.value(2).toLongLong();
        incoming = newest.value(3).toBool();
        state = newest.value(4).toInt();
    }
    newest.finish();
    QSqlQuery &update = query("UPDATE threads SET last_message_id = ?, last_text = ?, last_time = ?,"
                              " last_incoming = ?, last_state = ? WHERE id = ?");
    update.addBindValue(id);
    update.addBindValue(nonNull(text));
    update.addBindValue(time);
    update.addBindValue(incoming);
    update.addBindValue(state);
    update.addBindValue(threadId);
    const bool ok = exec(update, "updating a thread's last message");
    update.finish();
    return ok;
}

HistoryThread HistoryStorePrivate::readThread(const QSqlQuery &q) const
{
    HistoryThread thread;
    HistoryThreadData *t = thread.d.data();
    t->id = q.value(0).toLongLong();
    t->accountPath = q.value(1).toString();
    t->chatType = ChatType(q.value(2).toInt());
    t->remoteIds = q.value(3).toString().split(QLatin1Char('\n'));
    t->lastMessageId = q.value(4).isNull() ? -1 : q.value(4).toLongLong();
    t->lastText = q.value(5).toString();
    const qint64 lastTime = q.value(6).toLongLong();
    t->lastTime = t->lastMessageId < 0 ? QDateTime() : QDateTime::fromMSecsSinceEpoch(lastTime, Qt::UTC);
    t->lastIncoming = q.value(7).toBool();
    t->lastState = HistoryMessage::State(q.value(8).toInt());
    t->unreadCount = q.value(9).toInt();
    t->draft = q.value(10).toString();
    t->topic = q.value(11).toString();
    return thread;
}

HistoryMessage HistoryStorePrivate::readMessage(const QSqlQuery &q) const
{
    HistoryMessage message;
    HistoryMessageData *m = message.d.data();
    m->id = q.value(0).toLongLong();
    m->threadId = q.value(1).toLongLong();
    m->token = q.value(2).toString();
    m->direction = q.value(3).toBool() ? HistoryMessage::Incoming : HistoryMessage::Outgoing;
    m->senderId = q.value(4).toString();
    m->sentTime = fromMsecs(q.value(5));
    m->receivedTime = fromMsecs(q.value(6));
    m->text = q.value(7).toString();
    m->state = HistoryMessage::State(q.value(8).toInt());
    m->statusCode = q.value(9).toInt();
    m->errorName = q.value(10).toString();
    m->read = q.value(11).toBool();
    return message;
}

QList<HistoryMessage> HistoryStorePrivate::readMessages(QSqlQuery &q)
{
    QList<HistoryMessage> result;
    bool anyParts = false;
    while (q.next()) {
        result.append(readMessage(q));
        anyParts = anyParts || q.value(12).toBool();
    }
    q.finish();
    if (anyParts)
        loadParts(result);
    return result;
}

void HistoryStorePrivate::loadParts(QList<HistoryMessage> &messages)
{
    QSqlQuery &q = query("SELECT mime_type, size, body FROM parts WHERE message_id = ? ORDER BY position");
    for (HistoryMessage &message : messages) {
        q.addBindValue(message.id());
        if (!exec(q, "reading a message's parts"))
            continue;
        QList<HistoryMessage::Part> parts;
        while (q.next())
            parts.append({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toByteArray()});
        q.finish();
        if (!parts.isEmpty())
            message.d->parts = parts;
    }
}

HistoryStore *HistoryStore::instance()
{
    // Owned by the application object; a new one is made should it go.
    static QPointer<HistoryStore> s_instance;
    if (!s_instance)
        s_instance = new HistoryStore(defaultPath(), QCoreApplication::instance());
    return s_instance;
}

QString HistoryStore::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/messaging0/history.db");
}

HistoryStore::HistoryStore(const QString &path, QObject *parent)
    : QObject(parent)
    , d_ptr(new HistoryStorePrivate(this))
{
    Q_D(HistoryStore);
    d->path = path;
    d->checkpoint.setSingleShot(true);
    d->checkpoint.setInterval(1000);
    connect(&d->checkpoint, &QTimer::timeout, this, [d] {
        if (!d->isOpen)
            return;
        QSqlQuery &q = d->query("PRAGMA wal_checkpoint(PASSIVE)");
        d->exec(q, "writing the history's log into its file");
        q.finish();
    });
    d->open();
    d->notifier = new HistoryNotifier(d->canonicalPath.isEmpty() ? path : d->canonicalPath, this);
    connect(d->notifier, &HistoryNotifier::changed, this,
            [d](const QVector<HistoryNotifier::Change> &changes) { d->emitChanges(changes); });
}

HistoryStore::~HistoryStore() = default;

void HistoryStore::connectNotify(const QMetaMethod &signal)
{
    Q_D(HistoryStore);
    if (signal == QMetaMethod::fromSignal(&HistoryStore::threadChanged)
        || signal == QMetaMethod::fromSignal(&HistoryStore::threadRemoved)
        || signal == QMetaMethod::fromSignal(&HistoryStore::messageAdded)
        || signal == QMetaMethod::fromSignal(&HistoryStore::messageChanged)
        || signal == QMetaMethod::fromSignal(&HistoryStore::messageRemoved)) {
        if (d->notifier)
            d->notifier->listen();
    }
}

bool HistoryStore::isOpen() const
{
    Q_D(const HistoryStore);
    return d->isOpen;
}

QString HistoryStore::path() const
{
    Q_D(const HistoryStore);
    return d->path;
}

qint64 HistoryStore::addMessage(const ChatContext &context, const HistoryMessage &message)
{
    Q_D(HistoryStore);
    const HistoryThreadKey key = HistoryThreadKey::of(context);
    if (!key.isValid()) {
        qCWarning(lcHistory) << "a message without account or remote id is not stored";
        return -1;
    }
    const QString token = message.storageToken();
    const bool incoming = message.isIncoming();
    QDateTime sent = message.sentTime();
    QDateTime received = message.receivedTime();
    QDateTime time = message.time();
    QDateTime &first = incoming ? received : sent;
    if (!time.isValid())
        first = time = QDateTime::currentDateTimeUtc();
    const bool read = message.isRead();
    const QList<HistoryMessage::Part> parts = message.parts();

    if (!d->begin())
        return -1;
    qint64 threadId = d->findThread(key);
    if (threadId < 0) {
        threadId = d->createThread(key, context.remoteUid());
        if (threadId < 0) {
            d->rollback();
            return -1;
        }
    } else {
        QSqlQuery &existing = d->query("SELECT id FROM messages WHERE thread_id = ? AND token = ?");
        existing.addBindValue(threadId);
        existing.addBindValue(token);
        qint64 id = -1;
        const bool ok = d->exec(existing, "looking up a message");
        if (ok && existing.next())
            id = existing.value(0).toLongLong();
        existing.finish();
        if (!ok || id >= 0) {
            d->rollback();
            return ok ? id : -1;
        }
    }

    // Connection managers stamp messages to the second. Such a stamp comes
    // a millisecond after what the history already holds of its second, in
    // its thread and in the list: a reply within the second of the message
    // it answers sorts after it, and its thread above one written to
    // earlier in that second, as they were stored. (The key of a message
    // without a token is made from the stamp as given, above.)
    if (time.time().msec() == 0) {
        const qint64 ms = time.toMSecsSinceEpoch();
        QSqlQuery &latest = d->query("SELECT max(last_time) FROM threads WHERE last_time >= ? AND last_time < ?");
        latest.addBindValue(ms);
        latest.addBindValue(ms + 1000);
        QVariant latestMs;
        if (d->exec(latest, "reading the latest time of a second") && latest.next())
            latestMs = latest.value(0);
        latest.finish();
        // The stamp that HistoryMessage::time() picks stays equal to time.
        QDateTime &stamp = first.isValid() ? first : (incoming ? sent : received);
        if (!latestMs.isNull())
            stamp = time = QDateTime::fromMSecsSinceEpoch(latestMs.toLongLong() + 1, Qt::UTC);
    }

    QSqlQuery &insert = d->query(
        "INSERT INTO messages (thread_id, token, incoming, sender, sent_time, received_time, time,"
        " text, state, status_code, error_name, has_parts)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.addBindValue(threadId);
    insert.addBindValue(token);
    insert.addBindValue(incoming);
    insert.addBindValue(nonNull(message.senderId()));
    insert.addBindValue(msecs(sent));
    insert.addBindValue(msecs(received));
    insert.addBindValue(time.toMSecsSinceEpoch());
    insert.addBindValue(nonNull(message.text()));
    insert.addBindValue(int(message.state()));
    insert.addBindValue(message.statusCode());
    insert.addBindValue(nonNull(message.errorName()));
    insert.addBindValue(!parts.isEmpty());
    if (!d->exec(insert, "storing a message")) {
        insert.finish();
        d->rollback();
        return -1;
    }
    const qint64 id = insert.lastInsertId().toLongLong();
    insert.finish();
    if (!read) {
        QSqlQuery &unread = d->query("INSERT INTO unread (thread_id, message_id) VALUES (?, ?)");
        unread.addBindValue(threadId);
        unread.addBindValue(id);
        const bool ok = d->exec(unread, "keeping a message unread");
        unread.finish();
        if (!ok) {
            d->rollback();
            return -1;
        }
    }

    QSqlQuery &part = d->query("INSERT INTO parts (message_id, position, mime_type, size, body)"
                               " VALUES (?, ?, ?, ?, ?)");
    for (int i = 0; i < parts.size(); ++i) {
        const HistoryMessage::Part &p = parts.at(i);
        part.addBindValue(id);
        part.addBindValue(i);
        part.addBindValue(nonNull(p.mimeType));
        part.addBindValue(qMax(p.size, qint64(p.body.size())));
        part.addBindValue(p.body.size() <= HistoryMessage::MaxPartBodySize ? QVariant(p.body) : QVariant(QVariant::ByteArray));
        const bool ok = d->exec(part, "storing a message part");
        part.finish();
        if (!ok) {
            d->rollback();
            return -1;
        }
    }

    // The thread's counters, in the same transaction. The new message is
    // the last one unless an older message came late.
    QSqlQuery &thread = d->query(
        "UPDATE threads SET"
        " unread_count = unread_count + ?,"
        " last_message_id = CASE WHEN last_message_id IS NULL OR last_time <= ? THEN ? ELSE last_message_id END,"
        " last_text = CASE WHEN last_message_id IS NULL OR last_time <= ? THEN ? ELSE last_text END,"
        " last_incoming = CASE WHEN last_message_id IS NULL OR last_time <= ? THEN ? ELSE last_incoming END,"
        " last_state = CASE WHEN last_message_id IS NULL OR last_time <= ? THEN ? ELSE last_state END,"
        " last_time = CASE WHEN last_message_id IS NULL OR last_time <= ? THEN ? ELSE last_time END"
        " WHERE id = ?");
    const qint64 ms = time.toMSecsSinceEpoch();
    thread.addBindValue(read ? 0 : 1);
    thread.addBindValue(ms);
    thread.addBindValue(id);
    thread.addBindValue(ms);
    thread.addBindValue(nonNull(message.text().left(SnippetLength)));
    thread.addBindValue(ms);
    thread.addBindValue(incoming);
    thread.addBindValue(ms);
    thread.addBindValue(int(message.state()));
    thread.addBindValue(ms);
    thread.addBindValue(ms);
    thread.addBindValue(threadId);
    const bool ok = d->exec(thread, "updating a thread");
    thread.finish();
    if (!ok) {
        d->rollback();
        return -1;
    }
    d->note(HistoryNotifier::MessageAdded, threadId, id);
    d->note(HistoryNotifier::ThreadChanged, threadId);
    return d->commit() ? id : -1;
}

bool HistoryStore::setMessageState(const ChatContext &context, const QString &token,
                                   HistoryMessage::State state, int statusCode,
                                   const QString &errorName, const QString &connectionToken)
{
    Q_D(HistoryStore);
    const HistoryThreadKey key = HistoryThreadKey::of(context);
    if (!key.isValid() || token.isEmpty())
        return false;
    const bool keepsReason = state == HistoryMessage::Failed || state == HistoryMessage::Retrying;
    if (!keepsReason) {
        statusCode = 0;
    }
    const QString reason = keepsReason ? errorName : QString();

    if (!d->begin())
        return false;
    const qint64 threadId = d->findThread(key);
    if (threadId < 0) {
        d->rollback();
        return false;
    }
    qint64 id = -1;
    HistoryMessage::State current = HistoryMessage::Received;
    bool unchanged = false;
    // By the message's own token first, then by the connection manager's.
    for (const char *sql : {"SELECT id, state, status_code, error_name, connection_token FROM messages"
                            " WHERE thread_id = ? AND token = ?",
                            "SELECT id, state, status_code, error_name, connection_token FROM messages"
                            " WHERE thread_id = ? AND connection_token = ?"}) {
        QSqlQuery &find = d->query(sql);
        find.addBindValue(threadId);
        find.addBindValue(token);
        const bool ok = d->exec(find, "looking up a message");
        if (ok && find.next()) {
            id = find.value(0).toLongLong();
            current = HistoryMessage::State(find.value(1).toInt());
            unchanged = current == state && find.value(2).toInt() == statusCode
                        && find.value(3).toString() == reason
                        && (connectionToken.isEmpty() || find.value(4).toString() == connectionToken);
        }
        find.finish();
        if (!ok || id >= 0)
            break;
    }
    if (id < 0) {
        d->rollback();
        return false;
    }
    // A late answer of the send does not undo a delivery report.
    const bool stale = current == HistoryMessage::Delivered
                       && (state == HistoryMessage::Sent || state == HistoryMessage::Sending);
    if (unchanged || (stale && connectionToken.isEmpty())) {
        d->rollback();
        return true;
    }
    if (!connectionToken.isEmpty()) {
        QSqlQuery &keep = d->query("UPDATE messages SET connection_token = ? WHERE id = ?");
        keep.addBindValue(connectionToken);
        keep.addBindValue(id);
        const bool kept = d->exec(keep, "keeping a message's connection token");
        keep.finish();
        if (!kept) {
            d->rollback();
            return false;
        }
        if (stale) {
            d->commit();
            return true;
        }
    }
    QSqlQuery &update = d->query("UPDATE messages SET state = ?, status_code = ?, error_name = ? WHERE id = ?");
    update.addBindValue(int(state));
    update.addBindValue(statusCode);
    update.addBindValue(nonNull(reason));
    update.addBindValue(id);
    bool ok = d->exec(update, "changing a message's state");
    update.finish();
    QSqlQuery &last = d->query("UPDATE threads SET last_state = ? WHERE id = ? AND last_message_id = ?");
    last.addBindValue(int(state));
    last.addBindValue(threadId);
    last.addBindValue(id);
    ok = ok && d->exec(last, "changing a thread's last state");
    const bool lastChanged = ok && last.numRowsAffected() > 0;
    last.finish();
    if (!ok) {
        d->rollback();
        return false;
    }
    d->note(HistoryNotifier::MessageChanged, threadId, id);
    if (lastChanged)
        d->note(HistoryNotifier::ThreadChanged, threadId);
    return d->commit();
}

qint64 HistoryStore::threadId(const ChatContext &context) const
{
    Q_D(const HistoryStore);
    return d->threadOfContext(context);
}

HistoryThread HistoryStore::thread(qint64 id) const
{
    Q_D(const HistoryStore);
    if (!d->isOpen)
        return HistoryThread();
    auto *self = const_cast<HistoryStorePrivate *>(d);
    QSqlQuery &q = self->query("SELECT " THREAD_COLUMNS " FROM threads t WHERE t.id = ?");
    q.addBindValue(id);
    HistoryThread result;
    if (self->exec(q, "reading a thread") && q.next())
        result = d->readThread(q);
    q.finish();
    return result;
}

QList<HistoryThread> HistoryStore::threads(const ThreadFilter &filter, int limit,
                                           const HistoryThread &after) const
{
    Q_D(const HistoryStore);
    QList<HistoryThread> result;
    if (!d->isOpen)
        return result;
    auto *self = const_cast<HistoryStorePrivate *>(d);
    const QString match = filter.text.isEmpty() ? QString() : historyFtsQuery(filter.text);
    if (!filter.text.isEmpty() && match.isEmpty())
        return result;
    // One statement per combination of filters, so that each is prepared
    // once and its plan uses the index that fits (see the query-plan test).
    const bool byAccount = !filter.accountPath.isEmpty();
    const bool byText = !match.isEmpty();
    const bool paged = after.isValid();
    static const char *const base = "SELECT " THREAD_COLUMNS " FROM threads t WHERE 1";
    QByteArray sql(base);
    if (byAccount)
        sql += " AND t.account = :account";
    if (filter.unreadOnly)
        sql += " AND t.unread_count > 0";
    if (byText)
        sql += " AND t.id IN (SELECT rowid FROM threads_fts WHERE threads_fts MATCH :match)";
    if (paged)
        sql += " AND (t.last_time, t.id) < (:time, :id)";
    sql += " ORDER BY t.last_time DESC, t.id DESC LIMIT :limit";
    // Interned: the statement cache is keyed by the text's address.
    static QHash<QByteArray, QByteArray> interned;
    auto it = interned.find(sql);
    if (it == interned.end())
        it = interned.insert(sql, sql);
    QSqlQuery &q = self->query(it.value().constData());
    if (byAccount)
        q.bindValue(QStringLiteral(":account"), HistoryThreadKey::accountKey(filter.accountPath));
    if (byText)
        q.bindValue(QStringLiteral(":match"), match);
    if (paged) {
        q.bindValue(QStringLiteral(":time"), after.lastTime().isValid() ? after.lastTime().toMSecsSinceEpoch()
                                                                        : qint64(0));
        q.bindValue(QStringLiteral(":id"), after.id());
    }
    q.bindValue(QStringLiteral(":limit"), pageSize(limit));
    if (self->exec(q, "listing threads")) {
        while (q.next())
            result.append(d->readThread(q));
    }
    q.finish();
    return result;
}

bool HistoryStore::threadMatches(qint64 threadId, const ThreadFilter &filter) const
{
    const HistoryThread t = thread(threadId);
    if (!t.isValid())
        return false;
    if (!filter.accountPath.isEmpty() && t.accountPath() != HistoryThreadKey::accountKey(filter.accountPath))
        return false;
    if (filter.unreadOnly && t.unreadCount() == 0)
        return false;
    if (filter.text.isEmpty())
        return true;
    const QString match = historyFtsQuery(filter.text);
    if (match.isEmpty())
        return false;
    auto *self = const_cast<HistoryStorePrivate *>(d_func());
    QSqlQuery &q = self->query("SELECT 1 FROM threads_fts WHERE threads_fts MATCH ? AND rowid = ?");
    q.addBindValue(match);
    q.addBindValue(threadId);
    const bool found = self->exec(q, "matching a thread") && q.next();
    q.finish();
    return found;
}

bool HistoryStore::markRead(qint64 threadId)
{
    Q_D(HistoryStore);
    if (!d->begin())
        return false;
    QSqlQuery &unread = d->query("SELECT message_id FROM unread WHERE thread_id = ?");
    unread.addBindValue(threadId);
    QList<qint64> ids;
    bool ok = d->exec(unread, "listing unread messages");
    while (ok && unread.next())
        ids.append(unread.value(0).toLongLong());
    unread.finish();
    if (ok && !ids.isEmpty()) {
        QSqlQuery &mark = d->query("DELETE FROM unread WHERE thread_id = ?");
        mark.addBindValue(threadId);
        ok = d->exec(mark, "marking messages read");
        mark.finish();
    }
    QSqlQuery &count = d->query("UPDATE threads SET unread_count = 0 WHERE id = ? AND unread_count != 0");
    count.addBindValue(threadId);
    ok = ok && d->exec(count, "clearing an unread count");
    const bool counted = ok && count.numRowsAffected() > 0;
    count.finish();
    if (!ok) {
        d->rollback();
        return false;
    }
    for (qint64 id : qAsConst(ids))
        d->pending.append({HistoryNotifier::MessageChanged, threadId, id});
    if (counted || !ids.isEmpty())
        d->note(HistoryNotifier::ThreadChanged, threadId);
    return d->commit();
}

bool HistoryStore::markRead(const QList<qint64> &messageIds)
{
    Q_D(HistoryStore);
    if (!d->begin())
        return false;
    QSqlQuery &find = d->query("SELECT thread_id FROM messages WHERE id = ?");
    QSqlQuery &mark = d->query("DELETE FROM unread WHERE thread_id = ? AND message_id = ?");
    QSqlQuery &count = d->query("UPDATE threads SET unread_count = unread_count - 1 WHERE id = ?");
    bool ok = true;
    for (qint64 id : messageIds) {
        find.addBindValue(id);
        ok = d->exec(find, "looking up a message");
        const bool found = ok && find.next();
        const qint64 threadId = found ? find.value(0).toLongLong() : -1;
        find.finish();
        if (!ok)
            break;
        if (!found)
            continue;
        mark.addBindValue(threadId);
        mark.addBindValue(id);
        ok = d->exec(mark, "marking a message read");
        const bool wasUnread = ok && mark.numRowsAffected() > 0;
        mark.finish();
        if (ok && wasUnread) {
            count.addBindValue(threadId);
            ok = d->exec(count, "lowering an unread count");
            count.finish();
        }
        if (!ok)
            break;
        if (!wasUnread)
            continue;
        d->pending.append({HistoryNotifier::MessageChanged, threadId, id});
        d->note(HistoryNotifier::ThreadChanged, threadId);
    }
    if (!ok) {
        d->rollback();
        return false;
    }
    return d->commit();
}

bool HistoryStore::setDraft(qint64 threadId, const QString &text)
{
    Q_D(HistoryStore);
    if (!d->begin())
        return false;
    QSqlQuery &q = d->query("UPDATE threads SET draft = ? WHERE id = ?");
    q.addBindValue(nonNull(text));
    q.addBindValue(threadId);
    const bool ok = d->exec(q, "keeping a draft");
    const bool found = ok && q.numRowsAffected() > 0;
    q.finish();
    if (!found) {
        d->rollback();
        return false;
    }
    d->note(HistoryNotifier::ThreadChanged, threadId);
    return d->commit();
}

bool HistoryStore::setTopic(const ChatContext &context, const QString &topic)
{
    Q_D(HistoryStore);
    const HistoryThreadKey key = HistoryThreadKey::of(context);
    if (!key.isValid() || !d->begin())
        return false;
    qint64 threadId = d->findThread(key);
    if (threadId < 0 && topic.isEmpty()) {
        d->rollback();
        return true;
    }
    if (threadId < 0)
        threadId = d->createThread(key, context.remoteUid());
    QSqlQuery &q = d->query("UPDATE threads SET topic = ? WHERE id = ? AND topic IS NOT ?");
    q.addBindValue(nonNull(topic));
    q.addBindValue(threadId);
    q.addBindValue(nonNull(topic));
    const bool ok = threadId >= 0 && d->exec(q, "keeping a topic");
    const bool changed = ok && q.numRowsAffected() > 0;
    q.finish();
    if (!changed) {
        d->rollback();
        return ok;
    }
    d->note(HistoryNotifier::ThreadChanged, threadId);
    return d->commit();
}

bool HistoryStore::removeThread(qint64 threadId)
{
    Q_D(HistoryStore);
    if (!d->begin())
        return false;
    QSqlQuery &messages = d->query("DELETE FROM messages WHERE thread_id = ?");
    messages.addBindValue(threadId);
    bool ok = d->exec(messages, "removing a thread's messages");
    messages.finish();
    QSqlQuery &thread = d->query("DELETE FROM threads WHERE id = ?");
    thread.addBindValue(threadId);
    ok = ok && d->exec(thread, "removing a thread");
    const bool found = ok && thread.numRowsAffected() > 0;
    thread.finish();
    if (!found) {
        d->rollback();
        return false;
    }
    d->note(HistoryNotifier::ThreadRemoved, threadId);
    return d->commit();
}

bool HistoryStore::removeMessages(const QList<qint64> &messageIds)
{
    Q_D(HistoryStore);
    if (!d->begin())
        return false;
    QSqlQuery &find = d->query("SELECT m.thread_id, EXISTS (SELECT 1 FROM unread u"
                               " WHERE u.thread_id = m.thread_id AND u.message_id = m.id)"
                               " FROM messages m WHERE m.id = ?");
    QSqlQuery &remove = d->query("DELETE FROM messages WHERE id = ?");
    QSqlQuery &count = d->query("UPDATE threads SET unread_count = unread_count - 1 WHERE id = ?");
    QSet<qint64> threads;
    bool ok = true;
    for (qint64 id : messageIds) {
        find.addBindValue(id);
        ok = d->exec(find, "looking up a message");
        const bool found = ok && find.next();
        const qint64 threadId = found ? find.value(0).toLongLong() : -1;
        const bool unread = found && find.value(1).toBool();
        find.finish();
        if (!ok)
            break;
        if (!found)
            continue;
        remove.addBindValue(id);
        ok = d->exec(remove, "removing a message");
        remove.finish();
        if (ok && unread) {
            count.addBindValue(threadId);
            ok = d->exec(count, "lowering an unread count");
            count.finish();
        }
        if (!ok)
            break;
        threads.insert(threadId);
        d->pending.append({HistoryNotifier::MessageRemoved, threadId, id});
    }
    for (auto it = threads.cbegin(); ok && it != threads.cend(); ++it) {
        ok = d->refreshLast(*it);
        d->note(HistoryNotifier::ThreadChanged, *it);
    }
    if (!ok) {
        d->rollback();
        return false;
    }
    return d->commit();
}

HistoryMessage HistoryStore::message(qint64 id) const
{
    Q_D(const HistoryStore);
    if (!d->isOpen)
        return HistoryMessage();
    auto *self = const_cast<HistoryStorePrivate *>(d);
    QSqlQuery &q = self->query("SELECT " MESSAGE_COLUMNS " FROM messages m WHERE m.id = ?");
    q.addBindValue(id);
    QList<HistoryMessage> result;
    if (self->exec(q, "reading a message"))
        result = self->readMessages(q);
    q.finish();
    return result.isEmpty() ? HistoryMessage() : result.first();
}

qint64 HistoryStore::messageId(const ChatContext &context, const QString &token) const
{
    Q_D(const HistoryStore);
    const qint64 threadId = d->threadOfContext(context);
    if (threadId < 0)
        return -1;
    auto *self = const_cast<HistoryStorePrivate *>(d);
    QSqlQuery &q = self->query("SELECT id FROM messages WHERE thread_id = ? AND token = ?");
    q.addBindValue(threadId);
    q.addBindValue(token);
    qint64 id = -1;
    if (self->exec(q, "looking up a message") && q.next())
        id = q.value(0).toLongLong();
    q.finish();
    return id;
}

QList<HistoryMessage> HistoryStore::messages(qint64 threadId, int limit,
                                             const HistoryMessage &before) const
{
    Q_D(const HistoryStore);
    if (!d->isOpen)
        return {};
    auto *self = const_cast<HistoryStorePrivate *>(d);
    if (before.id() < 0) {
        QSqlQuery &q = self->query("SELECT " MESSAGE_COLUMNS " FROM messages m WHERE m.thread_id = ?"
                                   " ORDER BY m.time DESC, m.id DESC LIMIT ?");
        q.addBindValue(threadId);
        q.addBindValue(pageSize(limit));
        return self->exec(q, "listing messages") ? self->readMessages(q) : QList<HistoryMessage>();
    }
    QSqlQuery &q = self->query("SELECT " MESSAGE_COLUMNS " FROM messages m WHERE m.thread_id = ?"
                               " AND (m.time, m.id) < (?, ?) ORDER BY m.time DESC, m.id DESC LIMIT ?");
    q.addBindValue(threadId);
    q.addBindValue(before.time().toMSecsSinceEpoch());
    q.addBindValue(before.id());
    q.addBindValue(pageSize(limit));
    return self->exec(q, "listing messages") ? self->readMessages(q) : QList<HistoryMessage>();
}

QList<HistoryMessage> HistoryStore::newerMessages(qint64 threadId, const HistoryMessage &after,
                                                  int limit) const
{
    Q_D(const HistoryStore);
    if (!d->isOpen || after.id() < 0)
        return {};
    auto *self = const_cast<HistoryStorePrivate *>(d);
    QSqlQuery &q = self->query("SELECT " MESSAGE_COLUMNS " FROM messages m WHERE m.thread_id = ?"
                               " AND (m.time, m.id) > (?, ?) ORDER BY m.time, m.id LIMIT ?");
    q.addBindValue(threadId);
    q.addBindValue(after.time().toMSecsSinceEpoch());
    q.addBindValue(after.id());
    q.addBindValue(pageSize(limit));
    return self->exec(q, "listing messages") ? self->readMessages(q) : QList<HistoryMessage>();
}

QList<HistoryMessage> HistoryStore::messagesAround(qint64 messageId, int count) const
{
    const HistoryMessage hit = message(messageId);
    if (hit.id() < 0)
        return {};
    const int side = qBound(0, count, MaxPageSize);
    QList<HistoryMessage> result;
    if (side > 0) {
        const QList<HistoryMessage> newer = newerMessages(hit.threadId(), hit, side);
        for (auto it = newer.crbegin(); it != newer.crend(); ++it)
            result.append(*it);
    }
    result.append(hit);
    if (side > 0)
        result.append(messages(hit.threadId(), side, hit));
    return result;
}

QList<HistoryMessage> HistoryStore::search(const QString &text, int limit, qint64 beforeId,
                                           qint64 threadId) const
{
    Q_D(const HistoryStore);
    const QString match = historyFtsQuery(text);
    if (!d->isOpen || match.isEmpty())
        return {};
    auto *self = const_cast<HistoryStorePrivate *>(d);
    // Newest stored first: FTS5 walks its index by rowid in either
    // direction, so a page costs the same however many messages match. One
    // statement per case keeps every constraint one that FTS5 can use.
#define SEARCH_SELECT                                                                 \
    "SELECT " MESSAGE_COLUMNS ", snippet(messages_fts, 0, '[', ']', '…', 12)"         \
    " FROM messages_fts JOIN messages m ON m.id = messages_fts.rowid"                  \
    " WHERE messages_fts MATCH ?"
#define SEARCH_ORDER " ORDER BY messages_fts.rowid DESC LIMIT ?"
    const char *const statements[] = {
        SEARCH_SELECT SEARCH_ORDER,
        SEARCH_SELECT " AND messages_fts.rowid < ?" SEARCH_ORDER,
        SEARCH_SELECT " AND m.thread_id = ?" SEARCH_ORDER,
        SEARCH_SELECT " AND messages_fts.rowid < ? AND m.thread_id = ?" SEARCH_ORDER,
    };
#undef SEARCH_SELECT
#undef SEARCH_ORDER
    QSqlQuery &q = self->query(statements[(beforeId >= 0 ? 1 : 0) + (threadId >= 0 ? 2 : 0)]);
    q.addBindValue(match);
    if (beforeId >= 0)
        q.addBindValue(beforeId);
    if (threadId >= 0)
        q.addBindValue(threadId);
    q.addBindValue(pageSize(limit));
    QList<HistoryMessage> result;
    if (!self->exec(q, "searching the history"))
        return result;
    QStringList snippets;
    bool anyParts = false;
    while (q.next()) {
        result.append(d->readMessage(q));
        snippets.append(q.value(13).toString());
        anyParts = anyParts || q.value(12).toBool();
    }
    q.finish();
    for (int i = 0; i < result.size(); ++i)
        result[i].d->snippet = snippets.at(i);
    if (anyParts)
        self->loadParts(result);
    return result;
}
