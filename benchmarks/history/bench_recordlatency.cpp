// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// End to end: from a message arriving at the connection manager until
// another process's HistoryThreadModel shows it. No user interface runs:
// the history recorder (messaging-history, started by Mission Control)
// stores the message, and this process, which only reads, sees the model
// change through the store's change notice.
//
//  - on an open channel (the tests' handler holds it; the recorder watches
//    it already): the steady state, one message after the other;
//  - each on a new incoming channel, from a new sender: Mission Control's
//    dispatch to the observer and the channel's readiness included.
//
// Runs inside the test environment, with the recorder of the build tree:
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     --history=build/tools/messaging-history/messaging-history
//     -- build/benchmarks/history/bench_recordlatency [messages] [channels]

#include "benchstats.h"
#include "telepathytestenvironment.h"

#include "historystore.h"
#include "historythreadmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {

// The time until the model shows a change, in nanoseconds; -1 after 10 s.
qint64 untilShown(HistoryThreadModel &model, const std::function<void()> &receive)
{
    QEventLoop loop;
    const auto shown = [&loop] { loop.quit(); };
    const QMetaObject::Connection changed = QObject::connect(&model, &QAbstractItemModel::dataChanged, &loop, shown);
    const QMetaObject::Connection inserted = QObject::connect(&model, &QAbstractItemModel::rowsInserted, &loop, shown);
    const QMetaObject::Connection moved = QObject::connect(&model, &QAbstractItemModel::rowsMoved, &loop, shown);
    QTimer limit;
    bool late = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { late = true; loop.quit(); });
    limit.start(10000);
    QElapsedTimer clock;
    clock.start();
    receive();
    loop.exec();
    const qint64 elapsed = clock.nsecsElapsed();
    QObject::disconnect(changed);
    QObject::disconnect(inserted);
    QObject::disconnect(moved);
    return late ? -1 : elapsed;
}

void report(const char *what, QVector<qint64> samples, int lost)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double share) {
        return samples.isEmpty() ? 0.0 : samples.at(qMin(samples.size() - 1, int(samples.size() * share))) / 1e6;
    };
    std::printf("%-44s n=%4d  median %7.2f ms  p90 %7.2f ms  max %7.2f ms  not shown within 10 s: %d\n", what,
                int(samples.size()), medianMs(samples), at(0.9), at(1.0), lost);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 200;
    const int channels = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 20;
    const QString account = TelepathyTestEnvironment::ImAccountPath;

    TelepathyTestEnvironment env;
    if (!env.init() || !env.connectedAccount(account))
        return 2;
    HistoryStore store(HistoryStore::defaultPath());
    if (!store.isOpen())
        return 2;
    HistoryThreadModel model(&store);
    TestCmControl &control = env.control(account);

    // Steady state: the recorder watches the channel before the first sample.
    const QString peer = QStringLiteral("steady@loop.test");
    const Tp::TextChannelPtr channel = env.ensureTextChannel(account, Tp::HandleTypeContact, peer);
    if (!channel)
        return 2;
    if (untilShown(model, [&] { control.injectMessageOnChannel(channel->objectPath(), peer, QStringLiteral("warm-up")); }) < 0) {
        std::fprintf(stderr, "bench_recordlatency: the first message never showed; is the recorder given (--history)?\n");
        return 2;
    }
    QVector<qint64> steady;
    int lost = 0;
    for (int i = 0; i < messages; ++i) {
        const qint64 ns = untilShown(model, [&] {
            control.injectMessageOnChannel(channel->objectPath(), peer, QStringLiteral("steady %1").arg(i));
        });
        if (ns < 0)
            ++lost;
        else
            steady << ns;
    }
    report("open channel, recorder watching", steady, lost);

    // A new incoming channel per message; nobody handles it (no UI).
    QVector<qint64> fresh;
    lost = 0;
    for (int i = 0; i < channels; ++i) {
        const QString sender = QStringLiteral("new%1@loop.test").arg(i);
        const qint64 ns = untilShown(model, [&] {
            control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(), sender,
                                  QStringLiteral("hello %1").arg(i));
        });
        if (ns < 0)
            ++lost;
        else
            fresh << ns;
    }
    report("new incoming channel each, no handler", fresh, lost);
    return 0;
}
