// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "commandline.h"

#include "commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

namespace CommandLine {

int usageError(const QString &command, const QString &message)
{
    QTextStream(stderr) << "messaging " << command << ": " << message << "\n"
                        << "Run 'messaging " << command << " --help' for usage.\n";
    return ExitUsage;
}

QString fullAccountPath(const QString &path)
{
    static const QString prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
    const QString trimmed = path.trimmed();
    return trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('/')) ? trimmed : prefix + trimmed;
}

QString escaped(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

int parse(QCoreApplication &app, const QString &command, const QStringList &arguments,
          QCommandLineParser &parser, int *timeoutSeconds, int maxPositional, int defaultTimeout)
{
    parser.addHelpOption();
    const QCommandLineOption timeout(QStringLiteral("timeout"),
        defaultTimeout > 0
            ? QStringLiteral("Give up after this many seconds (default %1).").arg(defaultTimeout)
            : QStringLiteral("Stop after this many seconds (default: run until interrupted)."),
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
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > maxPositional)
        return usageError(command, QStringLiteral("unexpected argument ") + positional.at(maxPositional));

    *timeoutSeconds = defaultTimeout;
    if (parser.isSet(timeout)) {
        bool ok = false;
        *timeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || *timeoutSeconds <= 0)
            return usageError(command, QStringLiteral("--timeout needs a positive number of seconds"));
    }
    return -1;
}

} // namespace CommandLine
