// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The history's search-query builder on any text (UTF-8 input). The query
// it makes is run as an FTS5 MATCH on an in-memory table with the
// history's tokenizer.
//
// Checked, and aborted on when broken:
// - SQLite accepts every query (no syntax error, whatever the text);
// - the query is only quoted prefix terms: '"…"*' separated by spaces,
//   with every quote inside a term doubled;
// - an ASCII text's query finds a message made of the same text (beyond
//   ASCII, a character that Qt calls a letter may be a separator for the
//   tokenizer, and its word then matches nothing).

#include "historysearchquery.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void violated(const char *property, const QString &text, const QString &query)
{
    std::fprintf(stderr, "violated: %s\n  text = \"%s\"\n  query = \"%s\"\n", property,
                 text.toUtf8().constData(), query.toUtf8().constData());
    std::abort();
}

QSqlDatabase &database()
{
    static int argc = 1;
    static char name[] = "historysearchquery";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv); // for the driver plugin
    static QSqlDatabase db = [] {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz"));
        d.setDatabaseName(QStringLiteral(":memory:"));
        if (!d.open())
            std::abort();
        QSqlQuery(d).exec(QStringLiteral(
            "CREATE VIRTUAL TABLE t USING fts5(text, tokenize='unicode61 remove_diacritics 2', prefix='2 3')"));
        return d;
    }();
    return db;
}

// Every term is "…"* with inner quotes doubled.
bool wellFormed(const QString &query)
{
    int i = 0;
    while (i < query.size()) {
        if (query.at(i) != QLatin1Char('"'))
            return false;
        ++i;
        for (;;) {
            if (i >= query.size())
                return false;
            if (query.at(i) == QLatin1Char('"')) {
                if (i + 1 < query.size() && query.at(i + 1) == QLatin1Char('"')) {
                    i += 2;
                    continue;
                }
                break;
            }
            ++i;
        }
        if (query.mid(i, 2) != QLatin1String("\"*"))
            return false;
        i += 2;
        if (i < query.size()) {
            if (query.at(i) != QLatin1Char(' '))
                return false;
            ++i;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    QSqlDatabase &db = database();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString query = historyFtsQuery(text);
    if (!wellFormed(query))
        violated("only quoted prefix terms", text, query);
    if (query.isEmpty())
        return 0;

    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO t (rowid, text) VALUES (1, ?)"));
    insert.addBindValue(text);
    if (!insert.exec())
        std::abort();
    QSqlQuery match(db);
    match.prepare(QStringLiteral("SELECT rowid FROM t WHERE t MATCH ?"));
    match.addBindValue(query);
    if (!match.exec())
        violated(qPrintable(QStringLiteral("SQLite accepts it: ") + match.lastError().text()), text, query);
    const bool found = match.next();
    match.finish();
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii && !found)
        violated("finds its own text", text, query);
    QSqlQuery(db).exec(QStringLiteral("DELETE FROM t"));
    return 0;
}
