#include "queuecommand.h"

#include "commandline.h"

#include <messaging0/messagecontent.h>
#include <messaging0/queuedmessagesender.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTextStream>

namespace {

const char QueueUsage[] =
    "Usage: messaging queue <add|list|run> [options]\n"
    "\n"
    "  add    put messages into the persistent send queue (the same options as\n"
    "         send); they are in the queue file when the command returns\n"
    "  list   show what the queue file holds, oldest first\n"
    "  run    send what the queue holds, one message at a time, printing each\n"
    "         status, until the queue is empty (or --timeout)\n"
    "\n"
    "The queue is the library's: ~/.messaging-ui/sendqueue.dat.\n";

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

QString lockFileName(const QueuedMessageSender &queue)
{
    return QFileInfo(queue.queueFileName()).absolutePath() + QStringLiteral("/sendqueue.lock");
}

// Only one process may own the queue file at a time: a `run` saves its own
// view of the queue, which would drop messages another process added.
bool lockQueue(QLockFile &lock, const QString &command)
{
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    lock.getLockInfo(&pid, &host, &application);
    if (lock.error() == QLockFile::LockFailedError) {
        err() << "messaging " << command << ": the queue is being sent by process " << pid
              << " (messaging queue run); try again when it has finished" << Qt::endl;
    } else {
        err() << "messaging " << command << ": cannot lock the send queue" << Qt::endl;
    }
    return false;
}

int addToQueue(const QString &accountPath, const QString &remoteUid,
               const QList<SendCommand::Message> &messages)
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    QLockFile lock(lockFileName(queue));
    if (!lockQueue(lock, QStringLiteral("queue add")))
        return ExitEnvironment;
    queue.loadQueue();
    const int before = queue.messages().size();
    for (const SendCommand::Message &message : messages) {
        const QString content = message.isVCard ? QFileInfo(message.content).absoluteFilePath() : message.content;
        queue.sendMessage(MessageContent(accountPath, remoteUid, content, message.isVCard, 0));
    }
    // The queue saves without telling; what counts is what the file holds.
    QueuedMessageSender check;
    check.loadQueue();
    if (check.messages().size() != before + messages.size()) {
        err() << "messaging queue add: the queue file " << queue.queueFileName() << " could not be written"
              << Qt::endl;
        return ExitEnvironment;
    }
    const QList<MessageContent> stored = check.messages();
    for (int i = before; i < stored.size(); ++i)
        out() << "queued [" << i + 1 << "] " << describe(stored.at(i)) << Qt::endl;
    err() << "messaging: " << stored.size() << " message(s) in the queue" << Qt::endl;
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
                       "message's status, until the queue is empty."));
    int timeoutSeconds = 0;
    const int parsed = CommandLine::parse(app, QStringLiteral("queue run"), arguments, parser, &timeoutSeconds,
                                          0, DefaultRunTimeoutSeconds);
    if (parsed >= 0)
        return parsed;

    QueuedMessageSender probe;
    probe.createDataDirectory();
    QLockFile lock(lockFileName(probe));
    if (!lockQueue(lock, QStringLiteral("queue run")))
        return ExitEnvironment;
    QueueRunCommand run(timeoutSeconds);
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

void QueueRunCommand::accountManagerReady()
{
    m_queue = QueuedMessageSender::instance();
    connect(m_queue, &QueuedMessageSender::messageStatusChanged, this, &QueueRunCommand::onStatus);
    const int count = m_queue->messages().size();
    if (count == 0) {
        err() << "messaging: the queue is empty" << Qt::endl;
        finish(ExitSuccess);
        return;
    }
    setStage(QStringLiteral("the status of %1 queued message(s)").arg(count));
}

void QueueRunCommand::onStatus(const MessageContent &message, int status)
{
    ++m_done;
    if (status == 0)
        ++m_sent;
    out() << '[' << m_done << "] " << describe(message) << ": "
          << (status == 0 ? QStringLiteral("sent") : QStringLiteral("failed (status %1)").arg(status)) << Qt::endl;
    const int left = m_queue->messages().size();
    if (left > 0) {
        setStage(QStringLiteral("the status of %1 queued message(s)").arg(left));
        return;
    }
    err() << "messaging: " << m_sent << " of " << m_done << " message(s) sent; the queue is empty" << Qt::endl;
    finish(m_sent == m_done ? ExitSuccess : ExitMessageFailed);
}

void QueueRunCommand::timedOut()
{
    if (!m_queue)
        return;
    for (const MessageContent &message : m_queue->messages())
        out() << "still queued: " << describe(message) << Qt::endl;
}
