// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "listencommand.h"

#include "commandline.h"

#include <messaging0/accountutils.h>
#include <messaging0/chatsessionmanager.h>
#include <messaging0/historystore.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <limits>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using CommandLine::escaped;

namespace {

// The base command's own time-out only guards the start; listening has
// its own duration.
constexpr int StartTimeoutSeconds = 30;

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing to do about a full pipe: one byte is enough to wake us.
    ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
}

QString deliveryText(int status)
{
    switch (status) {
    case ChatSession::Delivered: return QStringLiteral("delivered");
    case ChatSession::DeliveryTemporarilyFailed: return QStringLiteral("temporarily-failed");
    case ChatSession::DeliveryFailed: return QStringLiteral("failed");
    case ChatSession::DeliveryAccepted: return QStringLiteral("accepted");
    case ChatSession::DeliveryRead: return QStringLiteral("read");
    case ChatSession::DeliveryDeleted: return QStringLiteral("deleted");
    default: return QStringLiteral("unknown");
    }
}

} // namespace

ListenCommand::ListenCommand(const QString &accountPath, int durationSeconds, QObject *parent)
    : Command(durationSeconds > 0 ? durationSeconds + StartTimeoutSeconds : std::numeric_limits<int>::max(),
              parent)
    , m_accountPath(accountPath)
{
    stopOnSignals();
    if (durationSeconds > 0)
        QTimer::singleShot(durationSeconds * 1000, this, [this] { finish(ExitSuccess); });
}

ListenCommand::~ListenCommand()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

void ListenCommand::stopOnSignals()
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    m_signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        ssize_t got = ::read(signalPipe[0], &byte, 1);
        (void)got;
        finish(ExitSuccess);
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

void ListenCommand::accountManagerReady()
{
    if (!m_accountPath.isEmpty()) {
        if (!accountOrFail(m_accountPath))
            return;
    }
    ChatSessionManager *manager = ChatSessionManager::instance();
    connect(manager, &ChatSessionManager::prepareChatSession, this,
            [this](ChatSessionPtr session, bool) { adopt(session); });
    connect(manager, &ChatSessionManager::managerReady, this, [this] {
        setStage(m_accountPath.isEmpty() ? QStringLiteral("messages (Ctrl-C stops)")
                                         : QStringLiteral("messages on %1 (Ctrl-C stops)").arg(m_accountPath));
    });
    manager->initialize();
    followHistory();
}

// Whoever stored it: this process's handler, the recorder, another program.
void ListenCommand::followHistory()
{
    HistoryStore *store = HistoryStore::instance();
    if (!store->isOpen()) {
        err() << "messaging: the history " << store->path() << " cannot be opened; stored messages are not shown"
              << Qt::endl;
        return;
    }
    connect(store, &HistoryStore::messageAdded, this, [this, store](qint64 threadId, qint64 messageId) {
        const HistoryThread thread = store->thread(threadId);
        if (!m_accountPath.isEmpty() && thread.accountPath() != m_accountPath)
            return;
        const HistoryMessage message = store->message(messageId);
        out() << "stored\t" << message.time().toString(Qt::ISODate) << '\t' << thread.accountPath() << '\t'
              << escaped(thread.remoteIds().join(QLatin1Char(','))) << '\t' << threadId << '\t'
              << (message.isIncoming() ? "in" : "out") << '\t' << escaped(message.text()) << Qt::endl;
    });
}

void ListenCommand::adopt(const ChatSessionPtr &session)
{
    if (!session || m_sessions.contains(session))
        return;
    if (!m_accountPath.isEmpty() && session->accountPath() != m_accountPath)
        return;
    m_sessions.append(session);
    ChatSession *raw = session.data();
    connect(raw, &ChatSession::messageReceived, this,
            [this, raw](const IncomingMessage &message) { print(raw, message); });
    // Closed conversations are let go; a new one comes back through the
    // manager.
    connect(raw, &ChatSession::chatSessionClosed, this, [this, raw] {
        for (int i = m_sessions.size() - 1; i >= 0; --i) {
            if (m_sessions.at(i).data() == raw)
                QTimer::singleShot(0, this, [this, i, raw] {
                    if (i < m_sessions.size() && m_sessions.at(i).data() == raw)
                        m_sessions.removeAt(i);
                });
        }
    });
}

void ListenCommand::print(const ChatSession *session, const IncomingMessage &message)
{
    const QDateTime time = message.received().isValid() ? message.received() : QDateTime::currentDateTime();
    const QString stamp = time.toString(Qt::ISODate);
    if (message.isDeliveryReport()) {
        out() << "report\t" << stamp << '\t' << session->accountPath() << '\t' << escaped(session->remoteUid())
              << '\t' << (message.deliveredMessageId().isEmpty() ? message.deliveredToken()
                                                                 : message.deliveredMessageId())
              << '\t' << deliveryText(message.deliveryStatus()) << Qt::endl;
        return;
    }
    out() << "message\t" << stamp << '\t' << session->accountPath() << '\t' << escaped(session->remoteUid())
          << '\t' << escaped(message.senderId()) << '\t' << escaped(message.text()) << Qt::endl;
}

int runListen(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints incoming messages and delivery reports as they arrive, until\n"
        "interrupted. One line each, fields separated by tabs:\n"
        "  message <time> <account> <conversation> <sender> <text>\n"
        "  report  <time> <account> <conversation> <message id or token> <state>\n"
        "  stored  <time> <account> <conversation> <thread id> <in|out> <text>\n"
        "(stored: a message was kept in the history, by any program)\n"
        "Tabs, line breaks and backslashes in texts are written as \\t, \\n, \\\\."));
    const QCommandLineOption account(QStringLiteral("account"),
        QStringLiteral("Only this account (object path or its short form, e.g. idle/irc/alice0)."),
        QStringLiteral("path"));
    parser.addOption(account);
    const QString command = QStringLiteral("listen");
    int seconds = 0;
    const int parsed = CommandLine::parse(app, command, arguments, parser, &seconds, 0, 0);
    if (parsed >= 0)
        return parsed;
    const QString accountPath = CommandLine::fullAccountPath(parser.value(account));
    if (parser.isSet(account) && accountPath.isEmpty())
        return CommandLine::usageError(command, QStringLiteral("the account is empty (--account)"));

    if (!QDBusConnection::sessionBus().isConnected()) {
        QTextStream(stderr) << "messaging: no D-Bus session bus\n";
        return ExitEnvironment;
    }
    ListenCommand listen(accountPath, seconds);
    listen.start();
    return app.exec();
}
