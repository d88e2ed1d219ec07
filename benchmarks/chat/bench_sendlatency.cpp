// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Send latency on a ready session: ChatSession::sendMessage() until
// messageStatusChanged(id, 0), against a bare Telepathy-Qt TextChannel::send()
// until the operation finishes, on the same channel, alternating.
//
// Runs inside the test environment:
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/chat/bench_sendlatency [messages]

#include "benchstats.h"
#include "chatsession.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/PendingReady>
#include <TelepathyQt/PendingSendMessage>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>

namespace {
MsgPartsList textParts(const QString &text)
{
    QMap<QString, QDBusVariant> body;
    body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
    body.insert(QStringLiteral("content"), QDBusVariant(text));
    return { QMap<QString, QDBusVariant>(), body };
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 500;
    const QString account = TelepathyTestEnvironment::ImAccountPath;
    const QString target = QStringLiteral("bench@loop.test");

    TelepathyTestEnvironment env;
    if (!env.init())
        return 2;
    Tp::TextChannelPtr channel = env.ensureTextChannel(account, Tp::HandleTypeContact, target);
    if (!channel)
        return 2;

    ChatSession session(env.account(account), ChatContext(target, account));
    QEventLoop loop;
    QObject::connect(&session, &ChatSession::chatSessionReady, &loop, &QEventLoop::quit);
    session.setChannel(channel);
    QObject::connect(channel->becomeReady(Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                                                         << Tp::TextChannel::FeatureMessageSentSignal),
                     &Tp::PendingOperation::finished, &session, &ChatSession::channelReady);
    loop.exec();

    int failures = 0;
    QObject::connect(&session, &ChatSession::messageStatusChanged, &loop, [&](const QString &, int status) {
        failures += status != 0;
        loop.quit();
    });

    const Tp::MessagePartList bareParts = [] {
        Tp::MessagePartList list;
        for (const auto &part : textParts(QStringLiteral("bare")))
            list << Tp::MessagePart(part);
        return list;
    }();
    const MsgPartsList parts = textParts(QStringLiteral("session"));

    QVector<qint64> viaSession, bare;
    QElapsedTimer timer;
    for (int i = 0; i < messages; ++i) {
        timer.start();
        session.sendMessage(parts, QString::number(i), 0);
        loop.exec();
        viaSession << timer.nsecsElapsed();

        timer.start();
        Tp::PendingSendMessage *send = channel->send(bareParts);
        QObject::connect(send, &Tp::PendingOperation::finished, &loop, [&](Tp::PendingOperation *op) {
            failures += op->isError();
            loop.quit();
        });
        loop.exec();
        bare << timer.nsecsElapsed();
    }

    const double s = median(viaSession) / 1000.0, b = median(bare) / 1000.0;
    std::printf("messages each:              %d (alternating)\n", messages);
    std::printf("ChatSession::sendMessage:   median %.1f us\n", s);
    std::printf("TextChannel::send:          median %.1f us\n", b);
    std::printf("ratio (session / bare):     %.3f  (target <= 1.05)\n", s / b);
    if (failures)
        std::printf("failed sends:               %d\n", failures);
    return failures ? 1 : 0;
}
