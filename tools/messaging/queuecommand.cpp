// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "queuecommand.h"

#include "commandline.h"

#include <messaging0/chatsessionmanager.h>
#include <messaging0/messagecontent.h>
#include <messaging0/messagestatus.h>
#include <messaging0/queuedmessagesender.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char QueueUsage[] =
    "Usage: messaging queue <add|list|run> [options]\n"
    "\n"
    "  add    put messages into the persistent send queue (the same options as\n"
    "         send); they are in the queue file when the command returns\n"
    "  list   show what the queue file holds, oldest first\n"
    "  run    send what the queue holds, one message at a time, printing each\n"
    "         status, until the queue is empty (or --timeout); --retry sends\n"
    "         messages that failed for a transient reason again\n"
    "\n"
    "The queue is the library's: ~/.messaging-ui/sendqueue.dat. Several processes\n"
    "may add to it at once, also while one of them sends it.\n";

QString describe(const MessageContent &message)
{
    QString what;
    if (!message.messageParts().isEmpty()) {
        what = QStringLiteral("%1 message parts").arg(message.messageParts().size());
    } else if (message.isVCard()) {
        what = QStringLiteral("vCard %1").arg(message.message());
    } else {
        QString text = message.message();
        if (text.size() > 40)
            text = text.left(37) + QStringLiteral("...");
        what = QStringLiteral("text \"%1\"").arg(text);
    }
    return QStringLiteral("to %1 on %2: %3").arg(message.remoteUid(), message.account(), what);
}

// Every process may add while another sends: each add is in the file when
// enqueue() returns, whoever else holds the queue.
int addToQueue(const QString &accountPath, const QString &remoteUid,
               const QList<SendCommand::Message> &messages)
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    queue.loadQueue();
    for (const SendCommand::Message &message : messages) {
        const QString content = message.isVCard ? QFileInfo(message.content).absoluteFilePath() : message.content;
        const MessageContent queued(accountPath, remoteUid, content, message.isVCard, 0);
        if (queue.enqueue(queued).isNull()) {
            err() << "messaging queue add: the queue file " << queue.queueFileName() << " could not be written: "
                  << queue.errorString() << "; the message is not queued" << Qt::endl;
            return ExitEnvironment;
        }
        out() << "queued [" << queue.messages().size() << "] " << describe(queued) << Qt::endl;
    }
    err() << "messaging: " << queue.messages().size() << " message(s) in the queue" << Qt::endl;
    return ExitSuccess;
}

// --help and no positional arguments; -1 to go on, else the exit code.
int parseSimple(QCoreApplication &app, const QString &command, const QString &description,
                const QStringList &arguments, QCommandLineParser &parser)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    if (!parser.parse(QStringList(app.arguments().first() + QLatin1Char(' ') + command) + arguments)) {
        err() << "messaging " << command << ": " << parser.errorText() << Qt::endl;
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(ExitSuccess);
    if (!parser.positionalArguments().isEmpty()) {
        err() << "messaging " << command << ": unexpected argument " << parser.positionalArguments().first()
              << Qt::endl;
        return ExitUsage;
    }
    return -1;
}

int listQueue(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    const int parsed = parseSimple(app, QStringLiteral("queue list"),
                                   QStringLiteral("Shows the messages of the send queue file, oldest first."),
                                   arguments, parser);
    if (parsed >= 0)
        return parsed;
    QueuedMessageSender queue;
    queue.loadQueue();
    const QList<MessageContent> messages = queue.messages();
    for (int i = 0; i < messages.size(); ++i)
        out() << '[' << i + 1 << "] " << describe(messages.at(i)) << Qt::endl;
    err() << "messaging: " << messages.size() << " message(s) in " << queue.queueFileName() << Qt::endl;
    return ExitSuccess;
}

constexpr int DefaultRunTimeoutSeconds = 60;

int runQueueRun(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sends the messages of the send queue one at a time and prints each\n"
                       "message's status, until the queue is empty. While another process\n"
                       "sends the queue, waits until it has sent everything."));
    const QCommandLineOption retry(QStringLiteral("retry"),
        QStringLiteral("Keep a message that failed for a transient reason (connection lost,\n"
                       "offline, no status in time) and send it again when its account is\n"
                       "usable, instead of ending it with the failure."));
    parser.addOption(retry);
    int timeoutSeconds = 0;
    const int parsed = CommandLine::parse(app, QStringLiteral("queue run"), arguments, parser, &timeoutSeconds,
                                          0, DefaultRunTimeoutSeconds);
    if (parsed >= 0)
        return parsed;

    QueueRunCommand run(timeoutSeconds, parser.isSet(retry));
    run.start();
    return app.exec();
}

} // namespace

int runQueue(QCoreApplication &app, const QStringList &arguments, const SendParser &parseSend)
{
    const QString sub = arguments.value(0);
    if (sub == QLatin1String("add")) {
        return parseSend(app, arguments.mid(1), QStringLiteral("queue add"),
            QStringLiteral("Puts texts and vCards for one recipient into the persistent send queue;\n"
                           "they are in the queue file when the command returns. 'messaging queue run'\n"
                           "(or any program of the library that uses the queue) sends them."),
            [](const QString &accountPath, const QString &remoteUid,
               const QList<SendCommand::Message> &messages, int) {
                return addToQueue(accountPath, remoteUid, messages);
            });
    }
    if (sub == QLatin1String("list"))
        return listQueue(app, arguments.mid(1));
    if (sub == QLatin1String("run"))
        return runQueueRun(app, arguments.mid(1));
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        out() << QueueUsage;
        return ExitSuccess;
    }
    err() << (sub.isEmpty() ? QStringLiteral("messaging queue: no subcommand given")
                            : QStringLiteral("messaging queue: unknown subcommand '%1'").arg(sub))
          << "\n\n" << QueueUsage;
    return ExitUsage;
}

QueueRunCommand::QueueRunCommand(int timeoutSeconds, bool retry, QObject *parent)
    : Command(timeoutSeconds, parent)
    , m_retry(retry)
{
}

void QueueRunCommand::accountManagerReady()
{
    // A queue of its own rather than instance(), so that the retry choice
    // holds from the first message on.
    m_queue = new QueuedMessageSender(this);
    m_queue->setRetryTransientFailures(m_retry);
    connect(m_queue, &QueuedMessageSender::messageAttempted, this, &QueueRunCommand::onAttempt);
    m_queue->init();
    // Another process may be sending: the file tells when it is done.
    connect(&m_poll, &QTimer::timeout, this, &QueueRunCommand::checkProgress);
    m_poll.start(200);
    checkProgress();
}

void QueueRunCommand::checkProgress()
{
    const int left = m_queue->messages().size();
    if (left == 0) {
        if (m_done == 0)
            err() << "messaging: the queue is empty" << Qt::endl;
        else
            err() << "messaging: " << m_sent << " of " << m_done << " message(s) sent; the queue is empty"
                  << Qt::endl;
        finish(m_sent == m_done ? ExitSuccess : ExitMessageFailed);
        return;
    }
    const qint64 sender = m_queue->sendingProcessId();
    if (sender != 0 && sender != QCoreApplication::applicationPid())
        setStage(QStringLiteral("process %1 to send the %2 queued message(s)").arg(sender).arg(left));
    else
        setStage(QStringLiteral("the status of %1 queued message(s)").arg(left));
}

void QueueRunCommand::keepConversation(const MessageContent &message)
{
    const ChatSessionPtr session = ChatSessionManager::instance()->getReadyChatSession(
        ChatContext(message.remoteUid(), message.account(), OneToOneChat, -1));
    if (session && !m_conversations.contains(session))
        m_conversations.append(session);
}

void QueueRunCommand::onAttempt(const QString &, const MessageContent &message, int status, bool willRetry)
{
    keepConversation(message);
    if (willRetry) {
        out() << "    " << describe(message) << ": not sent yet (status " << status << ", "
              << MessageStatus::description(status) << "); the queue tries again" << Qt::endl;
        checkProgress();
        return;
    }
    ++m_done;
    if (status == 0)
        ++m_sent;
    out() << '[' << m_done << "] " << describe(message) << ": "
          << (status == 0 ? QStringLiteral("sent") : QStringLiteral("failed (status %1)").arg(status)) << Qt::endl;
    checkProgress();
}

void QueueRunCommand::timedOut()
{
    if (!m_queue)
        return;
    for (const MessageContent &message : m_queue->messages())
        out() << "still queued: " << describe(message) << Qt::endl;
}
