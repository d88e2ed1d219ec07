// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// getReadyChatSession() with 1, 100 and 10,000 live sessions (phone numbers
// and IM ids), looking numbers up in another written form. Beside it, the
// plain walk over all sessions in creation order that the lookup must agree
// with; every answer is checked against it.
//
//   tests/lib/run-in-private-bus -- build/benchmarks/chat/bench_sessionlookup

#include "chatsession.h"
#include "chatsessionmanager.h"
#include "chatsessionmanager_p.h"
#include "phonenumberutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {
const QString Sms = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Im = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");

ChatSessionPtr linearWalk(const QList<QWeakPointer<ChatSession>> &sessions, const ChatContext &wanted)
{
    for (const QWeakPointer<ChatSession> &weak : sessions) {
        const ChatSessionPtr s = weak.toStrongRef();
        if (!s)
            continue;
        const ChatContext c = s->context();
        if (c.accountPath() == wanted.accountPath() && c.chatType() == wanted.chatType()
            && PhoneNumberUtils::remoteAddressMatch(c.remoteUid(), wanted.remoteUid()))
            return s;
    }
    return ChatSessionPtr();
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
    ChatSessionManager *manager = ChatSessionManager::instance();
    auto *d = manager->findChild<ChatSessionManagerPrivate *>();
    if (!d)
        return 2;

    QList<ChatSessionPtr> keep;
    int mismatches = 0;
    for (int size : { 1, 100, 10000 }) {
        while (keep.size() < size) {
            const int i = keep.size();
            const ChatContext context = i % 2
                ? ChatContext(QStringLiteral("user%1@loop.test").arg(i), Im)
                : ChatContext(QStringLiteral("+35840%1").arg(1000000 + i * 7), Sms);
            keep << d->createSession(Tp::AccountPtr(), context);
        }
        // Lookups: numbers in national spaced form, IM ids, and misses.
        QList<ChatContext> wanted;
        for (int i = 0; i < 1000; ++i) {
            const int n = (i * 7919) % size;
            if (n % 2 == 0) {
                const QString digits = QString::number(1000000 + n * 7);
                wanted << ChatContext(QStringLiteral("040 ") + digits.left(3) + QLatin1Char(' ') + digits.mid(3), Sms);
            } else {
                wanted << ChatContext(QStringLiteral("user%1@loop.test").arg(n), Im);
            }
            if (i % 10 == 0)
                wanted << ChatContext(QStringLiteral("+46701234567"), Sms);
        }

        const int rounds = 20;
        QElapsedTimer timer;
        timer.start();
        int found = 0;
        for (int r = 0; r < rounds; ++r) {
            for (const ChatContext &c : qAsConst(wanted))
                found += !manager->getReadyChatSession(c).isNull();
        }
        const double perLookup = double(timer.nsecsElapsed()) / (rounds * wanted.size()) / 1000.0;

        timer.restart();
        for (const ChatContext &c : qAsConst(wanted)) {
            if (linearWalk(d->registry.sessions(), c) != manager->getReadyChatSession(c))
                ++mismatches;
        }
        const double walk = double(timer.nsecsElapsed()) / wanted.size() / 1000.0;

        std::printf("%6d sessions: %8.2f us per lookup (plain walk %9.2f us), %d of %d found\n",
                    size, perLookup, walk, found / rounds, int(wanted.size()));
    }
    std::printf("target: <= 50 us per lookup at 10000 sessions; answers differing from the walk: %d\n",
                mismatches);
    return mismatches ? 1 : 0;
}
