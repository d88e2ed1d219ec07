// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// AccountModel against bare Telepathy-Qt on the same stack.
//
// 1. Start-up: a new AccountModel, init(), until every row is present,
//    against a new Tp::AccountManager made ready with each valid account
//    made ready (what the model needs), alternating, with 1, 10 and 100
//    Telepathy accounts in Mission Control (the fixture's other accounts are
//    removed, extra disabled accounts created). Target ratio <= 1.2.
// 2. Presence: the connection manager changes the local user's presence;
//    the time until the model's dataChanged for the CT_CURRENT_STATUS cell,
//    against the time until a bare account's currentPresenceChanged,
//    alternating. Target ratio <= 1.1.
//
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/accounts/bench_accountmodel [rounds]

#include "accountmodel.h"
#include "benchstats.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/AccountFactory>
#include <TelepathyQt/AccountSet>
#include <TelepathyQt/ChannelFactory>
#include <TelepathyQt/ConnectionFactory>
#include <TelepathyQt/ContactFactory>
#include <TelepathyQt/PendingAccount>
#include <TelepathyQt/PendingReady>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {
const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
constexpr int TimeoutMs = 30000;

// Deletions left behind by the previous round must not be charged to the next.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

bool createAccounts(TelepathyTestEnvironment &env, int count)
{
    int done = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        const QString id = QStringLiteral("bench%1@loop.test").arg(i);
        QVariantMap properties{{QStringLiteral("org.freedesktop.Telepathy.Account.Enabled"), false}};
        auto *pending = env.accountManager()->createAccount(QStringLiteral("loopback"), QStringLiteral("loop"),
                                                            id, {{QStringLiteral("account"), id}}, properties);
        QObject::connect(pending, &Tp::PendingOperation::finished, [&](Tp::PendingOperation *op) {
            ++done;
            failed += op->isError() ? 1 : 0;
        });
    }
    return waitUntil([&] { return done == count; }, TimeoutMs) && failed == 0;
}

// Milliseconds from a new model to all rows present (SMS entry + accounts).
double modelStartUp(int accounts)
{
    QElapsedTimer timer;
    timer.start();
    AccountModel model;
    model.init();
    if (!waitUntil([&] { return model.rowCount() == accounts + 1; }, TimeoutMs)) {
        fprintf(stderr, "model: %d of %d rows\n", model.rowCount(), accounts + 1);
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

// The same with Telepathy-Qt alone.
double bareStartUp(int accounts)
{
    QElapsedTimer timer;
    timer.start();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    Tp::AccountManagerPtr manager = Tp::AccountManager::create(
        Tp::AccountFactory::create(bus, Tp::Features() << Tp::Account::FeatureCore),
        Tp::ConnectionFactory::create(bus), Tp::ChannelFactory::create(bus), Tp::ContactFactory::create());
    int ready = 0;
    QObject::connect(manager->becomeReady(), &Tp::PendingOperation::finished, [&](Tp::PendingOperation *) {
        const QList<Tp::AccountPtr> valid = manager->validAccounts()->accounts();
        for (const Tp::AccountPtr &account : valid) {
            if (account->isReady()) {
                ++ready;
                continue;
            }
            QObject::connect(account->becomeReady(), &Tp::PendingOperation::finished,
                             [&](Tp::PendingOperation *op) { ready += op->isError() ? 0 : 1; });
        }
    });
    if (!waitUntil([&] { return ready == accounts; }, TimeoutMs)) {
        fprintf(stderr, "bare: %d of %d accounts\n", ready, accounts);
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 31;

    TelepathyTestEnvironment env;
    if (!env.init() || !env.connectedAccount(Alice)) {
        fprintf(stderr, "no Telepathy test environment\n");
        return 1;
    }
    // Only alice0 stays.
    for (const Tp::AccountPtr &account : env.accountManager()->allAccounts()) {
        if (account->objectPath() != Alice && !expectSuccessfulCall(account->remove()))
            return 1;
    }

    // The process's first model also creates the account service mapper,
    // which opens the single-sign-on account store.
    const double first = modelStartUp(1);
    printf("First AccountModel of the process (1 account, with the account store opened): %.2f ms\n\n", first);

    printf("AccountModel start-up until all rows are present (median of %d, ms)\n", rounds);
    printf("%10s %10s %10s %8s\n", "accounts", "model", "bare", "ratio");
    int accounts = 1;
    for (int target : {1, 10, 100}) {
        if (!createAccounts(env, target - accounts))
            return 1;
        accounts = target;
        // One warm-up each, then alternating.
        modelStartUp(accounts);
        bareStartUp(accounts);
        QVector<double> model, bare;
        for (int i = 0; i < rounds; ++i) {
            settle();
            model << modelStartUp(accounts);
            settle();
            bare << bareStartUp(accounts);
        }
        if (model.contains(-1) || bare.contains(-1))
            return 1;
        printf("%10d %10.2f %10.2f %8.2f\n", accounts, median(model), median(bare), median(model) / median(bare));
    }

    // Presence: one model and one bare account on alice0.
    AccountModel model;
    model.init();
    if (!waitUntil([&] { return model.rowCount() == accounts + 1; }, TimeoutMs))
        return 1;
    int aliceRow = -1;
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.data(model.index(row, AccountModel::CT_OBJECT_PATH)).toString() == Alice)
            aliceRow = row;
    }
    const Tp::AccountPtr bare = env.connectedAccount(Alice);
    if (aliceRow < 0 || !bare)
        return 1;
    const QString connection = bare->connection()->objectPath();
    TestCmControl &control = env.control(Alice);

    bool seen = false;
    bool timingModel = false;
    QString expected;
    QElapsedTimer timer;
    qint64 elapsed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex &index) {
        if (timingModel && !seen && index.row() == aliceRow && index.column() == AccountModel::CT_CURRENT_STATUS
            && model.data(index).toString() == expected) {
            elapsed = timer.nsecsElapsed();
            seen = true;
        }
    });
    QObject::connect(bare.data(), &Tp::Account::currentPresenceChanged, [&](const Tp::Presence &presence) {
        if (!timingModel && !seen && presence.status() == expected) {
            elapsed = timer.nsecsElapsed();
            seen = true;
        }
    });
    auto once = [&](bool viaModel, const QString &status) -> qint64 {
        timingModel = viaModel;
        expected = status;
        seen = false;
        timer.start();
        control.setSelfPresence(connection, status);
        if (!waitUntil([&] { return seen; }, TimeoutMs))
            return -1;
        // Let the other side see it too before the next round.
        waitUntil([&] {
            return bare->currentPresence().status() == status
                && model.data(model.index(aliceRow, AccountModel::CT_CURRENT_STATUS)).toString() == status;
        }, TimeoutMs);
        return elapsed;
    };
    const int presenceRounds = rounds * 20;
    QVector<qint64> viaModel, viaBare;
    for (int i = 0; i < presenceRounds; ++i) {
        const QString status = i % 2 ? QStringLiteral("available") : QStringLiteral("away");
        // Both kinds of change for both sides.
        if ((i / 2) % 2) {
            viaModel << once(true, status);
        } else {
            viaBare << once(false, status);
        }
    }
    if (viaModel.contains(-1) || viaBare.contains(-1)) {
        fprintf(stderr, "a presence change did not arrive\n");
        return 1;
    }
    printf("\nPresence change at the connection manager until seen (median of %d, ms)\n", presenceRounds / 2);
    printf("%10s %10s %8s\n", "model", "bare", "ratio");
    printf("%10.3f %10.3f %8.2f\n", medianMs(viaModel), medianMs(viaBare), medianMs(viaModel) / medianMs(viaBare));
    return 0;
}
