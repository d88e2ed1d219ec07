#include "contactscommand.h"

#include "commands.h"

#include <messaging0/servicespecificcontactfetcher.h>

#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

namespace {

const QString AccountPathPrefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
constexpr int DefaultTimeoutSeconds = 30;

int usageError(const QString &message)
{
    QTextStream(stderr) << "messaging contacts: " << message << "\n"
                        << "Run 'messaging contacts --help' for usage.\n";
    return ExitUsage;
}

} // namespace

int runContacts(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the address-book contacts that own REMOTE-ID on ACCOUNT: display\n"
        "label and contact id, separated by a tab, one contact a line. On the SMS\n"
        "and MMS accounts a contact owns a phone number written in any form; on\n"
        "other accounts it needs an online account on ACCOUNT with exactly that id.\n"
        "The address book is the one the library uses (MESSAGING_CONTACTS_ENGINE)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("ACCOUNT"),
        QStringLiteral("Account object path, or its short form (e.g. tala/tel/tala)."));
    parser.addPositionalArgument(QStringLiteral("REMOTE-ID"),
        QStringLiteral("A phone number or an instant-messaging id."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
        QStringLiteral("Give up after this many seconds (default %1).").arg(DefaultTimeoutSeconds),
        QStringLiteral("s"));
    parser.addOption(timeout);

    if (!parser.parse(QStringList(app.arguments().first() + QLatin1String(" contacts")) + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(ExitSuccess);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return usageError(QStringLiteral("needs an account and a remote id"));
    if (positional.size() > 2)
        return usageError(QStringLiteral("unexpected argument ") + positional.at(2));
    int timeoutSeconds = DefaultTimeoutSeconds;
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutSeconds <= 0)
            return usageError(QStringLiteral("--timeout needs a positive number of seconds"));
    }
    QString accountPath = positional.at(0).trimmed();
    if (accountPath.isEmpty())
        return usageError(QStringLiteral("the account is empty"));
    if (!accountPath.startsWith(QLatin1Char('/')))
        accountPath.prepend(AccountPathPrefix);
    const QString remoteId = positional.at(1).trimmed();
    if (remoteId.isEmpty())
        return usageError(QStringLiteral("the remote id is empty"));

    // Lives until the program ends; the first announced fetch is the answer.
    ServiceSpecificContactFetcher fetcher(accountPath, remoteId);
    QObject::connect(&fetcher, &ServiceSpecificContactFetcher::contactsChanged, &app, [&] {
        QTextStream out(stdout);
        const auto contacts = fetcher.contacts();
        for (const auto &contact : contacts)
            out << contact.second << '\t' << contact.first.toString() << '\n';
        if (contacts.isEmpty())
            QTextStream(stderr) << "messaging contacts: no contact owns " << remoteId << " on "
                                << accountPath << "\n";
        app.exit(ExitSuccess);
    });
    QTimer::singleShot(timeoutSeconds * 1000, &app, [&] {
        QTextStream(stderr) << "messaging contacts: the address book did not answer within "
                            << timeoutSeconds << " s\n";
        app.exit(ExitTimeout);
    });
    return app.exec();
}
