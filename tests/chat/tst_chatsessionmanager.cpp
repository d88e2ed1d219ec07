// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The session manager against Mission Control and the test connection
// manager: requests, their errors, duplicates, request maps, restoring.
// The manager is process-wide, so the cases run in order: first before the
// account manager is ready, then a failed registration, then the rest.

#include "chatsessionmanager.h"
#include "chatsession.h"
#include "chattestsupport.h"
#include "mucchatsession.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {
using Env = TelepathyTestEnvironment;
const QString Prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
const QString HandlerBusName = QStringLiteral("org.freedesktop.Telepathy.Client.Messaging");
const QString ChannelKey = QStringLiteral("org.freedesktop.Telepathy.Channel.");
const QString PersistentIdKey = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

// Both collectors are connection contexts: they disconnect when they go.
struct ErrorLog : QObject
{
    explicit ErrorLog(ChatSessionManager *manager)
    {
        connect(manager, &ChatSessionManager::chatSessionError, this,
                [this](ChatSessionError &e) { errors << e; });
    }
    QList<ChatSessionError> errors;
};

struct Prepared : QObject
{
    explicit Prepared(ChatSessionManager *manager)
    {
        connect(manager, &ChatSessionManager::prepareChatSession, this, [this](ChatSessionPtr session, bool local) {
            sessions << qMakePair(session, local);
            connect(session.data(), &ChatSession::chatSessionReady, this,
                    [this, raw = session.data()] { readied.insert(raw); });
        });
    }
    bool waitFor(int count, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return sessions.size() >= count; }, timeoutMs);
    }
    QList<QPair<ChatSessionPtr, bool>> sessions;
    // Sessions whose channel the handler has made ready since announcing
    // them (isReady() can say yes earlier, with only the core features).
    QSet<ChatSession *> readied;
};

QVariantMap only(const QVariantMap &map, const QStringList &keys)
{
    QVariantMap result;
    for (const QString &key : keys) {
        if (map.contains(key))
            result.insert(key, map.value(key));
    }
    return result;
}
} // namespace

class TestChatSessionManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void isOneProcessWideInstance();
    void requestBeforeTheAccountManagerIsReadyFailsAtOnce();
    void failedRegistrationStillSaysReadyAndIsRetried();
    void initializeWhenReadyAnswersInTheSameCall();
    void badRequestsFailInsideTheCall_data();
    void badRequestsFailInsideTheCall();
    void requestYieldsALocalSessionThatBecomesReady();
    void repeatedRequestsMakeOneChannelRequest();
    void requestAfterTheSessionWasLetGoBringsANewOne();
    void requestObjectsFinishOnceAfterTheCall_data();
    void requestObjectsFinishOnceAfterTheCall();
    void repeatedRequestObjectsShareOneChannelRequest();
    void requestAfterTheChannelDiedUnderItsRequestBringsANewOne();
    void askingAgainClosesTheChannelOfASessionLetGo();
    void requestMapsFollowTheChatType_data();
    void requestMapsFollowTheChatType();
    void refusedChannelRequestGivesOneChannelRequestError();
    void disabledAccountRequestFailsLater();
    void handlerUnknownToTheDispatcherIsAskedOnceMore_data();
    void handlerUnknownToTheDispatcherIsAskedOnceMore();
    void lookupComparesAccountPathsExactly();
    void lookupFollowsARenamedSession();
    void reconnectionRestoresTheSameSession();

private:
    ChatSessionPtr requestSession(const ChatContext &context);

    Env *m_env = nullptr;
    QObject *m_firstParent = nullptr;
    ChatSessionManager *m_manager = nullptr;
    QList<ChatSessionPtr> m_keep;
    bool keptSessionsBecomeReady()
    {
        return QTest::qWaitFor([this] {
            return std::all_of(m_keep.cbegin(), m_keep.cend(), [](const ChatSessionPtr &s) { return s->isReady(); });
        }, 10000);
    }
};

void TestChatSessionManager::initTestCase()
{
    m_firstParent = new QObject(this);
    m_manager = ChatSessionManager::instance(m_firstParent);
    QVERIFY(m_manager);
}

void TestChatSessionManager::cleanup()
{
    if (m_env) {
        m_env->control(Env::ImAccountPath).reset();
        m_env->control(Env::CellularAccountPath).reset();
    }
}

void TestChatSessionManager::isOneProcessWideInstance()
{
    QObject other;
    QCOMPARE(ChatSessionManager::instance(&other), m_manager);
    QCOMPARE(ChatSessionManager::instance(), m_manager);
    QCOMPARE(m_manager->parent(), m_firstParent);
}

void TestChatSessionManager::requestBeforeTheAccountManagerIsReadyFailsAtOnce()
{
    QVERIFY(!m_manager->isReady());
    ErrorLog log(m_manager);
    m_manager->requestChatSession(ChatContext(QStringLiteral("bob@loop.test"), QStringLiteral("loopback/loop/alice0")));
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors.first().type(), ChatSessionError::AccountManagerError);
    QCOMPARE(log.errors.first().account(), Env::ImAccountPath);
    QCOMPARE(log.errors.first().remoteId(), QStringLiteral("bob@loop.test"));
    QVERIFY(log.errors.first().message().isEmpty());
}

void TestChatSessionManager::failedRegistrationStillSaysReadyAndIsRetried()
{
    // Someone else holds the handler's bus name.
    QDBusConnection squatter = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("squatter"));
    QVERIFY(squatter.registerService(HandlerBusName));

    QSignalSpy ready(m_manager, &ChatSessionManager::managerReady);
    QTest::ignoreMessage(QtCriticalMsg, "void ChatSessionManagerPrivate::registerClient() registerClient failed");
    m_manager->initialize();
    m_manager->initialize(); // connects once: one managerReady
    QVERIFY(waitFor(ready, 1, 20000));
    QTest::qWait(100);
    QCOMPARE(ready.count(), 1);
    QVERIFY(!m_manager->isReady());

    QVERIFY(squatter.unregisterService(HandlerBusName));
    QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
    m_manager->initialize();
    QCOMPARE(ready.count(), 2);
    QVERIFY(m_manager->isReady());
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(HandlerBusName));

    m_env = new Env(this);
    QVERIFY(m_env->init());
    QVERIFY(m_env->connectedAccount(Env::ImAccountPath));
    QVERIFY(m_env->connectedAccount(Env::CellularAccountPath));
}

void TestChatSessionManager::initializeWhenReadyAnswersInTheSameCall()
{
    QSignalSpy ready(m_manager, &ChatSessionManager::managerReady);
    m_manager->initialize();
    QCOMPARE(ready.count(), 1);
}

void TestChatSessionManager::badRequestsFailInsideTheCall_data()
{
    QTest::addColumn<QString>("remoteUid");
    QTest::addColumn<QString>("accountPath");
    QTest::addColumn<bool>("twoStrings");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("errorAccount");

    QTest::newRow("empty uid") << "" << Env::ImAccountPath << true << 1 << Env::ImAccountPath;
    QTest::newRow("empty path") << "bob" << "" << true << 1 << "";
    QTest::newRow("no such account") << "bob" << Prefix + "loopback/loop/nobody" << false << 6
                                     << Prefix + "loopback/loop/nobody";
    QTest::newRow("short path, no such account") << "bob" << "nobody/x/y" << false << 6 << Prefix + "nobody/x/y";
}

void TestChatSessionManager::badRequestsFailInsideTheCall()
{
    QFETCH(QString, remoteUid);
    QFETCH(QString, accountPath);
    QFETCH(bool, twoStrings);
    QFETCH(int, type);
    QFETCH(QString, errorAccount);

    ErrorLog log(m_manager);
    m_env->control(Env::ImAccountPath).clearChannelRequests();
    if (twoStrings)
        m_manager->requestChatSession(remoteUid, accountPath);
    else
        m_manager->requestChatSession(ChatContext(remoteUid, accountPath));
    QCOMPARE(log.errors.size(), 1);
    const ChatSessionError &e = log.errors.first();
    QCOMPARE(int(e.type()), type);
    QCOMPARE(e.account(), errorAccount);
    QCOMPARE(e.remoteId(), remoteUid);
    QVERIFY(e.message().isEmpty() && e.request().isEmpty());
    QTest::qWait(100);
    QCOMPARE(log.errors.size(), 1);
    QVERIFY(m_env->control(Env::ImAccountPath).channelRequests().isEmpty());
}

// Requests a session and waits for the one announced for this context
// (announcements for other conversations may still be on their way).
ChatSessionPtr TestChatSessionManager::requestSession(const ChatContext &context)
{
    Prepared prepared(m_manager);
    m_manager->requestChatSession(context);
    ChatSessionPtr found;
    const bool announced = QTest::qWaitFor([&] {
        for (const auto &p : qAsConst(prepared.sessions)) {
            const ChatContext c = p.first->context();
            if (c.remoteUid() == context.remoteUid() && c.chatType() == context.chatType())
                found = p.first;
        }
        return !found.isNull();
    }, 10000);
    if (!announced)
        qWarning() << "No session was announced for" << context.remoteUid();
    return found;
}

void TestChatSessionManager::requestYieldsALocalSessionThatBecomesReady()
{
    Prepared prepared(m_manager);
    ErrorLog log(m_manager);
    m_manager->requestChatSession(QStringLiteral("bob@loop.test"), QStringLiteral("loopback/loop/alice0"));
    QVERIFY(prepared.waitFor(1));
    const ChatSessionPtr session = prepared.sessions.first().first;
    QVERIFY(prepared.sessions.first().second); // we asked for it
    QCOMPARE(session->accountPath(), Env::ImAccountPath);
    QCOMPARE(session->context().accountPath(), Env::ImAccountPath);
    QCOMPARE(session->remoteUid(), QStringLiteral("bob@loop.test"));
    QCOMPARE(session->context().chatType(), OneToOneChat);
    QVERIFY(qobject_cast<MucChatSession *>(session.data()));
    QTRY_VERIFY(session->isReadyToChat());

    QSignalSpy status(session.data(), &ChatSession::messageStatusChanged);
    session->sendMessage(textParts(QStringLiteral("hi")), QStringLiteral("m"), 0);
    QVERIFY(waitFor(status));
    QCOMPARE(status.first().at(1).toInt(), 0);
    QCOMPARE(m_manager->getReadyChatSession(ChatContext(QStringLiteral("bob@loop.test"), Env::ImAccountPath)), session);
    QVERIFY(log.errors.isEmpty());
    m_keep << session;
}

void TestChatSessionManager::repeatedRequestsMakeOneChannelRequest()
{
    TestCmControl &control = m_env->control(Env::CellularAccountPath);
    control.clearChannelRequests();
    Prepared prepared(m_manager);
    m_manager->requestChatSession(ChatContext(QStringLiteral("+358401234567"), Env::CellularAccountPath));
    m_manager->requestChatSession(ChatContext(QStringLiteral("+358 40 123 4567"), Env::CellularAccountPath));
    m_manager->requestChatSession(ChatContext(QStringLiteral("+358401234567"), QStringLiteral("tala/tel/tala")));
    QVERIFY(prepared.waitFor(1));
    const ChatSessionPtr session = prepared.sessions.first().first;
    QTRY_VERIFY(session->isReady());
    QTest::qWait(200);
    QCOMPARE(control.channelRequests().size(), 1);
    QCOMPARE(prepared.sessions.size(), 1);

    // Once the request is over, a new one goes out again (and finds the
    // same live session and channel). Until then asking again does nothing.
    QVERIFY(QTest::qWaitFor([&] {
        m_manager->requestChatSession(ChatContext(QStringLiteral("040 123 4567"), Env::CellularAccountPath));
        return control.channelRequests().size() == 2;
    }, 10000));
    QVERIFY(prepared.waitFor(2));
    QCOMPARE(prepared.sessions.last().first, session);
    QTRY_VERIFY(session->isReady());
    m_keep << session;
}

void TestChatSessionManager::requestAfterTheSessionWasLetGoBringsANewOne()
{
    // A sender that is done lets its session go as soon as its messages have
    // their statuses, which can be before the dispatcher says the channel
    // request succeeded; the next sender to the same person asks right then.
    // It must get a session, not wait for the one that has gone.
    const ChatContext context(QStringLiteral("hal@loop.test"), Env::ImAccountPath);
    int prepared = 0;
    bool askedAgain = false;
    connect(m_manager, &ChatSessionManager::prepareChatSession, this, [&](ChatSessionPtr session) {
        ++prepared;
        if (askedAgain)
            return;
        // Not kept: gone once the handler has made it ready.
        connect(session.data(), &QObject::destroyed, this, [&] {
            askedAgain = true;
            m_manager->requestChatSession(context);
        });
    });
    m_manager->requestChatSession(context);
    QTRY_VERIFY_WITH_TIMEOUT(askedAgain, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(prepared, 2, 10000);
    disconnect(m_manager, &ChatSessionManager::prepareChatSession, this, nullptr);
}

void TestChatSessionManager::requestObjectsFinishOnceAfterTheCall_data()
{
    QTest::addColumn<QString>("remoteUid");
    QTest::addColumn<QString>("accountPath");
    QTest::addColumn<QString>("failWith");
    QTest::addColumn<int>("type");

    QTest::newRow("ready session") << "ivy@loop.test" << "loopback/loop/alice0" << "" << 0;
    QTest::newRow("no such account") << "ivy@loop.test" << "loopback/loop/nobody" << "" << 6;
    QTest::newRow("refused channel request") << "jay@loop.test" << "loopback/loop/alice0"
                                             << QString(TP_QT_ERROR_NOT_AVAILABLE) << 9;
}

void TestChatSessionManager::requestObjectsFinishOnceAfterTheCall()
{
    QFETCH(QString, remoteUid);
    QFETCH(QString, accountPath);
    QFETCH(QString, failWith);
    QFETCH(int, type);

    if (!failWith.isEmpty())
        m_env->control(Env::ImAccountPath).failNextChannelRequest(failWith);
    QPointer<PendingChatSession> request = m_manager->ensureChatSession(ChatContext(remoteUid, accountPath));
    QSignalSpy finished(request.data(), &PendingChatSession::finished);
    QVERIFY(!request->isFinished());
    QCOMPARE(request->context().accountPath(), Prefix + accountPath);
    QVERIFY(waitFor(finished));
    QCOMPARE(finished.first().first().value<PendingChatSession *>(), request.data());
    QCOMPARE(int(request->error().type()), type);
    QCOMPARE(request->isError(), type != 0);
    if (type == 0) {
        QVERIFY(request->chatSession() && request->chatSession()->isReadyToChat());
        m_keep << request->chatSession();
    } else {
        QVERIFY(!request->chatSession());
        QCOMPARE(request->error().remoteId(), remoteUid);
        QCOMPARE(request->error().errorName(), failWith);
    }
    QTRY_VERIFY(request.isNull()); // deletes itself
    QCOMPARE(finished.count(), 1);
}

void TestChatSessionManager::repeatedRequestObjectsShareOneChannelRequest()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.clearChannelRequests();
    PendingChatSession *first = m_manager->ensureChatSession(ChatContext(QStringLiteral("kim@loop.test"), Env::ImAccountPath));
    PendingChatSession *second = m_manager->ensureChatSession(ChatContext(QStringLiteral("kim@loop.test"), Env::ImAccountPath));
    first->setAutoDelete(false);
    second->setAutoDelete(false);
    QSignalSpy firstDone(first, &PendingChatSession::finished);
    QSignalSpy secondDone(second, &PendingChatSession::finished);
    QVERIFY(waitFor(firstDone) && waitFor(secondDone));
    QVERIFY(first->chatSession());
    QCOMPARE(first->chatSession(), second->chatSession());
    QCOMPARE(control.channelRequests().size(), 1);
    delete first;
    delete second;
}

void TestChatSessionManager::requestAfterTheChannelDiedUnderItsRequestBringsANewOne()
{
    // The channel dies while its request is still in flight (the handler
    // has not answered the dispatcher yet; after a connection loss
    // Telepathy-Qt may finish such a request late or never). Asking again
    // must bring a live channel instead of waiting for that request.
    const ChatContext context(QStringLiteral("ida@loop.test"), Env::ImAccountPath);
    ChatSessionPtr first;
    bool askedAgain = false;
    // The connections end with this case.
    QObject scope;
    connect(m_manager, &ChatSessionManager::prepareChatSession, &scope, [&](ChatSessionPtr session) {
        if (first || session->remoteUid() != context.remoteUid())
            return;
        first = session;
        connect(session.data(), &ChatSession::readyToChat, &scope, [&](bool ready) {
            if (!ready || askedAgain)
                return;
            askedAgain = true;
            // Asked again the moment the session learns of it, while the
            // dispatcher still has the request.
            QSignalSpy closed(first.data(), &ChatSession::chatSessionClosed);
            m_env->control(Env::ImAccountPath).closeChannel(first->channelPath());
            QVERIFY(closed.wait(10000));
            m_manager->requestChatSession(context);
        });
    });
    m_manager->requestChatSession(context);
    QTRY_VERIFY_WITH_TIMEOUT(askedAgain, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_manager->getReadyChatSession(context)
                                 && m_manager->getReadyChatSession(context)->isReady(), 10000);
}

void TestChatSessionManager::askingAgainClosesTheChannelOfASessionLetGo()
{
    // A session let go is deleted from the event loop, and its channel
    // closed then. Asked for again before that, the conversation's old
    // channel must be closed first: the dispatcher would otherwise hand it
    // back just before it closes.
    const ChatContext context(QStringLiteral("lea@loop.test"), Env::ImAccountPath);
    PendingChatSession *request = m_manager->ensureChatSession(context);
    request->setAutoDelete(false);
    QSignalSpy finished(request, &PendingChatSession::finished);
    QVERIFY(finished.wait(10000));
    ChatSessionPtr session = request->chatSession();
    delete request;
    QVERIFY(session);
    const QString channel = session->channelPath();
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    QVERIFY(control.channels().contains(channel));
    session.reset();
    request = m_manager->ensureChatSession(context);
    // A blocking call reaches the connection manager after anything sent
    // before it, with no event loop in between.
    QVERIFY(!control.channels().contains(channel));
    QSignalSpy again(request, &PendingChatSession::finished);
    QVERIFY(again.wait(10000));
}

void TestChatSessionManager::requestMapsFollowTheChatType_data()
{
    QTest::addColumn<int>("chatType");
    QTest::addColumn<QString>("remoteUid");
    QTest::addColumn<QVariantMap>("expected");

    const QString type = ChannelKey + QStringLiteral("TargetHandleType");
    const QString id = ChannelKey + QStringLiteral("TargetID");
    QTest::newRow("one to one") << 0 << "carol@loop.test" << QVariantMap { { type, 1u }, { id, QStringLiteral("carol@loop.test") } };
    QTest::newRow("ad hoc group") << 1 << "chat-77" << QVariantMap { { type, 0u }, { PersistentIdKey, QStringLiteral("chat-77") } };
    QTest::newRow("room") << 2 << "#den" << QVariantMap { { type, 2u }, { id, QStringLiteral("#den") } };
}

void TestChatSessionManager::requestMapsFollowTheChatType()
{
    QFETCH(int, chatType);
    QFETCH(QString, remoteUid);
    QFETCH(QVariantMap, expected);

    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.clearChannelRequests();
    const ChatSessionPtr session = requestSession(ChatContext(remoteUid, Env::ImAccountPath, ChatType(chatType)));
    QVERIFY(session);
    QCOMPARE(int(session->context().chatType()), chatType);
    QCOMPARE(session->remoteUid(), remoteUid);
    const QList<QVariantMap> requests = control.channelRequests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(ChannelKey + QStringLiteral("ChannelType")).toString(),
             TP_QT_IFACE_CHANNEL_TYPE_TEXT);
    const QStringList keys = { ChannelKey + QStringLiteral("TargetHandleType"),
                               ChannelKey + QStringLiteral("TargetID"), PersistentIdKey };
    QCOMPARE(only(requests.first(), keys), expected);
    QTRY_VERIFY(session->isReady());
    m_keep << session;
}

void TestChatSessionManager::refusedChannelRequestGivesOneChannelRequestError()
{
    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.failNextChannelRequest(TP_QT_ERROR_NOT_AVAILABLE);
    ErrorLog log(m_manager);
    const ChatContext context(QStringLiteral("gone@loop.test"), Env::ImAccountPath);
    m_manager->requestChatSession(context);
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(log.errors.cbegin(), log.errors.cend(),
                                         [](const ChatSessionError &e) { return e.type() == ChatSessionError::ChannelRequestError; }),
                             10000);
    QTest::qWait(200);
    const int channelRequestErrors = int(std::count_if(log.errors.cbegin(), log.errors.cend(),
        [](const ChatSessionError &e) { return e.type() == ChatSessionError::ChannelRequestError; }));
    QCOMPARE(channelRequestErrors, 1);
    // It names its own request, so that senders of other conversations can
    // tell it is not theirs, and carries Telepathy's reason.
    for (const ChatSessionError &e : qAsConst(log.errors)) {
        if (e.type() != ChatSessionError::ChannelRequestError)
            continue;
        QCOMPARE(e.account(), Env::ImAccountPath);
        QCOMPARE(e.remoteId(), context.remoteUid());
        QCOMPARE(e.errorName(), TP_QT_ERROR_NOT_AVAILABLE);
        QVERIFY(e.request().startsWith(QLatin1String("/org/freedesktop/Telepathy/ChannelDispatcher/Request")));
    }

    // The entry is gone: the same conversation can be asked for again.
    const ChatSessionPtr session = requestSession(context);
    QVERIFY(session);
    QTRY_VERIFY(session->isReady());
}

void TestChatSessionManager::handlerUnknownToTheDispatcherIsAskedOnceMore_data()
{
    QTest::addColumn<uint>("failures");
    QTest::addColumn<QString>("errorMessage");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("opens");

    // What Mission Control answers while it has not read a handler that has
    // just appeared on the bus.
    const QString race = QStringLiteral("Handler no longer available");
    QTest::newRow("race once: the retry opens it") << 1u << race << 2 << true;
    QTest::newRow("race twice: one error") << 2u << race << 2 << false;
    QTest::newRow("other NotAvailable: no retry") << 1u << QStringLiteral("Account is disabled") << 1 << false;
}

void TestChatSessionManager::handlerUnknownToTheDispatcherIsAskedOnceMore()
{
    QFETCH(uint, failures);
    QFETCH(QString, errorMessage);
    QFETCH(int, requests);
    QFETCH(bool, opens);

    TestCmControl &control = m_env->control(Env::ImAccountPath);
    control.clearChannelRequests();
    control.failChannelRequests(failures, TP_QT_ERROR_NOT_AVAILABLE, errorMessage);
    ErrorLog log(m_manager);
    Prepared prepared(m_manager);
    const ChatContext context(QStringLiteral("race%1%2@loop.test").arg(failures).arg(requests),
                              Env::ImAccountPath);
    m_manager->requestChatSession(context);

    if (opens) {
        QVERIFY(prepared.waitFor(1));
        const ChatSessionPtr session = prepared.sessions.first().first;
        QTRY_VERIFY_WITH_TIMEOUT(session->isReady(), 10000);
        QTest::qWait(200);
        QVERIFY2(log.errors.isEmpty(), qPrintable(log.errors.value(0).message()));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!log.errors.isEmpty(), 10000);
        QTest::qWait(200);
        // The request's own error (withdrawn by the dispatcher) may come
        // too; each names the conversation and carries the reason.
        int channelRequestErrors = 0;
        for (const ChatSessionError &e : qAsConst(log.errors)) {
            channelRequestErrors += e.type() == ChatSessionError::ChannelRequestError ? 1 : 0;
            QCOMPARE(e.remoteId(), context.remoteUid());
            QCOMPARE(e.account(), Env::ImAccountPath);
            QVERIFY2(e.message().endsWith(errorMessage), qPrintable(e.message()));
        }
        QCOMPARE(channelRequestErrors, 1);
    }
    QCOMPARE(control.channelRequests().size(), requests);
    control.reset();
}

void TestChatSessionManager::disabledAccountRequestFailsLater()
{
    ErrorLog log(m_manager);
    m_manager->requestChatSession(ChatContext(QStringLiteral("x@loop.test"), Env::DisabledImAccountPath));
    QVERIFY(log.errors.isEmpty()); // the account exists: the failure comes from Telepathy
    // The dispatcher's withdrawal of the request may be reported first.
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(log.errors.cbegin(), log.errors.cend(),
                                         [](const ChatSessionError &e) {
                                             return e.type() == ChatSessionError::ChannelRequestError;
                                         }),
                             10000);
}

void TestChatSessionManager::lookupComparesAccountPathsExactly()
{
    const ChatSessionPtr sms = m_manager->getReadyChatSession(
        ChatContext(QStringLiteral("0401234567"), Env::CellularAccountPath));
    QVERIFY(sms);
    QVERIFY(!m_manager->getReadyChatSession(ChatContext(QStringLiteral("+358401234567"), Env::MmsAccountPath)));
    QVERIFY(ChatContext(QStringLiteral("+358401234567"), Env::MmsAccountPath) == sms->context());
    QVERIFY(!m_manager->getReadyChatSession(ChatContext(QStringLiteral("+358401234567"), Env::CellularAccountPath, RoomChat)));
    QVERIFY(!m_manager->getReadyChatSession(ChatContext(QStringLiteral("1234567"), Env::CellularAccountPath)));

    // Found even when not ready: readiness is the caller's to check.
    QVERIFY(m_env->dropConnection(Env::ImAccountPath));
    const ChatSessionPtr im = m_manager->getReadyChatSession(ChatContext(QStringLiteral("bob@loop.test"), Env::ImAccountPath));
    QVERIFY(im);
    QTRY_VERIFY(!im->isReady());
    QVERIFY(m_env->restoreConnection(Env::ImAccountPath));
    QTRY_VERIFY_WITH_TIMEOUT(im->isReady(), 10000);
    QVERIFY(keptSessionsBecomeReady());
}

void TestChatSessionManager::lookupFollowsARenamedSession()
{
    ChatSessionPtr session = requestSession(ChatContext(QStringLiteral("0409876543"), Env::CellularAccountPath));
    QVERIFY(session);
    session->setRemoteUid(QStringLiteral("renamed@example.com"));
    QVERIFY(!m_manager->getReadyChatSession(ChatContext(QStringLiteral("+358409876543"), Env::CellularAccountPath)));
    QCOMPARE(m_manager->getReadyChatSession(ChatContext(QStringLiteral("renamed@example.com"), Env::CellularAccountPath)),
             session);
    session->setRemoteUid(QStringLiteral("+358 40 987 6543"));
    QCOMPARE(m_manager->getReadyChatSession(ChatContext(QStringLiteral("0409876543"), Env::CellularAccountPath)),
             session);

    // A session nobody holds any more is not found, however it was named.
    QPointer<ChatSession> watch = session.data();
    const ChatContext context = session->context();
    session.reset();
    QTRY_VERIFY(watch.isNull());
    QVERIFY(!m_manager->getReadyChatSession(context));
}

void TestChatSessionManager::reconnectionRestoresTheSameSession()
{
    const ChatSessionPtr session = m_manager->getReadyChatSession(
        ChatContext(QStringLiteral("bob@loop.test"), Env::ImAccountPath));
    QVERIFY(session);
    QTRY_VERIFY_WITH_TIMEOUT(session->isReady(), 10000);
    const QString oldChannel = session->channelPath();

    Prepared prepared(m_manager);
    QSignalSpy closed(session.data(), &ChatSession::chatSessionClosed);
    QVERIFY(m_env->dropConnection(Env::ImAccountPath));
    QVERIFY(waitFor(closed));
    QVERIFY(!session->isReady());
    QVERIFY(m_env->restoreConnection(Env::ImAccountPath));
    QTRY_VERIFY_WITH_TIMEOUT(session->isReady(), 10000);
    // The account's other conversations come back as well, and none is
    // still being restored when the test ends.
    QVERIFY(keptSessionsBecomeReady());
    // The handler has made every restored channel ready: nothing of the
    // restore is left in flight when the test ends.
    QVERIFY2(QTest::qWaitFor([&] {
                 return std::all_of(prepared.sessions.cbegin(), prepared.sessions.cend(),
                                    [&](const QPair<ChatSessionPtr, bool> &p) {
                                        return prepared.readied.contains(p.first.data());
                                    });
             }, 10000),
             "the handler did not make a restored channel ready");
    QVERIFY(session->channelPath() != oldChannel);
    QVERIFY(std::any_of(prepared.sessions.cbegin(), prepared.sessions.cend(),
                        [&](const QPair<ChatSessionPtr, bool> &p) { return p.first == session; }));
    QCOMPARE(m_manager->getReadyChatSession(session->context()), session);
}

QTEST_GUILESS_MAIN(TestChatSessionManager)
#include "tst_chatsessionmanager.moc"
