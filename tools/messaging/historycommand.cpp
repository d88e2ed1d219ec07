// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historycommand.h"

#include "commandline.h"
#include "commands.h"

#include <messaging0/historystore.h>
#include <messaging0/messagestatus.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>

using CommandLine::escaped;
using CommandLine::usageError;

namespace {

const char HistoryUsage[] =
    "Usage: messaging history <threads|show|search|read|delete> [options]\n"
    "\n"
    "  threads [--account A] [--unread]\n"
    "         one thread a line: thread id, account, remote ids (joined by\n"
    "         commas), unread count, time of the last message, its text\n"
    "  show THREAD-ID | show --account A --to ID   [--limit N]\n"
    "         the thread's messages, oldest first (with --limit the newest N):\n"
    "         time, in or out, sender, state, text\n"
    "  search TEXT [--limit N]\n"
    "         messages holding every word of TEXT, newest first: thread id,\n"
    "         time, sender, snippet (matches between [ and ])\n"
    "  read THREAD-ID     marks every message of the thread read\n"
    "  delete THREAD-ID   removes the thread and its messages\n"
    "\n"
    "Fields are separated by tabs; tabs, line breaks and backslashes in texts are\n"
    "written as \\t, \\n, \\\\. Times are UTC in ISO 8601. The history is\n"
    "$XDG_DATA_HOME/messaging0/history.db (~/.local/share/messaging0/history.db).\n";

constexpr int PageSize = 200;

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QStringLiteral("-");
}

QString stateText(const HistoryMessage &message)
{
    switch (message.state()) {
    case HistoryMessage::Received: return QStringLiteral("received");
    case HistoryMessage::Sending: return QStringLiteral("sending");
    case HistoryMessage::Sent: return QStringLiteral("sent");
    case HistoryMessage::Delivered: return QStringLiteral("delivered");
    case HistoryMessage::Failed:
    case HistoryMessage::Retrying:
        break;
    }
    QString reason = MessageStatus::description(message.statusCode());
    if (!message.errorName().isEmpty())
        reason += QStringLiteral(", ") + message.errorName();
    return QStringLiteral("%1 (status %2: %3)")
        .arg(message.state() == HistoryMessage::Failed ? QStringLiteral("failed") : QStringLiteral("retrying"))
        .arg(message.statusCode())
        .arg(reason);
}

QString senderText(const HistoryMessage &message)
{
    if (!message.senderId().isEmpty())
        return escaped(message.senderId());
    return message.isIncoming() ? QStringLiteral("-") : QStringLiteral("me");
}

HistoryStore *openStore()
{
    HistoryStore *store = HistoryStore::instance();
    if (!store->isOpen()) {
        err() << "messaging history: the history " << store->path() << " cannot be opened" << Qt::endl;
        return nullptr;
    }
    return store;
}

// The command's options plus --help; -1 to go on, else the exit code.
int parseOptions(QCoreApplication &app, const QString &command, const QString &description,
                 const QStringList &arguments, QCommandLineParser &parser, int maxPositional)
{
    parser.setApplicationDescription(description);
    int unused = 0;
    return CommandLine::parse(app, command, arguments, parser, &unused, maxPositional, 0);
}

// A positive --limit, or 0 when not given; -1 for a bad value.
int limitOf(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (!parser.isSet(option))
        return 0;
    bool ok = false;
    const int limit = parser.value(option).toInt(&ok);
    return ok && limit > 0 ? limit : -1;
}

// A thread id given on the command line, known to the store; -1 (said) otherwise.
qint64 threadOf(HistoryStore *store, const QString &command, const QString &argument, int *exitCode)
{
    bool ok = false;
    const qint64 id = argument.toLongLong(&ok);
    if (!ok || id <= 0) {
        *exitCode = usageError(command, QStringLiteral("not a thread id: %1").arg(argument));
        return -1;
    }
    if (!store->thread(id).isValid()) {
        err() << "messaging " << command << ": no thread " << id << Qt::endl;
        *exitCode = ExitUsage;
        return -1;
    }
    return id;
}

int listThreads(QCoreApplication &app, const QStringList &arguments)
{
    const QString command = QStringLiteral("history threads");
    QCommandLineParser parser;
    const QCommandLineOption account(QStringLiteral("account"),
        QStringLiteral("Only this account's threads (object path or its short form)."), QStringLiteral("path"));
    const QCommandLineOption unread(QStringLiteral("unread"), QStringLiteral("Only threads with unread messages."));
    parser.addOptions({account, unread});
    const int parsed = parseOptions(app, command,
        QStringLiteral("Lists the threads of the history, the newest first."), arguments, parser, 0);
    if (parsed >= 0)
        return parsed;
    HistoryStore *store = openStore();
    if (!store)
        return ExitEnvironment;
    HistoryStore::ThreadFilter filter;
    filter.accountPath = CommandLine::fullAccountPath(parser.value(account));
    filter.unreadOnly = parser.isSet(unread);
    HistoryThread after;
    int count = 0;
    for (;;) {
        const QList<HistoryThread> page = store->threads(filter, PageSize, after);
        for (const HistoryThread &thread : page) {
            QStringList ids;
            for (const QString &id : thread.remoteIds())
                ids << escaped(id);
            out() << thread.id() << '\t' << thread.accountPath() << '\t' << ids.join(QLatin1Char(',')) << '\t'
                  << thread.unreadCount() << '\t' << timeText(thread.lastTime()) << '\t' << escaped(thread.lastText())
                  << '\n';
        }
        count += page.size();
        if (page.size() < PageSize)
            break;
        after = page.last();
    }
    out().flush();
    err() << "messaging: " << count << " thread(s)" << Qt::endl;
    return ExitSuccess;
}

int showThread(QCoreApplication &app, const QStringList &arguments)
{
    const QString command = QStringLiteral("history show");
    QCommandLineParser parser;
    const QCommandLineOption account(QStringLiteral("account"),
        QStringLiteral("With --to: the thread's account (object path or its short form)."), QStringLiteral("path"));
    const QCommandLineOption to(QStringLiteral("to"),
        QStringLiteral("With --account: the other party of a one-to-one thread."), QStringLiteral("remote id"));
    const QCommandLineOption limit(QStringLiteral("limit"),
        QStringLiteral("Only the newest N messages."), QStringLiteral("N"));
    parser.addOptions({account, to, limit});
    parser.addPositionalArgument(QStringLiteral("thread-id"), QStringLiteral("The thread (from 'history threads')."));
    const int parsed = parseOptions(app, command,
        QStringLiteral("Prints the messages of one thread, oldest first."), arguments, parser, 1);
    if (parsed >= 0)
        return parsed;
    const int max = limitOf(parser, limit);
    if (max < 0)
        return usageError(command, QStringLiteral("--limit needs a positive number"));
    const QStringList positional = parser.positionalArguments();
    const bool byContext = parser.isSet(account) || parser.isSet(to);
    if (byContext == !positional.isEmpty())
        return usageError(command, QStringLiteral("give a thread id, or --account and --to"));
    HistoryStore *store = openStore();
    if (!store)
        return ExitEnvironment;
    qint64 threadId = -1;
    int exitCode = ExitSuccess;
    if (byContext) {
        const QString accountPath = CommandLine::fullAccountPath(parser.value(account));
        const QString remoteId = parser.value(to).trimmed();
        if (accountPath.isEmpty() || remoteId.isEmpty())
            return usageError(command, QStringLiteral("--account and --to go together"));
        threadId = store->threadId(ChatContext(remoteId, accountPath, OneToOneChat, -1));
        if (threadId < 0) {
            err() << "messaging " << command << ": no thread with " << remoteId << " on " << accountPath << Qt::endl;
            return ExitUsage;
        }
    } else {
        threadId = threadOf(store, command, positional.first(), &exitCode);
        if (threadId < 0)
            return exitCode;
    }

    // Newest first from the store, page by page; printed oldest first.
    QList<HistoryMessage> messages;
    HistoryMessage before;
    for (;;) {
        const int want = max > 0 ? std::min(PageSize, max - int(messages.size())) : PageSize;
        const QList<HistoryMessage> page = store->messages(threadId, want, before);
        messages += page;
        if (page.size() < want || (max > 0 && messages.size() >= max))
            break;
        before = page.last();
    }
    std::reverse(messages.begin(), messages.end());
    for (const HistoryMessage &message : qAsConst(messages)) {
        out() << timeText(message.time()) << '\t' << (message.isIncoming() ? "in" : "out") << '\t'
              << senderText(message) << '\t' << stateText(message) << '\t' << escaped(message.text()) << '\n';
    }
    out().flush();
    err() << "messaging: " << messages.size() << " message(s) in thread " << threadId << Qt::endl;
    return ExitSuccess;
}

int searchHistory(QCoreApplication &app, const QStringList &arguments)
{
    const QString command = QStringLiteral("history search");
    QCommandLineParser parser;
    const QCommandLineOption limit(QStringLiteral("limit"),
        QStringLiteral("At most N results (default 50)."), QStringLiteral("N"));
    parser.addOption(limit);
    parser.addPositionalArgument(QStringLiteral("text"), QStringLiteral("The words to look for."));
    const int parsed = parseOptions(app, command,
        QStringLiteral("Finds the messages that hold every word given (as the start of a word;\n"
                       "case and accents ignored), newest first."),
        arguments, parser, 1);
    if (parsed >= 0)
        return parsed;
    const int max = limitOf(parser, limit);
    if (max < 0)
        return usageError(command, QStringLiteral("--limit needs a positive number"));
    if (parser.positionalArguments().isEmpty() || parser.positionalArguments().first().trimmed().isEmpty())
        return usageError(command, QStringLiteral("nothing to search for"));
    HistoryStore *store = openStore();
    if (!store)
        return ExitEnvironment;
    const QList<HistoryMessage> hits = store->search(parser.positionalArguments().first(), max > 0 ? max : 50);
    for (const HistoryMessage &hit : hits)
        out() << hit.threadId() << '\t' << timeText(hit.time()) << '\t' << senderText(hit) << '\t'
              << escaped(hit.snippet()) << '\n';
    out().flush();
    err() << "messaging: " << hits.size() << " message(s) found" << Qt::endl;
    return ExitSuccess;
}

// read and delete: one thread id.
int changeThread(QCoreApplication &app, const QString &sub, const QStringList &arguments)
{
    const QString command = QStringLiteral("history ") + sub;
    const bool remove = sub == QLatin1String("delete");
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("thread-id"), QStringLiteral("The thread (from 'history threads')."));
    const int parsed = parseOptions(app, command,
        remove ? QStringLiteral("Removes a thread and all its messages from the history.")
               : QStringLiteral("Marks every message of a thread read."),
        arguments, parser, 1);
    if (parsed >= 0)
        return parsed;
    if (parser.positionalArguments().isEmpty())
        return usageError(command, QStringLiteral("no thread id given"));
    HistoryStore *store = openStore();
    if (!store)
        return ExitEnvironment;
    int exitCode = ExitSuccess;
    const qint64 threadId = threadOf(store, command, parser.positionalArguments().first(), &exitCode);
    if (threadId < 0)
        return exitCode;
    if (!(remove ? store->removeThread(threadId) : store->markRead(threadId))) {
        err() << "messaging " << command << ": the history could not be written" << Qt::endl;
        return ExitEnvironment;
    }
    err() << "messaging: thread " << threadId << (remove ? " deleted" : " read") << Qt::endl;
    return ExitSuccess;
}

} // namespace

int runHistory(QCoreApplication &app, const QStringList &arguments)
{
    const QString sub = arguments.value(0);
    if (sub == QLatin1String("threads"))
        return listThreads(app, arguments.mid(1));
    if (sub == QLatin1String("show"))
        return showThread(app, arguments.mid(1));
    if (sub == QLatin1String("search"))
        return searchHistory(app, arguments.mid(1));
    if (sub == QLatin1String("read") || sub == QLatin1String("delete"))
        return changeThread(app, sub, arguments.mid(1));
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        out() << HistoryUsage;
        return ExitSuccess;
    }
    err() << (sub.isEmpty() ? QStringLiteral("messaging history: no subcommand given")
                            : QStringLiteral("messaging history: unknown subcommand '%1'").arg(sub))
          << "\n\n" << HistoryUsage;
    return ExitUsage;
}
