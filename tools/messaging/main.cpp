// messaging: send messages and list accounts through libmessaging0.

#include "commands.h"
#include "listencommand.h"
#include "roomcommand.h"
#include "watchdog.h"
#include "queuecommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusError>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <chrono>
#include <memory>

#include <cstdio>

namespace {

const QString AccountPathPrefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
constexpr int DefaultTimeoutSeconds = 30;

const char Usage[] =
    "Usage: messaging <command> [options]\n"
    "\n"
    "Commands:\n"
    "  send       send texts (given, or read from files or standard input) and\n"
    "             vCards to one recipient and print each status\n"
    "  accounts   list the Telepathy accounts with their object paths\n"
    "  listen     print incoming messages and delivery reports until interrupted\n"
    "  room       join a room: print its members, set its topic, leave it\n"
    "\n"
    "Run 'messaging <command> --help' for the options of a command.\n"
    "\n"
    "Exit codes: 0 success, 1 a message failed, 2 bad usage or input,\n"
    "3 no session bus / account manager / account, 4 time-out.\n";

int usageError(const QString &command, const QString &message)
{
    QTextStream(stderr) << "messaging " << command << ": " << message << "\n"
                        << "Run 'messaging " << command << " --help' for usage.\n";
    return ExitUsage;
}

// Once the event loop runs, the command's own timer ends the run at its
// time-out; the watchdog stays behind it as a backstop.
constexpr std::chrono::milliseconds WatchdogGrace(3000);

// Connecting blocks; the watchdog bounds it by the run's time-out.
bool sessionBusAvailable(Watchdog &watchdog)
{
    watchdog.setStage("the session bus");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    watchdog.extend(WatchdogGrace);
    if (bus.isConnected())
        return true;
    QTextStream(stderr) << "messaging: no D-Bus session bus: " << bus.lastError().message()
                        << "\n";
    return false;
}

// Values of --text, --text-file and --vcard in the order they were given;
// a text file's name stands in for its content until it is read.
QList<SendCommand::Message> messagesInOrder(const QStringList &arguments, QList<int> *textFiles)
{
    QList<SendCommand::Message> messages;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        for (const QString &option : {QStringLiteral("text"), QStringLiteral("vcard"), QStringLiteral("text-file")}) {
            const QString name = QStringLiteral("--") + option;
            SendCommand::Message message;
            message.isVCard = option == QLatin1String("vcard");
            if (argument == name && i + 1 < arguments.size())
                message.content = arguments.at(++i);
            else if (argument.startsWith(name + QLatin1Char('=')))
                message.content = argument.mid(name.size() + 1);
            else
                continue;
            if (option == QLatin1String("text-file"))
                textFiles->append(messages.size());
            messages.append(message);
            break;
        }
    }
    return messages;
}

// Adds --help and --timeout to the command's own options and parses.
// Returns -1 to go on, else the exit code.
int parseCommandLine(QCoreApplication &app, const QString &command, const QStringList &arguments,
                     QCommandLineParser &parser, int *timeoutSeconds)
{
    parser.addHelpOption();
    const QCommandLineOption timeout(QStringLiteral("timeout"),
        QStringLiteral("Give up after this many seconds (default %1).").arg(DefaultTimeoutSeconds),
        QStringLiteral("s"));
    parser.addOption(timeout);

    if (!parser.parse(QStringList(app.arguments().first() + QLatin1Char(' ') + command) + arguments))
        return usageError(command, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        // The parser's usage line names the program only.
        QString help = parser.helpText();
        const int options = help.indexOf(QLatin1String(" [options]"));
        if (help.startsWith(QLatin1String("Usage: ")) && options > 0 && options < help.indexOf(QLatin1Char('\n')))
            help.replace(0, options, QStringLiteral("Usage: messaging ") + command);
        QTextStream(stdout) << help;
        return ExitSuccess;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(command, QStringLiteral("unexpected argument ") + parser.positionalArguments().first());

    *timeoutSeconds = DefaultTimeoutSeconds;
    if (parser.isSet(timeout)) {
        bool ok = false;
        *timeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || *timeoutSeconds <= 0)
            return usageError(command, QStringLiteral("--timeout needs a positive number of seconds"));
    }
    return -1;
}

// The whole file, or standard input for "-", as UTF-8.
bool readTextFile(const QString &name, QString *text)
{
    QFile file;
    const bool opened = name == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened)
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *text = QString::fromUtf8(bytes);
    return true;
}

// With a handler (another command reusing these options) the parsed
// request goes to it instead of being sent.
int runSend(QCoreApplication &app, const QStringList &arguments, const QElapsedTimer &clock,
            const QString &command = QStringLiteral("send"), const QString &description = QString(),
            const SendHandler &handler = SendHandler())
{
    QCommandLineParser parser;
    parser.setApplicationDescription(!description.isNull() ? description : QStringLiteral(
        "Sends texts and vCards to one recipient on one Telepathy account and prints\n"
        "each message's status as it arrives. Messages go out in the order given."));
    const QCommandLineOption account(QStringLiteral("account"),
        QStringLiteral("Account object path, or its short form (e.g. tala/tel/tala)."),
        QStringLiteral("path"));
    const QCommandLineOption to(QStringLiteral("to"),
        QStringLiteral("Recipient: a phone number or an instant-messaging id."),
        QStringLiteral("remote id"));
    const QCommandLineOption text(QStringLiteral("text"),
        QStringLiteral("A text message; may be repeated."), QStringLiteral("text"));
    const QCommandLineOption vcard(QStringLiteral("vcard"),
        QStringLiteral("A vCard file to send; may be repeated."), QStringLiteral("file"));
    const QCommandLineOption textFile(QStringLiteral("text-file"),
        QStringLiteral("A text message read from a file (UTF-8), '-' for standard input;\n"
                       "may be repeated."), QStringLiteral("file"));
    parser.addOptions({account, to, text, vcard, textFile});

    int timeoutSeconds = 0;
    const int parsed = parseCommandLine(app, command, arguments, parser, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;

    QString accountPath = parser.value(account).trimmed();
    if (accountPath.isEmpty())
        return usageError(command, QStringLiteral("no account given (--account)"));
    if (!accountPath.startsWith(QLatin1Char('/')))
        accountPath.prepend(AccountPathPrefix);
    const QString remoteUid = parser.value(to).trimmed();
    if (remoteUid.isEmpty())
        return usageError(command, QStringLiteral("the recipient is empty (--to)"));
    QList<int> textFiles;
    QList<SendCommand::Message> messages = messagesInOrder(arguments, &textFiles);
    if (messages.isEmpty())
        return usageError(command, QStringLiteral("nothing to send (--text, --text-file or --vcard)"));
    bool standardInputRead = false;
    for (int index : qAsConst(textFiles)) {
        SendCommand::Message &message = messages[index];
        const QString name = message.content;
        if (name == QLatin1String("-")) {
            if (standardInputRead)
                return usageError(command, QStringLiteral("standard input can be read only once"));
            standardInputRead = true;
        }
        if (!readTextFile(name, &message.content))
            return usageError(command, QStringLiteral("cannot read text file %1").arg(name));
        if (message.content.isEmpty())
            return usageError(command, QStringLiteral("the text file %1 is empty").arg(name));
    }
    for (const SendCommand::Message &message : messages) {
        const QFileInfo file(message.content);
        if (message.isVCard && (!file.isFile() || !file.isReadable() || file.size() == 0))
            return usageError(command, QStringLiteral("cannot read vCard file %1").arg(message.content));
    }
    if (handler)
        return handler(accountPath, remoteUid, messages, timeoutSeconds);
    Watchdog watchdog(std::chrono::seconds(timeoutSeconds) - std::chrono::milliseconds(clock.elapsed()),
                      timeoutSeconds, "the session bus");
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    SendCommand send(accountPath, remoteUid, messages, timeoutSeconds);
    send.start(clock);
    return app.exec();
}

int runAccounts(QCoreApplication &app, const QStringList &arguments, const QElapsedTimer &clock)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the Telepathy accounts: object path, protocol, enabled state,\n"
        "connection status and display name, separated by tabs."));
    int timeoutSeconds = 0;
    const int parsed = parseCommandLine(app, QStringLiteral("accounts"), arguments, parser, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;

    Watchdog watchdog(std::chrono::seconds(timeoutSeconds) - std::chrono::milliseconds(clock.elapsed()),
                      timeoutSeconds, "the session bus");
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    AccountsCommand accounts(timeoutSeconds);
    accounts.start(clock);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // QtDBus reads the bus on a thread of its own and registers its
    // meta-types (QDBusArgument, QDBusObjectPath, ...) there, on first use.
    // Had Qt's table of meta-types come into being only then, it would be
    // taken down at exit before that thread stops, and whatever arrives
    // meanwhile (the Closed signals of the conversation just released)
    // would be read into types that are gone: "Trying to construct an
    // instance of an invalid type, type id: 1025". Registered here, before
    // any bus traffic, the table outlives the bus thread.
    qRegisterMetaType<QDBusArgument>();
    qRegisterMetaType<QDBusObjectPath>();
    qRegisterMetaType<QDBusVariant>();

    QElapsedTimer clock;
    clock.start();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("messaging"));

    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == QLatin1String("send"))
        return runSend(app, arguments.mid(1), clock);
    if (command == QLatin1String("accounts"))
        return runAccounts(app, arguments.mid(1), clock);
    if (command == QLatin1String("listen"))
        return runListen(app, arguments.mid(1));
    if (command == QLatin1String("room"))
        return runRoom(app, arguments.mid(1));
    if (command == QLatin1String("queue"))
        return runQueue(app, arguments.mid(1),
                        [&clock](QCoreApplication &a, const QStringList &args, const QString &name,
                                 const QString &description, const SendHandler &handler) {
                            return runSend(a, args, clock, name, description, handler);
                        });
    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        fputs(Usage, stdout);
        return ExitSuccess;
    }
    if (command.isEmpty())
        fputs("messaging: no command given\n\n", stderr);
    else
        fprintf(stderr, "messaging: unknown command '%s'\n\n", qPrintable(command));
    fputs(Usage, stderr);
    return ExitUsage;
}
