// Kill test of the send queue's file: a child process enqueues messages in
// a loop (every sendMessage() saves the whole queue) and is killed with
// SIGKILL at a random moment, again and again. After each kill the file
// must load undamaged and hold every message whose sendMessage() had
// returned, in order, after what it held before.
//
//   queuekilltest [kills]        (default 1000; the test suite runs fewer)
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
    QTemporaryDir home;
    if (!home.isValid() || kills <= 0) {
        std::fprintf(stderr, "usage: queuekilltest [kills]\n");
        return 2;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    const QString fileName = home.path() + QStringLiteral("/.messaging-ui/sendqueue.dat");
    QRandomGenerator random(2026);

    int lost = 0;
    int unreadable = 0;
    int startFailures = 0;
    qint64 acknowledged = 0;
    qint64 unacknowledgedKept = 0;
    QStringList before;
    for (int kill = 0; kill < kills; ++kill) {
        const QString prefix = QStringLiteral("k%1-").arg(kill);
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), prefix});
        if (!child.waitForStarted() || !child.waitForReadyRead(10000)) {
            ++startFailures;
            child.kill();
            child.waitForFinished();
            continue;
        }
        ::usleep(useconds_t(random.bounded(60000)));
        child.kill(); // SIGKILL
        child.waitForFinished();

        // "ready", then one line per message whose sendMessage() returned.
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        int acked = 0;
        for (const QByteArray &line : lines)
            acked += !line.isEmpty() && line != "ready" ? 1 : 0;
        acknowledged += acked;

        QFile file(fileName);
        QueueFile::Contents contents;
        if (file.open(QIODevice::ReadOnly))
            contents = QueueFile::decode(file.readAll());
        else
            contents.damaged = !before.isEmpty() || acked > 0;
        file.close();
        if (contents.damaged) {
            ++unreadable;
            std::fprintf(stderr, "kill %d: the file does not load\n", kill);
        }
        const QStringList after = texts(contents.messages);
        QStringList expected = before;
        for (int n = 0; n < acked; ++n)
            expected << prefix + QString::number(n);
        // The message being saved when the kill came may be there or not.
        const bool complete = after.mid(0, expected.size()) == expected && after.size() <= expected.size() + 1
            && (after.size() == expected.size() || after.last() == prefix + QString::number(acked));
        if (!complete) {
            int missing = 0;
            for (const QString &text : qAsConst(expected))
                missing += after.contains(text) ? 0 : 1;
            lost += qMax(missing, 1);
            std::fprintf(stderr, "kill %d: expected %d messages, the file holds %d\n", kill,
                         int(expected.size()), int(after.size()));
        }
        unacknowledgedKept += after.size() - expected.size() > 0 ? 1 : 0;
        before = after;
        if (before.size() > MaxKept || contents.damaged) {
            QFile::remove(fileName);
            before.clear();
        }
    }
    const int aside = QDir(home.path() + QStringLiteral("/.messaging-ui"))
                          .entryList({QStringLiteral("sendqueue.dat.damaged-*")}, QDir::Files).size();
    std::printf("kills: %d, messages acknowledged: %lld, lost: %d, unreadable files: %d, files kept aside as "
                "damaged: %d, kills that caught a save already on disk but not yet acknowledged: %lld, "
                "children that did not start: %d\n",
                kills, acknowledged, lost, unreadable, aside, unacknowledgedKept, startFailures);
    return lost == 0 && unreadable == 0 && aside == 0 && startFailures == 0 ? 0 : 1;
}
