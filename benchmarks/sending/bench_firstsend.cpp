// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// First message of a fresh process: runs the messaging program again and
// again, each run a new process that registers the handler and at once
// sends its first message to a recipient it has not written to before, and
// counts the runs that did not end with the message sent. Target: 0
// failures. Also prints how many runs needed the manager's one retry after
// the dispatcher had not yet read the new handler, and the median and 95th
// percentile wall time of a run.
//
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/sending/bench_firstsend [--keep-client-file] [runs [account path [recipient prefix]]]
//
// By default the run's Messaging.client file is removed first (only inside
// the private test tree, before Mission Control starts): Mission Control
// then learns of the handler only when its name appears on the bus, the
// case in which a first request can come too early. Any connected account
// works, for example a telepathy-idle account on a local IRC server
// (recipient prefix "nick" sends to nick1, nick2, ...).

#include "benchstats.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/PendingReady>
#include <TelepathyQt/Types>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QEventLoop>

#include <cstdio>

namespace {

const QString DefaultAccount = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString DefaultPrefix = QStringLiteral("first-send-");
constexpr int DefaultRuns = 300;
constexpr int AccountTimeoutMs = 30000;
constexpr int RunTimeoutSeconds = 20;

// Waits until the account is connected, so that the runs measure the first
// send and not the account coming online.
bool waitForConnectedAccount(const QString &path)
{
    Tp::AccountManagerPtr manager = Tp::AccountManager::create(QDBusConnection::sessionBus());
    QEventLoop loop;
    QTimer::singleShot(AccountTimeoutMs, &loop, &QEventLoop::quit);
    bool connected = false;
    QObject::connect(manager->becomeReady(), &Tp::PendingOperation::finished, &loop,
                     [&](Tp::PendingOperation *operation) {
        const Tp::AccountPtr account = operation->isError() ? Tp::AccountPtr()
                                                            : manager->accountForObjectPath(path);
        if (!account) {
            loop.quit();
            return;
        }
        auto check = [&, account] {
            if (account->connectionStatus() == Tp::ConnectionStatusConnected) {
                connected = true;
                loop.quit();
            }
        };
        QObject::connect(account.data(), &Tp::Account::connectionStatusChanged, &loop, check);
        QObject::connect(account->becomeReady(), &Tp::PendingOperation::finished, &loop, check);
    });
    loop.exec();
    return connected;
}

// The handler description the test runner seeds, never anything outside
// the run's own tree.
bool removeClientFile()
{
    const QString tree = qEnvironmentVariable("MESSAGING_TEST_TREE");
    if (tree.isEmpty())
        return false;
    QFile file(tree + QStringLiteral("/share/telepathy/clients/Messaging.client"));
    return !file.exists() || file.remove();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Tp::registerTypes();
    QStringList arguments = app.arguments();
    const bool keepClientFile = arguments.removeAll(QStringLiteral("--keep-client-file")) > 0;
    const int runs = arguments.size() > 1 ? arguments.at(1).toInt() : DefaultRuns;
    const QString account = arguments.value(2, DefaultAccount);
    const QString prefix = arguments.value(3, DefaultPrefix);
    if (runs <= 0) {
        fprintf(stderr, "usage: bench_firstsend [runs [account path [recipient prefix]]]\n");
        return 2;
    }
    if (!keepClientFile && !removeClientFile()) {
        fprintf(stderr, "bench_firstsend: run inside tests/lib/run-in-private-bus, or pass --keep-client-file\n");
        return 2;
    }
    if (!waitForConnectedAccount(account)) {
        fprintf(stderr, "bench_firstsend: account %s is not connected\n", qPrintable(account));
        return 3;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The manager says when it had to ask again.
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("messaging.chat.debug=true"));

    int failures = 0;
    int retried = 0;
    QVector<qint64> durations;
    for (int i = 1; i <= runs; ++i) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(MESSAGING_TOOL),
                      {QStringLiteral("send"), QStringLiteral("--account"), account, QStringLiteral("--to"),
                       prefix + QString::number(i), QStringLiteral("--text"),
                       QStringLiteral("first message of run %1").arg(i), QStringLiteral("--timeout"),
                       QString::number(RunTimeoutSeconds)});
        const bool finished = process.waitForFinished((RunTimeoutSeconds + 10) * 1000);
        if (!finished) {
            process.kill();
            process.waitForFinished();
        }
        durations << timer.nsecsElapsed();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        if (err.contains(QLatin1String("did not know the handler yet")))
            ++retried;
        if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            ++failures;
            printf("run %d failed (exit %d): %s\n", i, finished ? process.exitCode() : -1,
                   qPrintable(out.trimmed()));
        }
    }

    std::sort(durations.begin(), durations.end());
    printf("first send from a fresh process: %d runs on %s, %s\n", runs, qPrintable(account),
           keepClientFile ? "handler described by Messaging.client" : "no Messaging.client file");
    printf("  failures: %d (target 0)\n", failures);
    printf("  runs that needed the one retry: %d\n", retried);
    printf("  wall time per run: median %.1f ms, 95th percentile %.1f ms\n", medianMs(durations),
           durations.at(qMin(durations.size() - 1, durations.size() * 95 / 100)) / 1e6);
    return failures == 0 ? 0 : 1;
}
