// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// bench_qml's history figures, on a copy of bench_history's generated store
// (10,000 threads, 1,000,000 messages; build bench_history and run it once):
//  4. ThreadModel's first 50 rows, every role read (the title included),
//     against HistoryThreadModel underneath; target ratio <= 1.2.
//  5. each fetchMore of 50 threads (ThreadModel) and of 50 older messages
//     (a conversation's model, on the largest thread); target <= 5 ms.
//  6. a message stored by another process until its ThreadModel row has
//     changed here; target median <= 50 ms.
//  7. the reference UI's start, from launching the process until the first
//     frame that shows the conversation list (measured).
// Run inside the private stack:
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//       -- build/benchmarks/qml/bench_qml --history=<store> [rounds]

#include "messagemodel.h"
#include "threadmodel.h"

#include <messaging0/historystore.h>
#include <messaging0/historythreadmodel.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

#include <algorithm>
#include <cstdio>

namespace {

double medianMs(QVector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return ns.isEmpty() ? 0 : ns.at(ns.size() / 2) / 1e6;
}

double maxMs(const QVector<qint64> &ns)
{
    return ns.isEmpty() ? 0 : *std::max_element(ns.cbegin(), ns.cend()) / 1e6;
}

template<typename Model>
qint64 firstPage(HistoryStore *store)
{
    QElapsedTimer timer;
    timer.start();
    Model model(store);
    const QList<int> roles = model.roleNames().keys();
    int touched = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int role : roles)
            touched += model.data(model.index(row, 0), role).isValid() ? 1 : 0;
    }
    const qint64 ns = timer.nsecsElapsed();
    if (model.rowCount() != 50 || touched == 0)
        qFatal("the first page has %d rows", model.rowCount());
    return ns;
}

qint64 largestThread(const QString &file)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("largest"));
    db.setDatabaseName(file);
    qint64 id = -1;
    if (db.open()) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT thread_id FROM messages GROUP BY thread_id ORDER BY count(*) DESC LIMIT 1"));
        if (q.next())
            id = q.value(0).toLongLong();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("largest"));
    return id;
}

// Child: stores one incoming message per line read on stdin ("<n>"), in the
// thread of a fixed contact, and answers "ok".
int storingChild(const QString &file)
{
    HistoryStore store(file);
    QTextStream in(stdin), out(stdout);
    const ChatContext context(QStringLiteral("latency@loop.test"),
                              QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0"),
                              OneToOneChat);
    QString line;
    while (in.readLineInto(&line)) {
        HistoryMessage message;
        message.setSenderId(context.remoteUid());
        message.setText(QStringLiteral("latency %1").arg(line));
        store.addMessage(context, message);
        // The store tells other processes on the next turn of the event
        // loop, which this blocking loop gives it here.
        QCoreApplication::processEvents();
        out << "ok" << Qt::endl;
    }
    return 0;
}

// Child: the reference UI; prints "frame" on the first frame after the
// conversation list has its rows.
int uiChild(const QString &mainQml)
{
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(MESSAGING_QML_IMPORT_DIR));
    engine.load(QUrl::fromLocalFile(mainQml));
    auto *window = engine.rootObjects().isEmpty() ? nullptr
                                                  : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return 1;
    QObject *list = window->findChild<QObject *>(QStringLiteral("threadList"));
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [list] {
        if (list && list->property("count").toInt() > 0) {
            std::printf("frame\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    });
    return QCoreApplication::exec();
}

} // namespace

int historyChild(const QStringList &args)
{
    if (args.value(0) == QLatin1String("store"))
        return storingChild(args.value(1));
    if (args.value(0) == QLatin1String("ui"))
        return uiChild(args.value(1));
    return 2;
}

int historyFigures(const QString &source, int rounds)
{
    // The user's store of the run's private home: the reference UI opens it too.
    const QString file = HistoryStore::defaultPath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile::remove(file);
    if (!QFile::copy(source, file)) {
        std::fprintf(stderr, "bench_qml: cannot copy the store %s (run bench_history once)\n", qPrintable(source));
        return 1;
    }
    HistoryStore store(file);
    if (!store.isOpen())
        return 1;
    std::printf("store: %s, %d rounds\n", qPrintable(source), rounds);

    // 4. First page, alternating.
    QVector<qint64> qml, cpp;
    firstPage<QmlThreadModel>(&store);
    firstPage<HistoryThreadModel>(&store);
    for (int i = 0; i < rounds; ++i) {
        qml.append(firstPage<QmlThreadModel>(&store));
        cpp.append(firstPage<HistoryThreadModel>(&store));
    }
    // The total unread count, counted after the first rows.
    {
        QmlThreadModel model(&store);
        QElapsedTimer timer;
        timer.start();
        QSignalSpy counted(&model, &QmlThreadModel::totalUnreadCountChanged);
        counted.wait(5000);
        std::printf("   ThreadModel totalUnreadCount (%d), counted after the rows   %7.3f ms\n",
                    model.totalUnreadCount(), timer.nsecsElapsed() / 1e6);
    }
    std::printf("4. ThreadModel first 50 rows      %7.3f ms   HistoryThreadModel %7.3f ms   ratio %.2f (target <= 1.2)\n",
                medianMs(qml), medianMs(cpp), medianMs(qml) / medianMs(cpp));

    // 5. fetchMore, threads and messages.
    QVector<qint64> threadPages, messagePages;
    {
        QmlThreadModel model(&store);
        for (int i = 0; i < rounds && model.canFetchMore(QModelIndex()); ++i) {
            QElapsedTimer timer;
            timer.start();
            model.fetchMore(QModelIndex());
            threadPages.append(timer.nsecsElapsed());
        }
        const qint64 thread = largestThread(file);
        QmlMessageModel messages;
        messages.prependHistory(store.messages(thread, 50));
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            // What Conversation::fetchMore() does.
            messages.prependHistory(store.messages(thread, 50, messages.oldestStored()));
            messagePages.append(timer.nsecsElapsed());
        }
        std::printf("5. fetchMore 50 threads           median %7.3f ms, max %7.3f ms (target <= 5 ms)\n",
                    medianMs(threadPages), maxMs(threadPages));
        std::printf("   fetchMore 50 messages          median %7.3f ms, max %7.3f ms (target <= 5 ms; thread of %d rows loaded)\n",
                    medianMs(messagePages), maxMs(messagePages), messages.count());
    }

    // 6. Another process stores; the row here changes.
    {
        QmlThreadModel model(&store);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QStringLiteral("store"), file});
        if (!child.waitForStarted())
            return 1;
        QVector<qint64> latency;
        for (int i = 0; i < rounds + 1; ++i) {
            QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
            QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
            QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
            QElapsedTimer timer;
            timer.start();
            child.write(QByteArray::number(i) + '\n');
            while (changed.isEmpty() && inserted.isEmpty() && moved.isEmpty() && timer.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            const qint64 ns = timer.nsecsElapsed();
            child.waitForReadyRead(5000);
            child.readAll();
            if (i > 0) // the first one creates the thread
                latency.append(ns);
        }
        child.closeWriteChannel();
        child.waitForFinished(5000);
        std::printf("6. stored in another process -> ThreadModel row   median %7.3f ms, max %7.3f ms (target median <= 50 ms)\n",
                    medianMs(latency), maxMs(latency));
    }

    // 7. The reference UI, on this store.
    {
        QVector<qint64> starts;
        for (int i = 0; i < qMin(rounds, 5); ++i) {
            QProcess ui;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            QElapsedTimer timer;
            timer.start();
            ui.setProcessEnvironment(env);
            ui.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--child"), QStringLiteral("ui"), QStringLiteral(MESSENGER_MAIN_QML)});
            while (ui.waitForReadyRead(20000)) {
                if (ui.readAll().contains("frame"))
                    break;
            }
            starts.append(timer.nsecsElapsed());
            ui.kill();
            ui.waitForFinished();
        }
        std::printf("7. reference UI start -> first frame showing the list   median %7.1f ms, max %7.1f ms\n",
                    medianMs(starts), maxMs(starts));
    }
    QFile::remove(file);
    return 0;
}
