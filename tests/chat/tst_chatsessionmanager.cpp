// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The session manager against Mission Control and the test connection
// manager: request objects and the broadcast that relays their answers,
// errors, duplicates, request maps, restoring. The manager is process-wide,
// so the cases run in order: first a failed registration, then a request
// made before the manager is ready, then the rest.

#include "chatsessionmanager.h"
#include "chatsession.h"
#include "chattestsupport.h"
#include "mucchatsession.h"
#include "telepathytestenvironment.h"
#include "testhelpers.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/PendingChannelRequest>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <memory>
#include <vector>

namespace {
using Env = TelepathyTestEnvironment;
const QString Prefix = QStringLiteral("/org/freedesktop/Telepathy/Account/");
const QString HandlerBusName = QStringLiteral("org.freedesktop.Telepathy.Client.Messaging");
const QString ChannelKey = QStringLiteral("org.freedesktop.Telepathy.Channel.");
const QString PersistentIdKey = QStringLiteral("com.tavik.Telepathy.Channel.Interface.Persistent.PersistentID");

// The broadcast's errors; a connection context: it disconnects when it goes.
struct ErrorLog : QObject
{
    explicit ErrorLog(ChatSessionManager *manager)
    {
        connect(manager, &ChatSessionManager::chatSessionError, this,
                [this](ChatSessionError &e) { errors << e; });
    }
    QList<ChatSessionError> errors;
};

// A Telepathy client of the test's own that takes the text channels it is
// handed and keeps them.
class OtherHandler : public Tp::AbstractClientHandler
{
public:
    OtherHandler()
        : Tp::AbstractClientHandler(Tp::ChannelClassSpecList() << Tp::ChannelClassSpec::textChat())
    {
    }
    bool bypassApproval() const override { return true; }
    void handleChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &,
                        const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &, const QDateTime &, const HandlerInfo &) override
    {
        held << channels;
        context->setFinished();
    }
    QList<Tp::ChannelPtr> held;
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
    void failedRegistrationStillSaysReadyAndIsRetried();
    void requestBeforeTheManagerIsReadyWaitsForIt();
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
    void channelLostBeforeTheAnswerIsDeliveredEndsTheRequestWithAnError();
    void channelGoingToAnotherHandlerFailsRequestAndBroadcastAlike();
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

    // A request meanwhile registers again, fails again and says why: once,
    // the broadcast alike.
    ErrorLog log(m_manager);
    QTest::ignoreMessage(QtCriticalMsg, "void ChatSessionManagerPrivate::registerClient() registerClient failed");
    const std::unique_ptr<PendingChatSession> refused =
        answered(m_manager, ChatContext(QStringLiteral("bob@loop.test"), Env::ImAccountPath));
    QVERIFY(refused && refused->isError());
    QCOMPARE(refused->error().type(), ChatSessionError::AccountManagerError);
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors.first().message(), refused->error().message());
    QCOMPARE(log.errors.first().remoteId(), QStringLiteral("bob@loop.test"));

    QVERIFY(squatter.unregisterService(HandlerBusName));
    QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
}

void TestChatSessionManager::requestBeforeTheManagerIsReadyWaitsForIt()
{
    m_env = new Env(this);
    QVERIFY(m_env->init());
    QVERIFY(m_env->connectedAccount(Env::ImAccountPath));
    QVERIFY(m_env->connectedAccount(Env::CellularAccountPath));

    // Nobody waits for managerReady(): the request registers the handler.
    QVERIFY(!m_manager->isReady());
    QSignalSpy announced(m_manager, &ChatSessionManager::prepareChatSession);
    PendingChatSession *request =
        m_manager->ensureChatSession(ChatContext(QStringLiteral("bob@loop.test"), QStringLiteral("loopback/loop/alice0")));
    request->setAutoDelete(false);
    QSignalSpy finished(request, &PendingChatSession::finished);
    QVERIFY(finished.wait(20000));
    QVERIFY2(!request->isError(), qPrintable(request->error().message()));
    const ChatSessionPtr session = request->chatSession();
    QVERIFY(session && session->isReadyToChat());
    QVERIFY(m_manager->isReady());
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(HandlerBusName));
    // The broadcast relays the same answer, once.
    QCOMPARE(announced.count(), 1);
    QCOMPARE(announced.first().at(0).value<ChatSessionPtr>(), session);
    QVERIFY(announced.first().at(1).toBool());
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    delete request;
    m_keep << session;
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

void TestChatSessionManager::requestYieldsALocalSessionThatBecomesReady()
{
    ErrorLog log(m_manager);
    const ChatSessionPtr session =
        openSession(m_manager, ChatContext(QStringLiteral("carl@loop.test"), QStringLiteral("loopback/loop/alice0")));
    QVERIFY(session);
    QCOMPARE(session->accountPath(), Env::ImAccountPath);
    QCOMPARE(session->context().accountPath(), Env::ImAccountPath);
    QCOMPARE(session->remoteUid(), QStringLiteral("carl@loop.test"));
    QCOMPARE(session->context().chatType(), OneToOneChat);
    QVERIFY(qobject_cast<MucChatSession *>(session.data()));
    QVERIFY(session->isReadyToChat());

    QSignalSpy status(session.data(), &ChatSession::messageStatusChanged);
    session->sendMessage(textParts(QStringLiteral("hi")), QStringLiteral("m"), 0);
    QVERIFY(waitFor(status));
    QCOMPARE(status.first().at(1).toInt(), 0);
    QCOMPARE(m_manager->getReadyChatSession(ChatContext(QStringLiteral("carl@loop.test"), Env::ImAccountPath)), session);
    QVERIFY(log.errors.isEmpty());
    m_keep << session;
}

void TestChatSessionManager::repeatedRequestsMakeOneChannelRequest()
{
    TestCmControl &control = m_env->control(Env::CellularAccountPath);
    control.clearChannelRequests();
    QSignalSpy announced(m_manager, &ChatSessionManager::prepareChatSession);
    // Three ways to write one conversation: one channel request, one answer.
    std::vector<std::unique_ptr<PendingChatSession>> requests;
    for (const ChatContext &context : { ChatContext(QStringLiteral("+358401234567"), Env::CellularAccountPath),
                                        ChatContext(QStringLiteral("+358 40 123 4567"), Env::CellularAccountPath),
                                        ChatContext(QStringLiteral("+358401234567"), QStringLiteral("tala/tel/tala")) }) {
        requests.emplace_back(m_manager->ensureChatSession(context));
        requests.back()->setAutoDelete(false);
    }
    QTRY_VERIFY(std::all_of(requests.cbegin(), requests.cend(), [](const auto &r) { return r->isFinished(); }));
    const ChatSessionPtr session = requests.front()->chatSession();
    QVERIFY(session && session->isReady());
    for (const auto &request : requests)
        QCOMPARE(request->chatSession(), session);
    QTest::qWait(200);
    QCOMPARE(control.channelRequests().size(), 1);
    QCOMPARE(announced.count(), 1);

    // Once answered, asking again goes out again and finds the same live
    // session and channel.
    QCOMPARE(openSession(m_manager, ChatContext(QStringLiteral("040 123 4567"), Env::CellularAccountPath)), session);
    QCOMPARE(control.channelRequests().size(), 2);
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
    PendingChatSession *again = nullptr;
    connect(m_manager->ensureChatSession(context), &PendingChatSession::finished, this, [&](PendingChatSession *) {
        // The session is not kept.
        again = m_manager->ensureChatSession(context);
        again->setAutoDelete(false);
    });
    QTRY_VERIFY_WITH_TIMEOUT(again && again->isFinished(), 10000);
    QVERIFY2(!again->isError(), qPrintable(again->error().message()));
    QVERIFY(again->chatSession()->isReadyToChat());
    delete again;
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
    // The channel dies while its channel request is still in flight (the
    // request is answered before the dispatcher hears the handler's answer;
    // after a connection loss Telepathy-Qt may finish such a request late or
    // never). Asking again must bring a live channel.
    const ChatContext context(QStringLiteral("ida@loop.test"), Env::ImAccountPath);
    bool askedAgain = false;
    ChatSessionPtr first;
    std::unique_ptr<PendingChatSession> again;
    connect(m_manager->ensureChatSession(context), &PendingChatSession::finished, this, [&](PendingChatSession *r) {
        first = r->chatSession();
        QVERIFY(first);
        QSignalSpy closed(first.data(), &ChatSession::chatSessionClosed);
        m_env->control(Env::ImAccountPath).closeChannel(first->channelPath());
        QVERIFY(closed.wait(10000));
        again.reset(m_manager->ensureChatSession(context));
        again->setAutoDelete(false);
        askedAgain = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(askedAgain, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(again->isFinished(), 10000);
    QVERIFY2(!again->isError(), qPrintable(again->error().message()));
    QVERIFY(again->chatSession()->isReady());
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

void TestChatSessionManager::channelLostBeforeTheAnswerIsDeliveredEndsTheRequestWithAnError()
{
    // The session turns ready to chat, and its channel goes before the
    // event loop has delivered that answer: the request ends once, with an
    // error, and the broadcast says the same.
    const ChatContext context(QStringLiteral("joy@loop.test"), Env::ImAccountPath);
    ChatSessionPtr session = openSession(m_manager, context);
    QVERIFY(session);
    QSignalSpy closed(session.data(), &ChatSession::chatSessionClosed);
    m_env->control(Env::ImAccountPath).closeChannel(session->channelPath());
    QVERIFY(closed.wait(10000));

    ErrorLog log(m_manager);
    QSignalSpy announced(m_manager, &ChatSessionManager::prepareChatSession);
    PendingChatSession *request = m_manager->ensureChatSession(context);
    request->setAutoDelete(false);
    QSignalSpy finished(request, &PendingChatSession::finished);
    // Connected after the request follows the session: runs right after the
    // request has taken the answer, as the channel's loss would arrive.
    connect(session.data(), &ChatSession::readyToChat, request, [session](bool ready) {
        if (ready)
            QMetaObject::invokeMethod(session.data(), "_q_channelInvalidated", Qt::DirectConnection,
                                      Q_ARG(Tp::DBusProxy *, session->channel().data()),
                                      Q_ARG(QString, TP_QT_ERROR_CANCELLED), Q_ARG(QString, QStringLiteral("gone")));
    });
    QVERIFY(finished.wait(PendingChatSession::TimeoutMs));
    QVERIFY(request->isError());
    QCOMPARE(request->error().type(), ChatSessionError::CancelledError);
    QCOMPARE(request->error().remoteId(), context.remoteUid());
    QTest::qWait(200);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(announced.count(), 0);
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors.first().type(), request->error().type());
    delete request;
}

void TestChatSessionManager::channelGoingToAnotherHandlerFailsRequestAndBroadcastAlike()
{
    // Another client holds the conversation's channel with a handler of its
    // own; asked for again, the dispatcher hands it back to that handler.
    Tp::SharedPtr<OtherHandler> other(new OtherHandler);
    Tp::ClientRegistrarPtr registrar = Tp::ClientRegistrar::create(m_env->accountManager());
    QVERIFY(registrar->registerClient(Tp::AbstractClientPtr(other), QStringLiteral("TestOther")));
    const QString remoteUid = QStringLiteral("kept@loop.test");
    QVERIFY(expectSuccessfulCall(m_env->account(Env::ImAccountPath)
                                     ->ensureChannel(Env::textChannelRequest(Tp::HandleTypeContact, remoteUid),
                                                     QDateTime::currentDateTime(),
                                                     QStringLiteral("org.freedesktop.Telepathy.Client.TestOther"))));
    QCOMPARE(other->held.size(), 1);

    ErrorLog log(m_manager);
    QSignalSpy announced(m_manager, &ChatSessionManager::prepareChatSession);
    const std::unique_ptr<PendingChatSession> request =
        answered(m_manager, ChatContext(remoteUid, Env::ImAccountPath));
    QVERIFY(request && request->isError());
    QCOMPARE(request->error().type(), ChatSessionError::ChannelRequestError);
    QCOMPARE(request->error().message(), QStringLiteral("The channel went to another handler"));
    QTest::qWait(200);
    QCOMPARE(log.errors.size(), 1);
    QCOMPARE(log.errors.first().type(), request->error().type());
    QCOMPARE(log.errors.first().message(), request->error().message());
    QCOMPARE(log.errors.first().remoteId(), remoteUid);
    QCOMPARE(announced.count(), 0);
    registrar->unregisterClients();
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
    const ChatSessionPtr session = openSession(m_manager, ChatContext(remoteUid, Env::ImAccountPath, ChatType(chatType)));
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
    const ChatSessionPtr session = openSession(m_manager, context);
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
    const ChatContext context(QStringLiteral("race%1%2@loop.test").arg(failures).arg(requests),
                              Env::ImAccountPath);
    const std::unique_ptr<PendingChatSession> request = answered(m_manager, context);
    QVERIFY(request);
    QTest::qWait(200);
    if (opens) {
        QVERIFY2(!request->isError(), qPrintable(request->error().message()));
        QVERIFY(request->chatSession()->isReady());
        QVERIFY2(log.errors.isEmpty(), qPrintable(log.errors.value(0).message()));
    } else {
        // One answer, named and with the reason; the broadcast says the same.
        const ChatSessionError e = request->error();
        QCOMPARE(e.type(), ChatSessionError::ChannelRequestError);
        QCOMPARE(e.remoteId(), context.remoteUid());
        QCOMPARE(e.account(), Env::ImAccountPath);
        QVERIFY2(e.message().endsWith(errorMessage), qPrintable(e.message()));
        QCOMPARE(log.errors.size(), 1);
        QCOMPARE(log.errors.first().message(), e.message());
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
    ChatSessionPtr session = openSession(m_manager, ChatContext(QStringLiteral("0409876543"), Env::CellularAccountPath));
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

    QSignalSpy announced(m_manager, &ChatSessionManager::prepareChatSession);
    QSignalSpy closed(session.data(), &ChatSession::chatSessionClosed);
    QVERIFY(m_env->dropConnection(Env::ImAccountPath));
    QVERIFY(waitFor(closed));
    QVERIFY(!session->isReady());
    QVERIFY(m_env->restoreConnection(Env::ImAccountPath));
    QTRY_VERIFY_WITH_TIMEOUT(session->isReady(), 10000);
    // The account's other conversations come back as well; each restore is
    // a request whose answer the broadcast relays, so none is still in
    // flight when the test ends.
    QVERIFY(keptSessionsBecomeReady());
    auto restored = [&](const ChatSessionPtr &kept) {
        for (const QList<QVariant> &args : qAsConst(announced)) {
            if (args.at(0).value<ChatSessionPtr>() == kept)
                return true;
        }
        return kept->accountPath() != Env::ImAccountPath;
    };
    QVERIFY2(QTest::qWaitFor([&] { return std::all_of(m_keep.cbegin(), m_keep.cend(), restored); }, 10000),
             "a restored conversation's request did not answer");
    QVERIFY(session->channelPath() != oldChannel);
    QVERIFY(restored(session));
    QCOMPARE(m_manager->getReadyChatSession(session->context()), session);
}

QTEST_GUILESS_MAIN(TestChatSessionManager)
#include "tst_chatsessionmanager.moc"
