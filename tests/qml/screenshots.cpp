// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Renders the reference UI (examples/messenger) offscreen inside the
// private stack, goes through a conversation the way a person would (a
// message sent after its check, one the connection manager refuses, one
// that arrives), and saves the account list and the chat view:
//   messenger-screenshots <output folder>
// Fails unless the sent message reaches "sent" and the refused one shows
// its reason. scripts/screenshots runs it for docs/images/.

#include "testcmcontrol.h"
#include "testhelpers.h"

#include <QDir>
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

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(MESSAGING_QML_IMPORT_DIR));
    engine.load(QUrl::fromLocalFile(QStringLiteral(MESSENGER_MAIN_QML)));
    auto *window = engine.rootObjects().isEmpty() ? nullptr
                                                  : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return fail("the reference UI did not load");

    // The SMS entry and both instant-messaging accounts, the connected one usable.
    QObject *accountList = window->findChild<QObject *>(QStringLiteral("accountList"));
    if (!accountList || !waitUntil([&] { return accountList->property("count").toInt() >= 3; }, 15000))
        return fail("the account list did not fill");
    waitUntil([] { return false; }, 1500); // presences and usability settle
    if (!save(window, out.filePath(QStringLiteral("accounts.png"))))
        return fail("cannot save the account list");

    QMetaObject::invokeMethod(window, "openConversation", Q_ARG(QVariant, Alice), Q_ARG(QVariant, Bob),
                              Q_ARG(QVariant, false));
    QObject *page = window->property("currentPage").value<QObject *>();
    QObject *conversation = page ? page->property("conversation").value<QObject *>() : nullptr;
    if (!conversation || !waitUntil([&] { return conversation->property("state").toInt() == 2; }, 15000))
        return fail("the conversation did not become ready");
    QObject *messages = conversation->property("messages").value<QObject *>();

    enum { Sent = 1, Delivered = 2, Failed = 3 };
    TestCmControl control(QStringLiteral("loopback"));
    typeAndSend(page, QStringLiteral("Hi Bob! Lunch at noon?"));
    if (!waitForState(messages, 0, Sent))
        return fail("the first message did not reach \"sent\"");
    control.injectMessage(QStringLiteral("/"), 1, QString(), Bob, QStringLiteral("Sure, the usual place?"));
    if (!waitUntil([&] { return messages->property("count").toInt() == 2; }, 15000))
        return fail("the reply did not arrive");
    control.failNextSend(QStringLiteral("org.freedesktop.Telepathy.Error.NetworkError"),
                         QStringLiteral("The server did not answer"));
    typeAndSend(page, QStringLiteral("Yes, see you there"));
    if (!waitForState(messages, 2, Failed))
        return fail("the refused message did not fail");
    typeAndSend(page, QStringLiteral("Yes, see you there (again)"));
    if (!waitForState(messages, 3, Sent))
        return fail("the last message did not reach \"sent\"");
    if (!save(window, out.filePath(QStringLiteral("chat.png"))))
        return fail("cannot save the chat view");
    return 0;
}
