// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Kill test of the send queue's file: two child processes enqueue messages
// into the same queue in a loop (every sendMessage() saves the whole queue,
// under the queue's lock) and are killed with SIGKILL at random moments,
// again and again. After each round the file must load undamaged and hold,
// after what it held before, every message whose sendMessage() had
// returned, each writer's in its order.
//
//   queuekilltest [kills] [writers]   (default 1000 and 2; the suite runs fewer kills)
//
// Prints the counts and exits non-zero when a message was lost or a file
// did not load.

#include "messagecontent.h"
#include "queuedmessagesender.h"
#include "queuefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

const QString Account = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
// Past this many messages the file is started afresh, to keep saves short.
const int MaxKept = 300;

int runChild(const QString &prefix)
{
    QueuedMessageSender queue;
    queue.createDataDirectory();
    queue.loadQueue();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (int n = 0;; ++n) {
        queue.sendMessage(MessageContent(Account, QStringLiteral("+358401000099"),
                                         prefix + QString::number(n), false, uint(n)));
        // Acknowledged only once sendMessage() has returned.
        const QByteArray line = QByteArray::number(n) + '\n';
        if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) < 0)
            return 1;
    }
}

QStringList texts(const QList<MessageContent> &messages)
{
    QStringList result;
    for (const MessageContent &message : messages)
        result << message.message();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--child"))
        return runChild(arguments.value(2));

    const int kills = arguments.size() > 1 ? arguments.at(1).toInt() : 1000;
    const int writers = arguments.size() > 2 ? arguments.at(2).toInt() : 2;
    QTemporaryDir home;
    if (!home.isValid() || kills <= 0 || writers <= 0) {
        std::fprintf(stderr, "usage: queuekilltest [kills] [writers]\n");
        return 2;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    // The queue records what it takes in the history, which follows XDG_DATA_HOME.
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    const QString fileName = home.path() + QStringLiteral("/.messaging-ui/sendqueue.dat");
    QRandomGenerator random(2026);

    int lost = 0;
    int unreadable = 0;
    int startFailures = 0;
    qint64 acknowledged = 0;
    qint64 unacknowledgedKept = 0;
    QStringList before;
    for (int kill = 0; kill < kills; ++kill) {
        QList<QProcess *> children;
        QStringList prefixes;
        for (int w = 0; w < writers; ++w) {
            prefixes << QStringLiteral("k%1w%2-").arg(kill).arg(w);
            auto *child = new QProcess;
            child->setProcessEnvironment(environment);
            child->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), prefixes.last()});
            children << child;
        }
        for (QProcess *child : qAsConst(children)) {
            if (!child->waitForStarted() || !child->waitForReadyRead(30000)) {
                ++startFailures;
                std::fprintf(stderr, "kill %d: a writer did not start: state %d, %s\n", kill, int(child->state()),
                             child->readAllStandardError().constData());
            }
        }
        // Each writer dies at its own moment, the others still writing.
        for (QProcess *child : qAsConst(children)) {
            ::usleep(useconds_t(random.bounded(60000 / writers)));
            child->kill(); // SIGKILL
            child->waitForFinished();
        }

        QFile file(fileName);
        QueueFile::Contents contents;
        if (file.open(QIODevice::ReadOnly))
            contents = QueueFile::decode(file.readAll());
        else
            contents.damaged = !before.isEmpty();
        file.close();
        if (contents.damaged) {
            ++unreadable;
            std::fprintf(stderr, "kill %d: the file does not load\n", kill);
        }
        const QStringList after = texts(contents.messages);
        bool complete = after.mid(0, before.size()) == before;
        int expectedSize = before.size();
        for (int w = 0; w < writers; ++w) {
            // "ready", then one line per message whose sendMessage() returned.
            const QList<QByteArray> lines = children.at(w)->readAllStandardOutput().split('\n');
            int acked = 0;
            for (const QByteArray &line : lines)
                acked += !line.isEmpty() && line != "ready" ? 1 : 0;
            acknowledged += acked;
            expectedSize += acked;
            QStringList expected;
            for (int n = 0; n < acked; ++n)
                expected << prefixes.at(w) + QString::number(n);
            const QStringList own = after.mid(before.size()).filter(QRegularExpression(QStringLiteral("^") + prefixes.at(w)));
            // The message being saved when the kill came may be there or not.
            const bool writerComplete = own.mid(0, acked) == expected && own.size() <= acked + 1;
            if (!writerComplete) {
                int missing = 0;
                for (const QString &text : qAsConst(expected))
                    missing += own.contains(text) ? 0 : 1;
                lost += qMax(missing, 1);
                std::fprintf(stderr, "kill %d, writer %d: expected %d messages, the file holds %d\n", kill, w,
                             acked, int(own.size()));
            }
            complete = complete && writerComplete;
        }
        if (!complete && after.mid(0, before.size()) != before) {
            ++lost;
            std::fprintf(stderr, "kill %d: what the file held before changed\n", kill);
        }
        unacknowledgedKept += after.size() > expectedSize ? 1 : 0;
        qDeleteAll(children);
        before = after;
        if (before.size() > MaxKept || contents.damaged) {
            QFile::remove(fileName);
            before.clear();
        }
    }
    const int aside = QDir(home.path() + QStringLiteral("/.messaging-ui"))
                          .entryList({QStringLiteral("sendqueue.dat.damaged-*")}, QDir::Files).size();
    std::printf("rounds: %d of %d writer(s) killed each, messages acknowledged: %lld, lost: %d, unreadable files: "
                "%d, files kept aside as damaged: %d, rounds that caught a save already on disk but not yet "
                "acknowledged: %lld, children that did not start: %d\n",
                kills, writers, acknowledged, lost, unreadable, aside, unacknowledgedKept, startFailures);
    return lost == 0 && unreadable == 0 && aside == 0 && startFailures == 0 ? 0 : 1;
}
