// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Receive latency: from a message arriving at the connection manager (the
// test connection manager is told to receive it) until the caller's signal,
// ChatSession::messageReceived() against a bare Telepathy-Qt
// TextChannel::messageReceived() handler that acknowledges the same way, on
// two channels of the same connection, alternating.
//
// Runs inside the test environment:
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/chat/bench_receivelatency [messages]

#include "benchstats.h"
#include "chatsession.h"
#include "incomingmessage.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/PendingReady>
#include <TelepathyQt/ReceivedMessage>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 500;
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    const QString sessionPeer = QStringLiteral("session@loop.test");
    const QString barePeer = QStringLiteral("bare@loop.test");

    TelepathyTestEnvironment env;
    if (!env.init())
        return 2;
    Tp::TextChannelPtr sessionChannel = env.ensureTextChannel(account, Tp::HandleTypeContact, sessionPeer);
    Tp::TextChannelPtr bareChannel = env.ensureTextChannel(account, Tp::HandleTypeContact, barePeer);
    if (!sessionChannel || !bareChannel)
        return 2;
    TestCmControl &control = env.control(account);

    ChatSession session(env.account(account), ChatContext(sessionPeer, account));
    QEventLoop loop;
    QObject::connect(&session, &ChatSession::chatSessionReady, &loop, &QEventLoop::quit);
    session.setChannel(sessionChannel);
    QObject::connect(sessionChannel->becomeReady(Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                                                                << Tp::TextChannel::FeatureMessageSentSignal),
                     &Tp::PendingOperation::finished, &session, &ChatSession::channelReady);
    loop.exec();

    int received = 0;
    QObject::connect(&session, &ChatSession::messageReceived, &loop, [&](const IncomingMessage &) {
        ++received;
        loop.quit();
    });
    QObject::connect(bareChannel.data(), &Tp::TextChannel::messageReceived, &loop,
                     [&](const Tp::ReceivedMessage &message) {
                         ++received;
                         bareChannel->acknowledge(QList<Tp::ReceivedMessage>() << message);
                         loop.quit();
                     });
    // A lost message must not hang the benchmark.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);

    QVector<qint64> viaSession, bare;
    QElapsedTimer timer;
    for (int i = 0; i < messages; ++i) {
        timer.start();
        control.injectMessageOnChannel(sessionChannel->objectPath(), sessionPeer, QStringLiteral("s %1").arg(i));
        guard.start(5000);
        loop.exec();
        viaSession << timer.nsecsElapsed();

        timer.start();
        control.injectMessageOnChannel(bareChannel->objectPath(), barePeer, QStringLiteral("b %1").arg(i));
        guard.start(5000);
        loop.exec();
        bare << timer.nsecsElapsed();
    }

    const double s = median(viaSession) / 1000.0, b = median(bare) / 1000.0;
    std::printf("messages each:                  %d (alternating)\n", messages);
    std::printf("ChatSession::messageReceived:   median %.1f us\n", s);
    std::printf("TextChannel::messageReceived:   median %.1f us\n", b);
    std::printf("ratio (session / bare):         %.3f  (target <= 1.10)\n", s / b);
    const int lost = 2 * messages - received;
    if (lost)
        std::printf("messages not received:          %d\n", lost);
    return lost ? 1 : 0;
}
