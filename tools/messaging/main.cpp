// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// messaging: send messages and list accounts through libmessaging0.

#include "accountscommand.h"
#include "commandline.h"
#include "commands.h"
#include "sendcheck.h"
#include "statuscommand.h"
#include "disablecommand.h"
#include "enablecommand.h"
#include "presencecommand.h"
#include "contactscommand.h"
#include "queuecommand.h"
#include "watchdog.h"
#include "listencommand.h"
#include "historycommand.h"
#include "roomcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusError>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <chrono>
#include <memory>

#include <cstdio>

namespace {

using CommandLine::usageError;

const char Usage[] =
    "Usage: messaging <command> [options]\n"
    "\n"
    "Commands:\n"
    "  send       send texts (given, or read from files or standard input) and\n"
    "             vCards to one recipient and print each status\n"
    "  accounts   list the accounts: name, service, presence, status message, enabled\n"
    "  presence   set an account's presence and status message\n"
    "  enable     enable an account\n"
    "  disable    disable an account\n"
    "  status     radio, SIM, flight mode and account usability (--watch: changes)\n"
    "  contacts   list the address-book contacts that own a remote id on an account\n"
    "  queue      add to, list or send the persistent send queue (add|list|run)\n"
    "  listen     print incoming messages and delivery reports until interrupted\n"
    "  room       join a room: print its members, set its topic, leave it\n"
    "  history    the conversation history: threads, messages, search (threads|show|\n"
    "             search|read|delete)\n"
    "\n"
    "Run 'messaging <command> --help' for the options of a command.\n"
    "\n"
    "Exit codes: 0 success, 1 a message failed, 2 bad usage or input,\n"
    "3 no session bus / account manager / account, 4 time-out;\n"
    "send --check: 11 account offline, 12 connecting, 13 no SIM card,\n"
    "14 question not accepted, 15 radio stayed off, 16 account disabled.\n";

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
int runSend(QCoreApplication &app, const QStringList &arguments,
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
    const QCommandLineOption check(QStringLiteral("check"),
        QStringLiteral("First check that the message can leave (SIM, flight mode, radio, account);\n"
                       "questions go to the notification server. Exit codes 11-16 say what stopped it."));
    const QCommandLineOption yes(QStringLiteral("yes"),
        QStringLiteral("With --check: switch the radio on or leave flight mode without asking."));
    parser.addOptions({check, yes});

    int timeoutSeconds = 0;
    const int parsed = CommandLine::parse(app, command, arguments, parser, &timeoutSeconds);
    if (parsed >= 0)
        return parsed;

    const QString accountPath = CommandLine::fullAccountPath(parser.value(account));
    if (accountPath.isEmpty())
        return usageError(command, QStringLiteral("no account given (--account)"));
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
    if (parser.isSet(yes) && !parser.isSet(check))
        return usageError(command, QStringLiteral("--yes only goes with --check"));
    Watchdog watchdog(timeoutSeconds);
    if (!sessionBusAvailable(watchdog))
        return ExitEnvironment;
    SendCommand send(accountPath, remoteUid, messages, timeoutSeconds);
    if (!parser.isSet(check)) {
        send.start(programClock());
        return app.exec();
    }
    SendCheck sendCheck(accountPath, !parser.isSet(yes), timeoutSeconds, [&send] { send.start(programClock()); });
    sendCheck.start();
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

    programClock();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("messaging"));

    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == QLatin1String("send"))
        return runSend(app, arguments.mid(1));
    if (command == QLatin1String("accounts"))
        return AccountsCommand::run(app, arguments.mid(1));
    if (command == QLatin1String("presence"))
        return PresenceCommand::run(app, arguments.mid(1));
    if (command == QLatin1String("enable"))
        return EnableCommand::run(app, arguments.mid(1));
    if (command == QLatin1String("disable"))
        return DisableCommand::run(app, arguments.mid(1));
    if (command == QLatin1String("status"))
        return runStatus(app, arguments.mid(1));
    if (command == QLatin1String("contacts"))
        return runContacts(app, arguments.mid(1));
    if (command == QLatin1String("queue"))
        return runQueue(app, arguments.mid(1), runSend);
    if (command == QLatin1String("listen"))
        return runListen(app, arguments.mid(1));
    if (command == QLatin1String("room"))
        return runRoom(app, arguments.mid(1));
    if (command == QLatin1String("history"))
        return runHistory(app, arguments.mid(1));
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
