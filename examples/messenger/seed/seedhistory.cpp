// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// messaging-seed-history: writes a small history into the user's store
// (HistoryStore::defaultPath(), so XDG_DATA_HOME decides where) for the
// reference UI's demo and pictures: several conversations over the last
// days, some unread, one whose last message failed, one with a draft, one
// room, and a long one with older messages to scroll to. The accounts are
// the test fixture's (tests/lib/README.md). Prints the thread ids.
//
//   messaging-seed-history

#include <messaging0/chatcontext.h>
#include <messaging0/historystore.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>

namespace {
const QString Sms = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");
const QString Alice = QStringLiteral("/org/freedesktop/Telepathy/Account/loopback/loop/alice0");

struct Line
{
    int minutesAgo;
    bool incoming;
    const char *text;
    HistoryMessage::State state = HistoryMessage::Sent;
};

qint64 write(HistoryStore &store, const ChatContext &context, const QList<Line> &lines, int unread,
             const QString &sender = QString())
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // The last `unread` incoming messages stay unread.
    int incomingLeft = 0;
    for (const Line &line : lines)
        incomingLeft += line.incoming ? 1 : 0;
    for (const Line &line : lines) {
        HistoryMessage message;
        message.setDirection(line.incoming ? HistoryMessage::Incoming : HistoryMessage::Outgoing);
        message.setSenderId(line.incoming ? (sender.isEmpty() ? context.remoteUid() : sender) : QString());
        const QDateTime time = now.addSecs(-60 * line.minutesAgo);
        message.setSentTime(time);
        if (line.incoming)
            message.setReceivedTime(time);
        message.setText(QString::fromUtf8(line.text));
        message.setState(line.incoming ? HistoryMessage::Received : line.state);
        if (line.state == HistoryMessage::Failed) {
            message.setStatusCode(15);
            message.setErrorName(QStringLiteral("The loopback server did not answer"));
        }
        message.setRead(!line.incoming || incomingLeft-- > unread);
        store.addMessage(context, message);
    }
    return store.threadId(context);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    HistoryStore store(HistoryStore::defaultPath());
    QTextStream out(stdout);
    if (!store.isOpen()) {
        QTextStream(stderr) << "messaging-seed-history: cannot open " << store.path() << "\n";
        return 1;
    }
    const ChatContext bob(QStringLiteral("bob@loop.test"), Alice, OneToOneChat);
    QList<Line> bobLines;
    // Three days of talk, the oldest with the word a search finds.
    bobLines.append({4320, true, "Did you try the lasagne recipe I sent?"});
    bobLines.append({4318, false, "Not yet, this weekend!"});
    for (int i = 0; i < 70; ++i)
        bobLines.append({4300 - i * 55, i % 2 == 0, i % 2 == 0 ? "How is the project going?" : "Slowly, but it works."});
    bobLines.append({12, true, "Lunch at noon?"});
    bobLines.append({11, true, "The usual place"});
    out << "bob\t" << write(store, bob, bobLines, 2) << "\n";

    const ChatContext mum(QStringLiteral("+358401234567"), Sms, OneToOneChat);
    out << "sms\t"
        << write(store, mum,
                 {{1500, false, "Arriving at 6"}, {1490, true, "Great, dinner is ready by then"},
                  {35, true, "Don't forget the bread 🍞"}},
                 1)
        << "\n";

    const ChatContext carol(QStringLiteral("carol@loop.test"), Alice, OneToOneChat);
    out << "carol\t"
        << write(store, carol,
                 {{300, true, "Can you send me the slides?"},
                  {60, false, "Here they come", HistoryMessage::Failed}},
                 0)
        << "\n";

    const ChatContext room(QStringLiteral("#lunch"), Alice, RoomChat);
    out << "room\t"
        << write(store, room,
                 {{200, true, "Pizza or sushi today?"}, {190, false, "Sushi!"},
                  {25, true, "Sushi it is, 12:15"}},
                 1, QStringLiteral("erin@loop.test"))
        << "\n";

    const ChatContext dave(QStringLiteral("+358507654321"), Sms, OneToOneChat);
    const qint64 daveThread =
        write(store, dave, {{2900, true, "Thanks for yesterday"}, {2880, false, "Any time!"}}, 0);
    store.setDraft(daveThread, QStringLiteral("See you on Friday at"));
    out << "dave\t" << daveThread << "\n";
    return 0;
}
