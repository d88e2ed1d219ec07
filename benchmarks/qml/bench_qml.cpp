// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The QML module's costs:
//  1. send() called from QML until the row's state is Sent, against the
//     C++ path underneath (MessageSender::send -> messageStatusChanged(id, 0)),
//     on one ready conversation of the loopback connection manager,
//     alternating; target ratio <= 1.1.
//  2. SmsSegmentCounter on a 160-character text (GSM and UCS-2); target
//     <= 2 us per text.
//  3. MessageModel appends up to 10,000 rows, per block of 1,000: the cost
//     per append must stay flat.
// Run inside the private stack:
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//       -- build/benchmarks/qml/bench_qml [rounds]
// The history figures (4-7, bench_qmlhistory.cpp) with --history=<store> [rounds].

#include "benchstats.h"
#include "messagemodel.h"
#include "testhelpers.h"

#include <messaging0/messagesender.h>
#include <messaging0/smssegmentcounter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>

#include <cstdio>

namespace {

const char *const ConversationQml = R"(
import QtQml 2.15
import Messaging 1.0
Conversation {
    accountPath: "/org/freedesktop/Telepathy/Account/loopback/loop/alice0"
    remoteId: "bench@loop.test"
    function sendFromQml(text) { return send(text) }
}
)";

int sendLatency(int rounds)
{
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral(MESSAGING_QML_IMPORT_DIR));
    QQmlComponent component(&engine);
    component.setData(ConversationQml, QUrl());
    QObject *conversation = component.create();
    if (!conversation) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    if (!waitUntil([&] { return conversation->property("state").toInt() == 2; }, 10000)) {
        std::fprintf(stderr, "the conversation did not become ready\n");
        return 1;
    }
    // The plugin's own model class: reached through its base class only.
    auto *messages = qobject_cast<QAbstractItemModel *>(conversation->property("messages").value<QObject *>());

    MessageSender sender(QStringLiteral("bench@loop.test"),
                         QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0"));
    // One message in flight at a time; the sender makes its id, as the
    // conversation does.
    bool cppDone = false;
    QObject::connect(&sender, &MessageSender::messageStatusChanged, [&](const QString &, int status) {
        if (status == 0)
            cppDone = true;
    });
    // Warm both paths up (the sender adopts the session on its first send).
    sender.send(QStringLiteral("warm"));
    waitUntil([&] { return cppDone; });

    QVector<qint64> qml, cpp;
    QElapsedTimer timer;
    for (int round = 0; round < rounds + 5; ++round) {
        QVariant id;
        const int row = messages->rowCount();
        timer.start();
        QMetaObject::invokeMethod(conversation, "sendFromQml", Q_RETURN_ARG(QVariant, id),
                                  Q_ARG(QVariant, QStringLiteral("from QML")));
        if (!waitUntil([&] {
                return messages->data(messages->index(row, 0), QmlMessageModel::StateRole).toInt()
                    == QmlMessageModel::Sent;
            }))
            return 1;
        const qint64 qmlTime = timer.nsecsElapsed();

        cppDone = false;
        timer.start();
        sender.send(QStringLiteral("from C++"));
        if (!waitUntil([&] { return cppDone; }))
            return 1;
        const qint64 cppTime = timer.nsecsElapsed();
        if (round >= 5) {
            qml.append(qmlTime);
            cpp.append(cppTime);
        }
    }
    const double q = medianMs(qml), c = medianMs(cpp);
    std::printf("send -> Sent, %d rounds: QML %.3f ms, C++ MessageSender %.3f ms, ratio %.3f (target <= 1.1)\n",
                rounds, q, c, q / c);
    delete conversation;
    return 0;
}

void segmentCounter()
{
    const QStringList texts = {QStringLiteral("a").repeated(150) + QStringLiteral("€[]{}0123"),
                               QStringLiteral("Ж").repeated(160)};
    const char *names[] = {"GSM 7-bit", "UCS-2"};
    const int iterations = 1000000;
    for (int t = 0; t < texts.size(); ++t) {
        SmsSegmentCounter counter;
        int sink = 0;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < iterations; ++i) {
            counter.setText(texts.at(t));
            sink += counter.segments() + counter.remaining();
        }
        const double us = double(timer.nsecsElapsed()) / iterations / 1000.0;
        std::printf("SmsSegmentCounter, 160 characters %s: %.3f us per text (target <= 2 us) [%d]\n", names[t],
                    us, sink % 7);
    }
}

void modelAppends()
{
    QmlMessageModel model;
    // A listener as a view would have.
    int changes = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++changes; });
    QElapsedTimer timer;
    std::printf("MessageModel append + state change, median ns per message by block of 1,000 rows:");
    for (int block = 0; block < 10; ++block) {
        QVector<qint64> samples;
        for (int i = 0; i < 1000; ++i) {
            const QString id = QString::number(block * 1000 + i);
            timer.start();
            model.appendOutgoing(id, QStringLiteral("message text"));
            model.setState(id, QmlMessageModel::Sent);
            samples.append(timer.nsecsElapsed());
        }
        std::printf(" %.0f", median(samples));
    }
    std::printf(" (%d rows)\n", model.count());
}

} // namespace

int historyChild(const QStringList &args);
int historyFigures(const QString &store, int rounds);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--child"))
        return historyChild(args.mid(1));
    // The history figures (bench_qmlhistory.cpp) on their own.
    if (args.value(0).startsWith(QLatin1String("--history="))) {
        const QString store = args.takeFirst().mid(int(qstrlen("--history=")));
        return historyFigures(store, args.isEmpty() ? 31 : args.first().toInt());
    }
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    segmentCounter();
    modelAppends();
    return sendLatency(rounds);
}
