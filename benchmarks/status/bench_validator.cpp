// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// SendValidator and NetworkStatusManager on the paths that need no answer
// from the user, beside the D-Bus round trip of the same private buses.
//
//   tests/lib/run-in-private-bus --telepathy --system-bus
//       --cm=build/tests/lib/testcm/messaging-test-cm -- build/benchmarks/status/bench_validator [rounds]
//
// Prints medians in microseconds: validate() to its result on a ready
// cellular device and on a usable account, accountStatus() over 100 watched
// accounts, and the session and system bus round trips (GetId). Target: no
// such path makes a blocking D-Bus call; a result within 2 round trips.

#include "accountutils.h"
#include "benchstats.h"
#include "networkstatusmanager.h"
#include "sendvalidator.h"
#include "testhelpers.h"

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/AccountSet>
#include <TelepathyQt/PendingAccount>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

namespace {
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
constexpr int Accounts = 100;

double medianUs(const QVector<qint64> &ns)
{
    return median(ns) / 1e3;
}

QVector<qint64> roundTrips(QDBusConnection bus, int rounds)
{
    QVector<qint64> samples;
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        timer.start();
        bus.call(ping);
        samples.append(timer.nsecsElapsed());
    }
    return samples;
}

// validate() until its result; also tells whether any result came only
// after validate() had returned (that is, after a trip through the bus).
QVector<qint64> validations(const QString &path, bool cellular, int rounds, int *late)
{
    QVector<qint64> samples;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        SendValidator validator(path, cellular);
        bool done = false;
        QObject::connect(&validator, &SendValidator::validationCompleted, [&] { done = true; });
        QObject::connect(&validator, &SendValidator::validationFailed, [&](int code) {
            fprintf(stderr, "bench_validator: validation failed with %d\n", code);
            done = true;
        });
        timer.start();
        validator.validate();
        if (!done) {
            ++*late;
            waitUntil([&] { return done; }, 5000);
        }
        samples.append(timer.nsecsElapsed());
    }
    return samples;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(10, atoi(argv[1])) : 2000;
    QTextStream out(stdout);

    AccountUtils *accounts = AccountUtils::instance();
    NetworkStatusManager *manager = NetworkStatusManager::instance();
    if (!waitUntil([&] { return accounts->accountManager()->isReady() && !accounts->account(Im).isNull()
                                && manager->simStatus() != SimStatusMonitor::SimStatusUnknown
                                && manager->isCellularOnline(); }, 20000)) {
        fputs("bench_validator: the private stack did not come up (run it in run-in-private-bus "
              "--telepathy --system-bus)\n", stderr);
        return 1;
    }

    // Up to 100 accounts: the fixture's four and more of the loopback manager.
    int pending = 0;
    const int existing = accounts->accountManager()->validAccounts()->accounts().size();
    for (int i = existing; i < Accounts; ++i) {
        QVariantMap parameters;
        parameters.insert(QStringLiteral("account"), QStringLiteral("bench%1@loop.test").arg(i));
        ++pending;
        Tp::PendingAccount *op = accounts->accountManager()->createAccount(
            QStringLiteral("loopback"), QStringLiteral("loop"), QStringLiteral("bench %1").arg(i), parameters);
        QObject::connect(op, &Tp::PendingOperation::finished, [&pending] { --pending; });
    }
    QStringList paths;
    if (!waitUntil([&] {
            if (pending > 0)
                return false;
            paths.clear();
            for (const Tp::AccountPtr &a : accounts->accountManager()->validAccounts()->accounts()) {
                if (accounts->account(a->objectPath()).isNull())
                    return false;
                paths.append(a->objectPath());
            }
            return paths.size() >= Accounts;
        }, 60000)) {
        fprintf(stderr, "bench_validator: only %d accounts became ready\n", int(paths.size()));
        return 1;
    }

    const double session = medianUs(roundTrips(QDBusConnection::sessionBus(), rounds));
    const double system = medianUs(roundTrips(QDBusConnection::systemBus(), rounds));

    int lateCellular = 0;
    int lateAccount = 0;
    const double cellular = medianUs(validations(QString(), true, rounds, &lateCellular));
    const double account = medianUs(validations(Im, false, rounds, &lateAccount));

    // Every account watched first; then a round of queries over all of them.
    for (const QString &path : qAsConst(paths))
        manager->accountStatus(path);
    QVector<qint64> statusSamples;
    QElapsedTimer timer;
    for (int i = 0; i < rounds / 10; ++i) {
        timer.start();
        for (const QString &path : qAsConst(paths))
            manager->accountStatus(path);
        statusSamples.append(timer.nsecsElapsed() / paths.size());
    }

    out << "rounds " << rounds << ", accounts watched " << paths.size() << "\n";
    out << QStringLiteral("session bus round trip (GetId)        median %1 us\n").arg(session, 0, 'f', 1);
    out << QStringLiteral("system bus round trip (GetId)         median %1 us\n").arg(system, 0, 'f', 1);
    out << QStringLiteral("validate() cellular ready -> completed median %1 us (%2 round trips; %3 results after a bus trip)\n")
               .arg(cellular, 0, 'f', 2).arg(cellular / session, 0, 'f', 3).arg(lateCellular);
    out << QStringLiteral("validate() account usable -> completed median %1 us (%2 round trips; %3 results after a bus trip)\n")
               .arg(account, 0, 'f', 2).arg(account / session, 0, 'f', 3).arg(lateAccount);
    out << QStringLiteral("accountStatus() per call, 100 watched  median %1 us\n").arg(median(statusSamples) / 1e3, 0, 'f', 3);
    out.flush();
    return 0;
}
