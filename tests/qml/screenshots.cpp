// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Renders the reference UI (examples/messenger) offscreen inside the
// private stack on the sample history (messaging-seed-history), and goes
// through it the way a person would: the conversation list, a search for a
// word of an old message, the accounts, then a conversation with its
// history where a message is sent after its check, one the connection
// manager refuses, one arrives. Saves threads.png, search.png,
// accounts.png and chat.png:
//   messenger-screenshots <output folder>
// Fails unless each view fills and the messages reach their states.
// scripts/screenshots runs it for docs/images/.

#include "testcmcontrol.h"
#include "testhelpers.h"

#include <QDir>
#include <QProcess>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <cstdio>

namespace {

const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");
const QString Bob = QStringLiteral("bob@loop.test");

int fail(const char *what)
{
    std::fprintf(stderr, "messenger-screenshots: %s\n", what);
    return 1;
}

bool save(QQuickWindow *window, const QString &path)
{
    // Let pending changes reach the scene first.
    waitUntil([] { return false; }, 800);
    QImage image = window->grabWindow();
    // The software renderer on the offscreen platform has no backing store
    // the window can read back; the platform's screen has the picture.
    if (image.isNull())
        image = window->screen()->grabWindow(window->winId()).toImage();
    if (image.isNull() || !image.save(path))
        return false;
    std::printf("saved %s\n", qPrintable(path));
    return true;
}

QVariantMap messageRow(QObject *messages, int row)
{
    QVariantMap values;
    QMetaObject::invokeMethod(messages, "get", Q_RETURN_ARG(QVariantMap, values), Q_ARG(int, row));
    return values;
}

bool waitForState(QObject *messages, int row, int state)
{
    return waitUntil([&] { return messageRow(messages, row).value(QStringLiteral("state")).toInt() == state; },
                     15000);
}

void typeAndSend(QObject *page, const QString &text)
{
    page->property("draft").value<QObject *>()->setProperty("text", text);
    QMetaObject::invokeMethod(page, "sendDraft");
}

} // namespace

int main(int argc, char *argv[])
{
    // Rendering without a GPU.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return fail("usage: messenger-screenshots <output folder>");
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());

    if (QProcess::execute(QStringLiteral(MESSAGING_SEED_HISTORY), {}) != 0)
        return fail("the sample history could not be written");

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(MESSAGING_QML_IMPORT_DIR));
    engine.load(QUrl::fromLocalFile(QStringLiteral(MESSENGER_MAIN_QML)));
    auto *window = engine.rootObjects().isEmpty() ? nullptr
                                                  : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return fail("the reference UI did not load");

    // The conversation list: five seeded conversations.
    QObject *threadList = window->findChild<QObject *>(QStringLiteral("threadList"));
    if (!threadList || !waitUntil([&] { return threadList->property("count").toInt() >= 5; }, 15000))
        return fail("the conversation list did not fill");
    if (!save(window, out.filePath(QStringLiteral("threads.png"))))
        return fail("cannot save the conversation list");

    QObject *searchField = window->findChild<QObject *>(QStringLiteral("searchField"));
    QObject *results = window->findChild<QObject *>(QStringLiteral("searchResults"));
    if (!searchField || !results)
        return fail("the list has no search field");
    searchField->setProperty("text", QStringLiteral("lasag"));
    if (!waitUntil([&] { return results->property("count").toInt() >= 1; }, 15000))
        return fail("the search found nothing");
    if (!save(window, out.filePath(QStringLiteral("search.png"))))
        return fail("cannot save the search");
    searchField->setProperty("text", QString());

    // The accounts, one tap away: the SMS entry and both instant-messaging
    // accounts, the connected one usable.
    QMetaObject::invokeMethod(window->property("currentPage").value<QObject *>(), "accountsRequested");
    QObject *accountsPage = window->property("currentPage").value<QObject *>();
    QObject *accountList = window->findChild<QObject *>(QStringLiteral("accountList"));
    if (!accountList || !waitUntil([&] { return accountList->property("count").toInt() >= 3; }, 15000))
        return fail("the account list did not fill");
    waitUntil([] { return false; }, 1500); // presences and usability settle
    if (!save(window, out.filePath(QStringLiteral("accounts.png"))))
        return fail("cannot save the account list");
    QMetaObject::invokeMethod(accountsPage, "back");

    QMetaObject::invokeMethod(window, "openConversation", Q_ARG(QVariant, Alice), Q_ARG(QVariant, Bob),
                              Q_ARG(QVariant, false), Q_ARG(QVariant, QStringLiteral("bob@loop.test")),
                              Q_ARG(QVariant, -1));
    QObject *page = window->property("currentPage").value<QObject *>();
    QObject *conversation = page ? page->property("conversation").value<QObject *>() : nullptr;
    if (!conversation || !waitUntil([&] { return conversation->property("state").toInt() == 2; }, 15000))
        return fail("the conversation did not become ready");
    QObject *messages = conversation->property("messages").value<QObject *>();
    const int stored = messages->property("count").toInt();
    if (stored != 50) {
        std::fprintf(stderr, "%d rows, thread %lld\n", stored, conversation->property("threadId").toLongLong());
        return fail("the conversation does not show its newest 50 stored messages");
    }

    enum { Sent = 1, Delivered = 2, Failed = 3 };
    TestCmControl control(QStringLiteral("loopback"));
    typeAndSend(page, QStringLiteral("Yes! See you at noon"));
    if (!waitForState(messages, stored, Sent))
        return fail("the first message did not reach \"sent\"");
    control.failNextSend(QStringLiteral("org.freedesktop.Telepathy.Error.NetworkError"),
                         QStringLiteral("The server did not answer"));
    typeAndSend(page, QStringLiteral("I'll bring the book"));
    if (!waitForState(messages, stored + 1, Failed))
        return fail("the refused message did not fail");
    control.injectMessage(QStringLiteral("/"), 1, QString(), Bob, QStringLiteral("Great, thanks!"));
    if (!waitUntil([&] { return messages->property("count").toInt() == stored + 3; }, 15000))
        return fail("the reply did not arrive");
    if (!save(window, out.filePath(QStringLiteral("chat.png"))))
        return fail("cannot save the chat view");
    return 0;
}
