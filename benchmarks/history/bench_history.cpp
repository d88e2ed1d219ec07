// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The conversation history on a generated store of 10,000 threads and
// 1,000,000 messages plus one thread of 50,000 (and one of 2,000 unread
// messages among the 10,000). Each figure stands beside bare QtSql running
// the same statement on the same file in the same run, alternating:
//
//  1. first page of 50 threads from a new process, opening included
//     (target <= 20 ms, <= 1.5x bare);
//  2. a later page (the 101st) of 50 threads (target <= 5 ms);
//  3. newest 50 messages of the 50,000-message thread (target <= 10 ms);
//  4. one-word and prefix search, top 50 (target <= 50 ms each, and >= 5x
//     faster than a LIKE scan of the same data for the same rows);
//  5. storing an incoming message, median and p99 (target p99 <= 5 ms);
//  6. marking the 2,000-message thread read (target <= 10 ms);
//  7. memory of a process that opens the store and loads a page of each
//     model, on a store of 1,000 messages and on the large one (target:
//     within 5 MB of each other).
//
// The generated file is cached in the build folder (generated once, in one
// transaction with prepared statements); each run works on a copy.
//
//   build/benchmarks/history/bench_history [rounds] [--regenerate]

#include "benchstats.h"

#include <messaging0/historymessagemodel.h>
#include <messaging0/historystore.h>
#include <messaging0/historythreadmodel.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cstdio>

namespace {

const QString Sms = QStringLiteral("/org/freedesktop/Telepathy/Account/ring/tel/account0");
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/gabble/jabber/me0");
constexpr qint64 BigThread = 10001;  // the 50,000-message thread
constexpr qint64 ReadThread = 1;     // 2,000 messages, all unread
const QString OneWord = QStringLiteral("kahvila");
const QString Prefix = QStringLiteral("kahv");

const char *const ThreadPage =
    "SELECT t.id, t.account, t.chat_type, t.remote_ids, t.last_message_id, t.last_text, t.last_time,"
    " t.last_incoming, t.last_state, t.unread_count, t.draft FROM threads t WHERE 1%1"
    " ORDER BY t.last_time DESC, t.id DESC LIMIT 51";
const char *const MessagePage =
    "SELECT m.id, m.thread_id, m.token, m.incoming, m.sender, m.sent_time, m.received_time, m.text,"
    " m.state, m.status_code, m.error_name,"
    " NOT EXISTS (SELECT 1 FROM unread u WHERE u.thread_id = m.thread_id AND u.message_id = m.id),"
    " m.has_parts FROM messages m WHERE m.thread_id = ?"
    " ORDER BY m.time DESC, m.id DESC LIMIT 51";
const char *const SearchPage =
    "SELECT m.id, m.thread_id, m.token, m.incoming, m.sender, m.sent_time, m.received_time, m.text,"
    " m.state, m.status_code, m.error_name,"
    " NOT EXISTS (SELECT 1 FROM unread u WHERE u.thread_id = m.thread_id AND u.message_id = m.id),"
    " m.has_parts, snippet(messages_fts, 0, '[', ']', '…', 12)"
    " FROM messages_fts JOIN messages m ON m.id = messages_fts.rowid"
    " WHERE messages_fts MATCH ? ORDER BY messages_fts.rowid DESC LIMIT 50";
const char *const LikePage =
    "SELECT m.id, m.thread_id, m.token, m.incoming, m.sender, m.sent_time, m.received_time, m.text,"
    " m.state, m.status_code, m.error_name,"
    " NOT EXISTS (SELECT 1 FROM unread u WHERE u.thread_id = m.thread_id AND u.message_id = m.id),"
    " m.has_parts FROM messages m WHERE m.text LIKE ? OR m.text LIKE ? ORDER BY m.id DESC LIMIT 50";

double percentile(QVector<qint64> samples, double p)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return double(samples.at(qMin(samples.size() - 1, int(samples.size() * p)))) / 1e6;
}

qint64 rssBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

QSqlDatabase bare(const QString &file, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        qFatal("cannot open %s", qPrintable(file));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    return db;
}

int drain(QSqlQuery &q)
{
    int rows = 0;
    while (q.next()) {
        for (int c = 0; c < 11; ++c)
            q.value(c);
        ++rows;
    }
    q.finish();
    return rows;
}

// --- Generation ---------------------------------------------------------------

struct Words
{
    QStringList vocabulary;
    QVector<double> cumulative;

    Words()
    {
        const char *syllables[] = {"ka", "lo", "mi", "su", "te", "vä", "nö", "ri", "pa", "ju",
                                   "hé", "ta", "ne", "ko", "li", "sa", "mä", "to", "ve", "ru"};
        QRandomGenerator random(7);
        double sum = 0;
        for (int i = 0; i < 3000; ++i) {
            QString word;
            const int n = 2 + random.bounded(3);
            for (int s = 0; s < n; ++s)
                word += QString::fromUtf8(syllables[random.bounded(20)]);
            // Never one of the measured words or their prefix.
            if (word.startsWith(Prefix))
                word.prepend(QLatin1Char('x'));
            vocabulary << word;
            sum += 1.0 / (i + 1);
            cumulative << sum;
        }
        for (double &c : cumulative)
            c /= sum;
    }

    QString text(QRandomGenerator &random) const
    {
        QStringList out;
        const int n = 3 + random.bounded(18);
        for (int i = 0; i < n; ++i) {
            const double r = random.generateDouble();
            out << vocabulary.at(int(std::lower_bound(cumulative.cbegin(), cumulative.cend(), r) - cumulative.cbegin()));
        }
        // About 1 in 2,000 messages has the one word, 1 in 500 "kahvi".
        const quint32 roll = random.bounded(2000);
        if (roll == 0)
            out.insert(random.bounded(out.size()), OneWord);
        else if (roll < 4)
            out.insert(random.bounded(out.size()), QStringLiteral("kahvi"));
        return out.join(QLatin1Char(' '));
    }
};

struct Generated
{
    qint32 thread;
    qint64 time;
};

// threads one-to-one threads of about messages / threads messages each;
// with big, one more thread of 50,000 and thread 1 of 2,000 unread.
void generate(const QString &file, int threads, int messages, bool big)
{
    QFile::remove(file);
    QFile::remove(file + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm"));
    {
        HistoryStore schema(file); // the library writes the schema
        if (!schema.isOpen())
            qFatal("cannot create %s", qPrintable(file));
    }
    QElapsedTimer timer;
    timer.start();
    QRandomGenerator random(42);
    const qint64 start = QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    const qint64 span = 3LL * 365 * 24 * 3600 * 1000;

    QVector<Generated> all;
    all.reserve(messages + (big ? 50000 : 0));
    QVector<int> sizes(threads + (big ? 1 : 0) + 1, 0);
    int left = messages;
    if (big) {
        sizes[ReadThread] = 2000;
        left -= 2000;
    }
    for (int t = 1; t <= threads; ++t) {
        if (big && t == ReadThread)
            continue;
        const int remaining = threads - t + 1;
        sizes[t] = t == threads ? left : qMax(1, int(random.bounded(2 * left / remaining)));
        left -= sizes[t];
    }
    if (big)
        sizes[BigThread] = 50000;
    for (int t = 1; t < sizes.size(); ++t) {
        for (int i = 0; i < sizes.at(t); ++i)
            all.append({t, start + qint64(random.generateDouble() * span)});
    }
    // Ids grow with time, as they do when messages arrive.
    std::sort(all.begin(), all.end(), [](const Generated &a, const Generated &b) { return a.time < b.time; });

    QSqlDatabase db = bare(file, QStringLiteral("generate"));
    // Nothing to protect while generating: no journal, no flush, and a
    // cache that holds the whole file.
    for (const char *pragma : {"PRAGMA journal_mode = DELETE", "PRAGMA journal_mode = OFF",
                               "PRAGMA synchronous = OFF", "PRAGMA cache_size = -1000000"})
        QSqlQuery(db).exec(QString::fromLatin1(pragma));
    db.transaction();
    QSqlQuery thread(db);
    thread.prepare(QStringLiteral("INSERT INTO threads (id, account, chat_type, thread_key, remote_ids)"
                                  " VALUES (?, ?, 0, ?, ?)"));
    for (int t = 1; t < sizes.size(); ++t) {
        // Numbers in their normal form (their own thread key) on the SMS
        // account, ids on the IM account.
        const bool sms = t % 3 != 0;
        const QString remote = sms ? QStringLiteral("+35840%1").arg(1000000 + t * 7, 7, 10, QLatin1Char('0'))
                                   : QStringLiteral("friend%1@example.com").arg(t);
        thread.addBindValue(t);
        thread.addBindValue(sms ? Sms : Im);
        thread.addBindValue(remote);
        thread.addBindValue(remote);
        if (!thread.exec())
            qFatal("thread: %s", qPrintable(thread.lastError().text()));
    }
    struct Last { qint64 id = 0; qint64 time = 0; QString text; bool incoming = false; int unread = 0; };
    QVector<Last> last(sizes.size());
    QVector<int> seen(sizes.size(), 0);
    const Words words;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO messages (id, thread_id, token, incoming, sender, sent_time, received_time, time,"
        " text, state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery unreadRow(db);
    unreadRow.prepare(QStringLiteral("INSERT INTO unread (thread_id, message_id) VALUES (?, ?)"));
    qint64 id = 0;
    for (const Generated &g : qAsConst(all)) {
        ++id;
        const int t = g.thread;
        const int index = seen[t]++;
        const bool incoming = t == ReadThread || random.bounded(2) == 0;
        // Thread 1 unread throughout; elsewhere the last incoming messages
        // of every tenth thread.
        const bool unread = incoming && (t == ReadThread || (t % 10 == 0 && index >= sizes.at(t) - 3));
        const QString text = words.text(random);
        insert.addBindValue(id);
        insert.addBindValue(t);
        insert.addBindValue(QStringLiteral("gen-%1").arg(id));
        insert.addBindValue(incoming);
        insert.addBindValue(incoming ? QStringLiteral("peer") : QStringLiteral(""));
        insert.addBindValue(g.time - 2000);
        insert.addBindValue(incoming ? QVariant(g.time) : QVariant(QVariant::LongLong));
        insert.addBindValue(g.time);
        insert.addBindValue(text);
        insert.addBindValue(incoming ? 0 : 3);
        if (!insert.exec())
            qFatal("message: %s", qPrintable(insert.lastError().text()));
        if (unread) {
            unreadRow.addBindValue(t);
            unreadRow.addBindValue(id);
            unreadRow.exec();
        }
        Last &l = last[t];
        l.id = id;
        l.time = g.time;
        l.text = text.left(200);
        l.incoming = incoming;
        l.unread += unread ? 1 : 0;
    }
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE threads SET last_message_id = ?, last_text = ?, last_time = ?,"
                                  " last_incoming = ?, last_state = ?, unread_count = ? WHERE id = ?"));
    for (int t = 1; t < sizes.size(); ++t) {
        const Last &l = last.at(t);
        update.addBindValue(l.id);
        update.addBindValue(l.text);
        update.addBindValue(l.time);
        update.addBindValue(l.incoming);
        update.addBindValue(l.incoming ? 0 : 3);
        update.addBindValue(l.unread);
        update.addBindValue(t);
        update.exec();
    }
    if (!db.commit())
        qFatal("commit: %s", qPrintable(db.lastError().text()));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("generate"));
    std::printf("generated %s: %d threads, %lld messages in %.1f s\n", qPrintable(file), int(sizes.size() - 1),
                id, timer.elapsed() / 1000.0);
}

bool copyStore(const QString &from, const QString &to)
{
    QFile::remove(to);
    QFile::remove(to + QStringLiteral("-wal"));
    QFile::remove(to + QStringLiteral("-shm"));
    return QFile::copy(from, to);
}

// --- Child processes ----------------------------------------------------------

int childFirstPage(const QString &mode, const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    int rows = 0;
    if (mode == QLatin1String("lib")) {
        HistoryStore store(file);
        if (qEnvironmentVariableIsSet("BENCH_HISTORY_SPLIT"))
            std::fprintf(stderr, "opened after %lld ns\n", timer.nsecsElapsed());
        rows = store.threads(HistoryStore::ThreadFilter(), 51).size();
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.exec(QString::fromLatin1(ThreadPage).arg(QString()));
        rows = drain(q);
    }
    const qint64 ns = timer.nsecsElapsed();
    std::printf("%lld %d\n", ns, rows);
    return rows == 51 ? 0 : 1;
}

int childMemory(const QString &file, qint64 threadId)
{
    const qint64 before = rssBytes();
    {
        HistoryStore store(file);
        HistoryThreadModel threads(&store);
        HistoryMessageModel messages(&store);
        messages.setThreadId(threadId);
        for (int i = 0; i < threads.rowCount(); ++i)
            threads.data(threads.index(i), HistoryThreadModel::LastTextRole);
        for (int i = 0; i < messages.rowCount(); ++i)
            messages.data(messages.index(i), HistoryMessageModel::TextRole);
        std::printf("%lld %d %d\n", rssBytes() - before, threads.rowCount(), messages.rowCount());
    }
    return 0;
}

QByteArray runChild(const QStringList &args)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + args);
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        qFatal("child %s failed: %s", qPrintable(args.join(QLatin1Char(' '))), child.readAllStandardError().constData());
    return child.readAllStandardOutput();
}

void report(const char *what, const QVector<qint64> &lib, const QVector<qint64> &bareNs, double target)
{
    const double l = medianMs(lib);
    const double b = medianMs(bareNs);
    std::printf("%-46s library %8.3f ms   bare QtSql %8.3f ms   ratio %5.2f   target <= %g ms\n", what, l, b,
                b > 0 ? l / b : 0, target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--child")) {
        if (args.value(1) == QLatin1String("first-page"))
            return childFirstPage(args.value(2), args.value(3));
        if (args.value(1) == QLatin1String("memory"))
            return childMemory(args.value(2), args.value(3).toLongLong());
        return 2;
    }
    const bool regenerate = args.removeAll(QStringLiteral("--regenerate")) > 0;
    const int rounds = qMax(5, args.value(0, QStringLiteral("31")).toInt());

    const QString dir = QStringLiteral(BENCH_DATA_DIR);
    QDir().mkpath(dir);
    // Named after the schema version and the generator's, so that a change
    // of either generates anew.
    const QString stamp = QStringLiteral("-v%1-g2.db").arg(HistoryStore::SchemaVersion);
    const QString large = dir + QStringLiteral("/history-1m") + stamp;
    const QString small = dir + QStringLiteral("/history-1k") + stamp;
    if (regenerate || !QFile::exists(large))
        generate(large, 10000, 1000000, true);
    if (regenerate || !QFile::exists(small))
        generate(small, 10, 1000, false);
    const QString work = dir + QStringLiteral("/history-work.db");
    if (!copyStore(large, work))
        qFatal("cannot copy the store");
    std::printf("store: %s (%.0f MB), %d rounds\n", qPrintable(large), QFileInfo(large).size() / 1e6, rounds);

    // 1. First page from a new process.
    {
        QVector<qint64> lib, bareNs;
        for (int i = 0; i < rounds; ++i) {
            lib << runChild({QStringLiteral("first-page"), QStringLiteral("lib"), work}).split(' ').first().toLongLong();
            bareNs << runChild({QStringLiteral("first-page"), QStringLiteral("bare"), work}).split(' ').first().toLongLong();
        }
        report("first page of 50 threads, new process", lib, bareNs, 20);
        std::printf("%-46s fastest: library %8.3f ms   bare QtSql %8.3f ms (the median carries the machine's load)\n",
                    "", *std::min_element(lib.cbegin(), lib.cend()) / 1e6,
                    *std::min_element(bareNs.cbegin(), bareNs.cend()) / 1e6);
    }

    HistoryStore store(work);
    if (!store.isOpen())
        qFatal("cannot open the store");
    QSqlDatabase db = bare(work, QStringLiteral("bare"));
    QSqlQuery q(db);
    q.setForwardOnly(true);

    // 2. A later page: the 101st, from the key of the 100th's last row.
    {
        HistoryThread after;
        QList<HistoryThread> page;
        for (int p = 0; p < 100; ++p) {
            page = store.threads(HistoryStore::ThreadFilter(), 50, after);
            after = page.constLast();
        }
        const QString sql = QString::fromLatin1(ThreadPage).arg(QStringLiteral(" AND (t.last_time, t.id) < (?, ?)"));
        QVector<qint64> lib, bareNs;
        QElapsedTimer timer;
        for (int i = 0; i < rounds; ++i) {
            timer.start();
            store.threads(HistoryStore::ThreadFilter(), 51, after);
            lib << timer.nsecsElapsed();
            timer.start();
            q.prepare(sql);
            q.addBindValue(after.lastTime().toMSecsSinceEpoch());
            q.addBindValue(after.id());
            q.exec();
            drain(q);
            bareNs << timer.nsecsElapsed();
        }
        report("101st page of 50 threads", lib, bareNs, 5);
    }

    // 3. Newest 50 of the 50,000-message thread.
    {
        QVector<qint64> lib, bareNs;
        QElapsedTimer timer;
        for (int i = 0; i < rounds; ++i) {
            timer.start();
            store.messages(BigThread, 51);
            lib << timer.nsecsElapsed();
            timer.start();
            q.prepare(QString::fromLatin1(MessagePage));
            q.addBindValue(BigThread);
            q.exec();
            drain(q);
            bareNs << timer.nsecsElapsed();
        }
        report("newest 50 of the 50,000-message thread", lib, bareNs, 10);
    }

    // 4. Search, and the LIKE scan that finds the same rows.
    for (const QString &word : {OneWord, Prefix}) {
        QVector<qint64> lib, bareNs, like;
        QElapsedTimer timer;
        int hits = 0;
        for (int i = 0; i < rounds; ++i) {
            timer.start();
            hits = store.search(word, 50).size();
            lib << timer.nsecsElapsed();
            timer.start();
            q.prepare(QString::fromLatin1(SearchPage));
            q.addBindValue(QLatin1Char('"') + word + QStringLiteral("\"*"));
            q.exec();
            drain(q);
            bareNs << timer.nsecsElapsed();
            timer.start();
            q.prepare(QString::fromLatin1(LikePage));
            q.addBindValue(word + QLatin1Char('%'));
            q.addBindValue(QStringLiteral("% ") + word + QLatin1Char('%'));
            q.exec();
            drain(q);
            like << timer.nsecsElapsed();
        }
        const QByteArray what = (word == OneWord ? QByteArray("one-word search, top 50 (") : QByteArray("prefix search, top 50 ("))
                                + word.toUtf8() + ")";
        report(what.constData(), lib, bareNs, 50);
        std::printf("%-46s LIKE scan %8.3f ms   LIKE / library %6.1f   target >= 5   (%d hits)\n", "",
                    medianMs(like), medianMs(like) / medianMs(lib), hits);
    }

    // 5. Storing an incoming message into a random thread.
    {
        QRandomGenerator random(9);
        QVector<qint64> lib, bareNs;
        QElapsedTimer timer;
        QSqlQuery insert(db), thread(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO messages (thread_id, token, incoming, sender, sent_time, received_time, time, text,"
            " state) VALUES (?, ?, 1, ?, ?, ?, ?, ?, 0)"));
        QSqlQuery unread(db);
        unread.prepare(QStringLiteral("INSERT INTO unread (thread_id, message_id) VALUES (?, ?)"));
        thread.prepare(QStringLiteral("UPDATE threads SET unread_count = unread_count + 1, last_message_id = ?,"
                                      " last_text = ?, last_time = ?, last_incoming = 1, last_state = 0 WHERE id = ?"));
        const int count = qMax(200, rounds * 20);
        for (int i = 0; i < count; ++i) {
            const int t = 2 + random.bounded(9990);
            const QString number = QStringLiteral("+35840%1").arg(1000000 + t * 7, 7, 10, QLatin1Char('0'));
            const QDateTime now = QDateTime::currentDateTimeUtc();
            HistoryMessage m;
            m.setSenderId(number);
            m.setToken(QStringLiteral("bench-lib-%1").arg(i));
            m.setText(QStringLiteral("Incoming message number %1, a text of typical length.").arg(i));
            m.setSentTime(now);
            m.setReceivedTime(now);
            timer.start();
            if (store.addMessage(ChatContext(number, Sms), m) < 0)
                qFatal("addMessage failed");
            lib << timer.nsecsElapsed();

            timer.start();
            db.transaction();
            insert.addBindValue(t);
            insert.addBindValue(QStringLiteral("bench-bare-%1").arg(i));
            insert.addBindValue(number);
            insert.addBindValue(now.toMSecsSinceEpoch());
            insert.addBindValue(now.toMSecsSinceEpoch());
            insert.addBindValue(now.toMSecsSinceEpoch());
            insert.addBindValue(m.text());
            insert.exec();
            unread.addBindValue(t);
            unread.addBindValue(insert.lastInsertId());
            unread.exec();
            thread.addBindValue(insert.lastInsertId());
            thread.addBindValue(m.text());
            thread.addBindValue(now.toMSecsSinceEpoch());
            thread.addBindValue(t);
            thread.exec();
            db.commit();
            bareNs << timer.nsecsElapsed();
        }
        std::printf("%-46s library median %6.3f ms p99 %6.3f ms   bare QtSql median %6.3f ms p99 %6.3f ms"
                    "   target p99 <= 5 ms\n",
                    "storing an incoming message", medianMs(lib), percentile(lib, 0.99), medianMs(bareNs),
                    percentile(bareNs, 0.99));
    }

    // 6. Marking the 2,000-message thread read; unread again between rounds.
    {
        QVector<qint64> lib, bareNs;
        QElapsedTimer timer;
        auto unmark = [&] {
            QSqlQuery(db).exec(QStringLiteral("INSERT OR IGNORE INTO unread (thread_id, message_id)"
                                              " SELECT thread_id, id FROM messages WHERE thread_id = %1").arg(ReadThread));
            QSqlQuery(db).exec(QStringLiteral("UPDATE threads SET unread_count = (SELECT count(*) FROM unread"
                                              " WHERE thread_id = %1) WHERE id = %1").arg(ReadThread));
        };
        for (int i = 0; i < qMin(rounds, 11); ++i) {
            unmark();
            timer.start();
            store.markRead(ReadThread);
            lib << timer.nsecsElapsed();
            unmark();
            timer.start();
            db.transaction();
            QSqlQuery(db).exec(QStringLiteral("SELECT message_id FROM unread WHERE thread_id = %1").arg(ReadThread));
            QSqlQuery(db).exec(QStringLiteral("DELETE FROM unread WHERE thread_id = %1").arg(ReadThread));
            QSqlQuery(db).exec(QStringLiteral("UPDATE threads SET unread_count = 0 WHERE id = %1").arg(ReadThread));
            db.commit();
            bareNs << timer.nsecsElapsed();
        }
        report("marking a 2,000-message thread read", lib, bareNs, 10);
    }
    q.finish();
    db.close();

    // 7. Model memory, each store in a new process.
    {
        const QList<QByteArray> s = runChild({QStringLiteral("memory"), small, QStringLiteral("1")}).trimmed().split(' ');
        const QList<QByteArray> l = runChild({QStringLiteral("memory"), work, QString::number(BigThread)}).trimmed().split(' ');
        const double smallMb = s.value(0).toLongLong() / 1048576.0;
        const double largeMb = l.value(0).toLongLong() / 1048576.0;
        std::printf("%-46s 1,000 messages %6.2f MB (%s+%s rows)   1,050,000 messages %6.2f MB (%s+%s rows)"
                    "   difference %5.2f MB   target <= 5 MB\n",
                    "store opened, a page of each model loaded", smallMb, s.value(1).constData(),
                    s.value(2).constData(), largeMb, l.value(1).constData(), l.value(2).constData(),
                    largeMb - smallMb);
    }
    return 0;
}
