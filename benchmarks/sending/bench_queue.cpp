// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The persistent send queue:
//
//  1. sendMessage() with 1, 100 and 1,000 messages already queued (each call
//     saves the whole file atomically and syncs its folder), against writing
//     the same bytes with QSaveFile alone and with QSaveFile plus the same
//     folder sync, the limit. Alternating; medians and their ratios (the
//     target is against the same durability).
//  2. Loading a file of 10,000 messages: time, and the memory the loaded
//     queue holds.
//  3. Draining 1,000 queued messages through the loopback connection
//     manager, against a bare Telepathy-Qt loop that sends one message and
//     waits for it before the next; messages per second and their ratio.
//
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/sending/bench_queue [calls] [drained messages]

#include "benchstats.h"
#include "queuedmessagesender.h"
#include "queuefile.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/PendingSendMessage>
#include <TelepathyQt/TextChannel>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace {

const QString Account = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const int TimeoutMs = 120000;

QString queueFile()
{
    return QDir::homePath() + QStringLiteral("/.messaging-ui/sendqueue.dat");
}

MessageContent message(int n, const QString &to = QStringLiteral("+358401000002"))
{
    return MessageContent(Account, to, QStringLiteral("Queued message number %1, a text of typical length.").arg(n),
                          false, 0);
}

QList<MessageContent> messages(int count, const QString &to = QStringLiteral("+358401000002"))
{
    QList<MessageContent> list;
    for (int i = 0; i < count; ++i)
        list << message(i, to);
    return list;
}

bool writeFile(const QByteArray &bytes)
{
    QSaveFile file(queueFile());
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

template<typename Done>
bool serveUntil(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void sendMessageCost(int calls)
{
    std::printf("1. sendMessage() against QSaveFile alone and QSaveFile + folder fsync (%d calls each, alternating, "
                "medians)\n", calls);
    for (const int queued : {1, 100, 1000}) {
        QVector<qint64> queue;
        QVector<qint64> bare;
        QVector<qint64> synced;
        writeFile(QueueFile::encode(messages(queued)));
        // Not started: nothing is sent while this measures.
        auto *sender = new QueuedMessageSender;
        sender->createDataDirectory();
        sender->loadQueue();
        const QString limitFile = queueFile() + QStringLiteral(".limit");
        for (int i = 0; i < calls; ++i) {
            QElapsedTimer timer;
            timer.start();
            sender->sendMessage(message(queued + i));
            queue << timer.nsecsElapsed();

            // The same bytes the call above wrote, written by QSaveFile alone.
            const QByteArray bytes = QueueFile::encode(sender->messages());
            timer.restart();
            QSaveFile file(limitFile);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            file.commit();
            bare << timer.nsecsElapsed();

            timer.restart();
            QSaveFile syncedFile(limitFile);
            syncedFile.open(QIODevice::WriteOnly);
            syncedFile.write(bytes);
            syncedFile.commit();
            const int folder = ::open(QFile::encodeName(QFileInfo(limitFile).absolutePath()).constData(),
                                      O_RDONLY | O_DIRECTORY);
            ::fsync(folder);
            ::close(folder);
            synced << timer.nsecsElapsed();
        }
        delete sender;
        QFile::remove(limitFile);
        const double q = medianMs(queue);
        const double b = medianMs(bare);
        const double f = medianMs(synced);
        std::printf("   %4d queued: sendMessage %.3f ms, QSaveFile alone %.3f ms (ratio %.2f), "
                    "+ folder fsync %.3f ms (ratio %.2f, target <= 1.2)\n",
                    queued, q, b, q / b, f, q / f);
    }
}

void loadCost()
{
    const int count = 10000;
    const QByteArray bytes = QueueFile::encode(messages(count));
    writeFile(bytes);
    QVector<qint64> times;
    size_t held = 0;
    for (int round = 0; round < 5; ++round) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        auto *sender = new QueuedMessageSender;
        QElapsedTimer timer;
        timer.start();
        sender->loadQueue();
        times << timer.nsecsElapsed();
        held = mallinfo2().uordblks - before;
        if (sender->messages().size() != count)
            std::printf("   loaded %d messages, expected %d\n", int(sender->messages().size()), count);
        delete sender;
    }
    std::printf("2. Loading %d messages (%.2f MB file): %.1f ms (median of 5), the loaded queue holds %.2f MB\n",
                count, bytes.size() / 1e6, medianMs(times), held / 1e6);
}

// CPU time of this process: the client-side cost of each path.
qint64 cpuNs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

const QString QueueTarget = QStringLiteral("drain-queue@loop.test");
const QString BareTarget = QStringLiteral("drain-bare@loop.test");

// Seconds for the queue to send count messages loaded from its file.
double drainQueue(QueuedMessageSender &queue, int count, int *failures)
{
    writeFile(QueueFile::encode(messages(count, QueueTarget)));
    int statuses = 0;
    const QMetaObject::Connection counting = QObject::connect(
        &queue, &QueuedMessageSender::messageStatusChanged, [&](const MessageContent &, int status) {
            ++statuses;
            *failures += status != 0 ? 1 : 0;
        });
    QElapsedTimer timer;
    timer.start();
    queue.init();
    const bool done = serveUntil([&] { return statuses == count; });
    QObject::disconnect(counting);
    return done ? timer.nsecsElapsed() / 1e9 : -1;
}

// Seconds for a bare Telepathy-Qt loop to send count messages, one at a time.
double drainBare(const Tp::TextChannelPtr &channel, int count)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        Tp::MessagePart header, body;
        body.insert(QStringLiteral("content-type"), QDBusVariant(QStringLiteral("text/plain")));
        body.insert(QStringLiteral("content"), QDBusVariant(message(i).message()));
        bool finished = false;
        QObject::connect(channel->send(Tp::MessagePartList() << header << body), &Tp::PendingOperation::finished,
                         [&finished](Tp::PendingOperation *) { finished = true; });
        if (!serveUntil([&] { return finished; }))
            return -1;
    }
    return timer.nsecsElapsed() / 1e9;
}

// Both on a conversation that is already open, in alternating blocks so
// that a change in the machine's load hits both.
bool drain(TelepathyTestEnvironment &env, int count)
{
    const Tp::TextChannelPtr channel = env.ensureTextChannel(Account, Tp::HandleTypeContact, BareTarget);
    QueuedMessageSender queue;
    int failures = 0;
    if (!channel || drainQueue(queue, 1, &failures) < 0) {
        std::printf("   the conversations did not open\n");
        return false;
    }
    const int blocks = 10;
    const int perBlock = qMax(1, count / blocks);
    double queueSeconds = 0;
    double bareSeconds = 0;
    qint64 queueCpu = 0;
    qint64 bareCpu = 0;
    for (int block = 0; block < blocks; ++block) {
        qint64 cpu = cpuNs();
        const double q = drainQueue(queue, perBlock, &failures);
        queueCpu += cpuNs() - cpu;
        cpu = cpuNs();
        const double b = drainBare(channel, perBlock);
        bareCpu += cpuNs() - cpu;
        if (q < 0 || b < 0) {
            std::printf("   block %d did not finish\n", block);
            return false;
        }
        queueSeconds += q;
        bareSeconds += b;
    }
    const int total = perBlock * blocks;
    const double queueRate = total / queueSeconds;
    const double bareRate = total / bareSeconds;
    std::printf("3. Draining %d messages on an open conversation (%d alternating blocks): queue %.0f messages/s"
                " (%d failed), bare Telepathy-Qt loop %.0f messages/s, ratio %.2f (target >= 0.95)\n",
                total, blocks, queueRate, failures, bareRate, queueRate / bareRate);
    std::printf("   client CPU per message: queue %.0f us, bare %.0f us\n", queueCpu / 1e3 / total,
                bareCpu / 1e3 / total);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int calls = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 200;
    const int drained = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 1000;

    // The queue lives under HOME: a folder of this run's own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir().mkpath(QFileInfo(queueFile()).absolutePath());

    sendMessageCost(calls);
    loadCost();

    TelepathyTestEnvironment env;
    if (!env.init() || !env.connectedAccount(Account)) {
        std::fprintf(stderr, "bench_queue: the test environment is not available\n");
        return 2;
    }
    return drain(env, drained) ? 0 : 1;
}
