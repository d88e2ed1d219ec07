// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "contactscommand.h"

#include "commandline.h"

#include "commands.h"

#include <messaging0/servicespecificcontactfetcher.h>

#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

int runContacts(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the address-book contacts that own REMOTE-ID on ACCOUNT: display\n"
        "label and contact id, separated by a tab, one contact a line. On the SMS\n"
        "and MMS accounts a contact owns a phone number written in any form; on\n"
        "other accounts it needs an online account on ACCOUNT with exactly that id.\n"
        "The address book is the one the library uses (MESSAGING_CONTACTS_ENGINE)."));
    parser.addPositionalArgument(QStringLiteral("ACCOUNT"),
        QStringLiteral("Account object path, or its short form (e.g. tala/tel/tala)."));
    parser.addPositionalArgument(QStringLiteral("REMOTE-ID"),
        QStringLiteral("A phone number or an instant-messaging id."));
    const QString command = QStringLiteral("contacts");
    int timeoutSeconds = 0;
    const int parsed = CommandLine::parse(app, command, arguments, parser, &timeoutSeconds, 2);
    if (parsed >= 0)
        return parsed;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return CommandLine::usageError(command, QStringLiteral("needs an account and a remote id"));
    const QString accountPath = CommandLine::fullAccountPath(positional.at(0));
    if (accountPath.isEmpty())
        return CommandLine::usageError(command, QStringLiteral("the account is empty"));
    const QString remoteId = positional.at(1).trimmed();
    if (remoteId.isEmpty())
        return CommandLine::usageError(command, QStringLiteral("the remote id is empty"));

    // Lives until the program ends; the first announced fetch is the answer.
    ServiceSpecificContactFetcher fetcher(accountPath, remoteId);
    QObject::connect(&fetcher, &ServiceSpecificContactFetcher::contactsChanged, &app, [&] {
        const auto contacts = fetcher.contacts();
        for (const auto &contact : contacts)
            out() << contact.second << '\t' << contact.first.toString() << '\n';
        if (contacts.isEmpty())
            err() << "messaging contacts: no contact owns " << remoteId << " on " << accountPath << "\n";
        out().flush();
        err().flush();
        app.exit(ExitSuccess);
    });
    QTimer::singleShot(timeoutSeconds * 1000, &app, [&] {
        QTextStream(stderr) << "messaging contacts: the address book did not answer within "
                            << timeoutSeconds << " s\n";
        app.exit(ExitTimeout);
    });
    return app.exec();
}
