// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Cold conversation start: ensureChatSession() on a new context until the
// request finishes with the session ready to chat, against the same steps done with bare Telepathy-Qt
// (ensureChannel, the channel handed to a handler, made ready), alternating,
// on the same stack. The library's handler asks for request notification,
// which makes Mission Control call AddRequest before HandleChannels; a second
// bare handler that asks for it too shows the like-for-like cost. Then 100
// incoming channels handed over at once: the time until every session is
// ready.
//
//   tests/lib/run-in-private-bus --telepathy --cm=build/tests/lib/testcm/messaging-test-cm
//     -- build/benchmarks/chat/bench_coldstart [rounds]

#include "benchstats.h"
#include "chatsession.h"
#include "chatsessionmanager.h"
#include "telepathytestenvironment.h"

#include <TelepathyQt/AbstractClientHandler>
#include <TelepathyQt/ChannelClassSpecList>
#include <TelepathyQt/ClientRegistrar>
#include <TelepathyQt/PendingChannelRequest>
#include <TelepathyQt/PendingReady>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

#include <functional>

#include <algorithm>
#include <cstdio>

namespace {
using Env = TelepathyTestEnvironment;

// What an application would write with Telepathy-Qt alone: a handler that
// makes each channel it gets ready, then answers the dispatcher.
class BareHandler : public Tp::AbstractClientHandler
{
public:
    explicit BareHandler(bool wantsRequests)
        : Tp::AbstractClientHandler(Tp::ChannelClassSpecList() << Tp::ChannelClassSpec::textChat(),
                                    Capabilities(), wantsRequests)
    {
    }
    bool bypassApproval() const override { return true; }
    void addRequest(const Tp::ChannelRequestPtr &) override {}
    void handleChannels(const Tp::MethodInvocationContextPtr<> &context, const Tp::AccountPtr &,
                        const Tp::ConnectionPtr &, const QList<Tp::ChannelPtr> &channels,
                        const QList<Tp::ChannelRequestPtr> &, const QDateTime &,
                        const HandlerInfo &) override
    {
        const Tp::TextChannelPtr channel = Tp::TextChannelPtr::qObjectCast(channels.first());
        QObject::connect(channel->becomeReady(Tp::Features() << Tp::TextChannel::FeatureMessageQueue
                                                             << Tp::TextChannel::FeatureMessageSentSignal),
                         &Tp::PendingOperation::finished, [this, context, channel](Tp::PendingOperation *) {
                             context->setFinished();
                             held << channel;
                             if (onReady)
                                 onReady();
                         });
    }
    std::function<void()> onReady;
    QList<Tp::TextChannelPtr> held;
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 50;

    ChatSessionManager *manager = ChatSessionManager::instance();
    QEventLoop loop;
    QObject::connect(manager, &ChatSessionManager::managerReady, &loop, &QEventLoop::quit);
    manager->initialize();
    if (!manager->isReady())
        loop.exec();
    Env env;
    if (!manager->isReady() || !env.init() || !env.connectedAccount(Env::ImAccountPath))
        return 2;

    const Tp::AccountPtr account = env.account(Env::ImAccountPath);
    Tp::ClientRegistrarPtr registrar = Tp::ClientRegistrar::create(env.accountManager());
    Tp::SharedPtr<BareHandler> bareHandler(new BareHandler(false));
    Tp::SharedPtr<BareHandler> requestsHandler(new BareHandler(true));
    if (!registrar->registerClient(Tp::AbstractClientPtr(bareHandler), QStringLiteral("BenchBare"))
        || !registrar->registerClient(Tp::AbstractClientPtr(requestsHandler), QStringLiteral("BenchBareRequests")))
        return 2;
    bareHandler->onReady = [&] { loop.quit(); };
    requestsHandler->onReady = [&] { loop.quit(); };
    auto bareStart = [&](const QString &handler, const QString &target) {
        QElapsedTimer t;
        t.start();
        account->ensureChannel(Env::textChannelRequest(Tp::HandleTypeContact, target),
                               QDateTime::currentDateTime(),
                               QStringLiteral("org.freedesktop.Telepathy.Client.") + handler);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        return t.nsecsElapsed();
    };

    QList<ChatSessionPtr> keep;
    QVector<qint64> library, bare, bareWithRequests;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        timer.start();
        PendingChatSession *request =
            manager->ensureChatSession(ChatContext(QStringLiteral("cold%1@loop.test").arg(i), Env::ImAccountPath));
        QObject::connect(request, &PendingChatSession::finished, &loop, [&](PendingChatSession *done) {
            if (done->chatSession())
                keep << done->chatSession();
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        library << timer.nsecsElapsed();

        bare << bareStart(QStringLiteral("BenchBare"), QStringLiteral("bare%1@loop.test").arg(i));
        bareWithRequests << bareStart(QStringLiteral("BenchBareRequests"),
                                      QStringLiteral("barereq%1@loop.test").arg(i));
    }
    const double l = medianMs(library), b = medianMs(bare), r = medianMs(bareWithRequests);
    if (keep.size() != rounds || bareHandler->held.size() != rounds || requestsHandler->held.size() != rounds)
        return 1;
    std::printf("cold start, %d each (alternating)\n", rounds);
    std::printf("  library (request -> readyToChat):               median %.2f ms\n", l);
    std::printf("  bare Telepathy-Qt (ensure -> ready):            median %.2f ms\n", b);
    std::printf("  bare, handler with request notification:        median %.2f ms\n", r);
    std::printf("  ratio library / bare:                           %.3f  (target <= 1.10)\n", l / b);
    std::printf("  ratio library / bare with request notification: %.3f\n", l / r);

    // 100 incoming conversations at once.
    QSet<QString> ready;
    const int burst = 100;
    QObject::connect(manager, &ChatSessionManager::prepareChatSession, [&](ChatSessionPtr session, bool) {
        QObject::connect(session.data(), &ChatSession::chatSessionReady, &loop, [&, id = session->remoteUid()] {
            ready << id;
            if (ready.size() == burst)
                loop.quit();
        });
    });
    TestCmControl &control = env.control(Env::ImAccountPath);
    timer.start();
    for (int i = 0; i < burst; ++i)
        control.injectMessage(QStringLiteral("/"), Tp::HandleTypeContact, QString(),
                              QStringLiteral("burst%1@loop.test").arg(i), QStringLiteral("hello"));
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("%d channels handed over at once: all ready after %.1f ms (%d ready)\n", burst,
                timer.nsecsElapsed() / 1e6, int(ready.size()));
    return ready.size() == burst ? 0 : 1;
}
