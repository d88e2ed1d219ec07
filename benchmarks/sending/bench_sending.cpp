// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// MessageSender against bare Telepathy-Qt on the same stack (Mission
// Control and the loopback connection manager of the test environment):
//
//  1. First message of a cold conversation: a fresh MessageSender's send()
//     until messageStatusChanged(id, 0), against ensureChannel, being handed
//     the channel, making it ready and TextChannel::send until finished.
//     Alternating, a new contact each time; medians and their ratio.
//  2. Throughput on a ready conversation: N messages through one sender
//     until every status has come, against N bare TextChannel::send calls
//     on a ready channel until every one has finished.
//
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/sending/bench_sending [cold rounds] [messages]

#include "benchstats.h"
#include "chatsessionmanager.h"
#include "messagesender.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/PendingSendMessage>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

const int TimeoutMs = 20000;
const int Block = 100;

// CPU time of this process (all threads), less noisy than wall time on a
// loaded machine: it shows the client-side cost of each path.
qint64 cpuNs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Runs the loop until done() holds; false on time-out.
template<typename Done>
bool waitUntil(QEventLoop &loop, Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > TimeoutMs)
            return false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(TimeoutMs);
        loop.exec();
    }
    return true;
}

Tp::MessagePartList bareParts(const QString &text)
{
    Tp::MessagePart header, body;
    body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
    body.insert(QStringLiteral("content"), QDBusVariant(text));
    return Tp::MessagePartList() << header << body;
}

// One message to a new contact through the sender; nanoseconds, -1 on failure.
qint64 coldSend(QEventLoop &loop, const QString &account, const QString &target)
{
    QElapsedTimer timer;
    timer.start();
    MessageSender sender(target, account);
    int status = -1;
    QObject::connect(&sender, &MessageSender::messageStatusChanged, &loop, [&](const QString &, int s) {
        status = s;
        loop.quit();
    });
    sender.send(QStringLiteral("cold"));
    if (!waitUntil(loop, [&] { return status != -1; }) || status != 0)
        return -1;
    return timer.nsecsElapsed();
}

// The same with bare Telepathy-Qt: ensureChannel with the fixture's own
// handler preferred, the channel handed over (made ready by the handler's
// channel factory with the same features the library asks for), send,
// finished.
qint64 coldBare(TelepathyTestEnvironment &env, QEventLoop &loop, const Tp::AccountPtr &account,
                const QString &target)
{
    QElapsedTimer timer;
    timer.start();
    Tp::TextChannelPtr channel;
    const QMetaObject::Connection handled = QObject::connect(
        &env, &TelepathyTestEnvironment::channelHandled, &loop, [&](const Tp::TextChannelPtr &c) {
            if (c->targetId() == target) {
                channel = c;
                loop.quit();
            }
        });
    account->ensureChannel(TelepathyTestEnvironment::textChannelRequest(Tp::HandleTypeContact, target),
                           QDateTime::currentDateTime(), TelepathyTestEnvironment::TestHandlerBusName);
    const bool gotChannel = waitUntil(loop, [&] { return !channel.isNull(); });
    QObject::disconnect(handled);
    if (!gotChannel)
        return -1;
    bool finished = false, failed = false;
    QObject::connect(channel->send(bareParts(QStringLiteral("cold"))), &Tp::PendingOperation::finished, &loop,
                     [&](Tp::PendingOperation *op) {
                         finished = true;
                         failed = op->isError();
                         loop.quit();
                     });
    if (!waitUntil(loop, [&] { return finished; }) || failed)
        return -1;
    const qint64 elapsed = timer.nsecsElapsed();
    channel->requestClose(); // as the sender's session does when it goes
    return elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Debug output would be measured too.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int rounds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 50;
    const int messages = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 1000;
    const QString account = TelepathyTestEnvironment::ImAccountPath;

    TelepathyTestEnvironment env;
    if (!env.init() || !env.connectedAccount(account)) {
        std::fprintf(stderr, "bench_sending: the test environment is not available\n");
        return 2;
    }
    QEventLoop loop;
    const Tp::AccountPtr tpAccount = env.account(account);

    // The first send of the process also initialises the session manager
    // and registers the handler: shown apart, not in the medians.
    const qint64 first = coldSend(loop, account, QStringLiteral("warmup@loop.test"));
    const qint64 firstBare = coldBare(env, loop, tpAccount, QStringLiteral("warmup-bare@loop.test"));
    if (first < 0 || firstBare < 0) {
        std::fprintf(stderr, "bench_sending: warm-up failed\n");
        return 1;
    }

    QVector<qint64> viaSender, bare;
    for (int i = 0; i < rounds; ++i) {
        const qint64 s = coldSend(loop, account, QStringLiteral("cold%1@loop.test").arg(i));
        const qint64 b = coldBare(env, loop, tpAccount, QStringLiteral("bare%1@loop.test").arg(i));
        if (s < 0 || b < 0) {
            std::fprintf(stderr, "bench_sending: round %d failed\n", i);
            return 1;
        }
        viaSender << s;
        bare << b;
    }

    // Throughput on ready conversations, in alternating blocks so that
    // changes in machine load hit both alike. A block is at most Block
    // messages in flight: a bus refuses more pending replies than its limit
    // (128 on a bus without a configuration of its own).
    MessageSender sender(QStringLiteral("stream@loop.test"), account);
    int statuses = 0, failures = 0;
    QObject::connect(&sender, &MessageSender::messageStatusChanged, &loop, [&](const QString &, int s) {
        ++statuses;
        failures += s != 0;
        loop.quit();
    });
    sender.send(QStringLiteral("ready"));
    const Tp::TextChannelPtr channel =
        env.ensureTextChannel(account, Tp::HandleTypeContact, QStringLiteral("stream-bare@loop.test"), TimeoutMs);
    if (!waitUntil(loop, [&] { return statuses == 1; }) || !channel) {
        std::fprintf(stderr, "bench_sending: no ready conversation for the throughput run\n");
        return 1;
    }

    qint64 senderNs = 0, bareNs = 0, senderCpu = 0, bareCpu = 0;
    int finished = 0;
    QElapsedTimer timer;
    for (int done = 0; done < messages; done += Block) {
        const int count = std::min(Block, messages - done);
        statuses = 0;
        qint64 cpu = cpuNs();
        timer.start();
        for (int i = 0; i < count; ++i)
            sender.send(QStringLiteral("message %1").arg(done + i));
        if (!waitUntil(loop, [&] { return statuses >= count; }))
            return 1;
        senderNs += timer.nsecsElapsed();
        senderCpu += cpuNs() - cpu;

        finished = 0;
        cpu = cpuNs();
        timer.start();
        for (int i = 0; i < count; ++i) {
            QObject::connect(channel->send(bareParts(QStringLiteral("message %1").arg(done + i))),
                             &Tp::PendingOperation::finished, &loop, [&](Tp::PendingOperation *op) {
                                 failures += op->isError();
                                 ++finished;
                                 loop.quit();
                             });
        }
        if (!waitUntil(loop, [&] { return finished >= count; }))
            return 1;
        bareNs += timer.nsecsElapsed();
        bareCpu += cpuNs() - cpu;
    }
    if (failures) {
        std::fprintf(stderr, "bench_sending: %d sends failed\n", failures);
        return 1;
    }

    const double s = medianMs(viaSender), b = medianMs(bare);
    const double senderRate = messages / (senderNs / 1e9), bareRate = messages / (bareNs / 1e9);
    std::printf("First message of a cold conversation (%d rounds each, alternating)\n", rounds);
    std::printf("  first in process (manager start-up):  sender %.1f ms, bare %.1f ms\n", first / 1e6,
                firstBare / 1e6);
    std::printf("  MessageSender::send -> status 0:      median %.2f ms\n", s);
    std::printf("  ensureChannel..send -> finished:      median %.2f ms\n", b);
    std::printf("  ratio (sender / bare):                %.3f  (target <= 1.10)\n", s / b);
    std::printf("Throughput on a ready conversation (%d messages, blocks of %d, alternating)\n", messages, Block);
    std::printf("  MessageSender:                        %.0f messages/s\n", senderRate);
    std::printf("  TextChannel::send:                    %.0f messages/s\n", bareRate);
    std::printf("  ratio (sender / bare):                %.3f  (target >= 0.9)\n", senderRate / bareRate);
    std::printf("  client CPU per message:               sender %.1f us, bare %.1f us\n",
                senderCpu / 1e3 / messages, bareCpu / 1e3 / messages);
    return 0;
}
