// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "roomcommand.h"

#include "commandline.h"
#include "watchdog.h"

#include <messaging0/accountutils.h>
#include <messaging0/chatsessionmanager.h>
#include <messaging0/mucparticipant.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

// How long to wait for the topic of a room before saying it is unknown.
constexpr int TopicWaitMs = 3000;

} // namespace

RoomCommand::RoomCommand(const QString &accountPath, const QString &room, const Actions &actions,
                         int timeoutSeconds, QObject *parent)
    : Command(timeoutSeconds, parent)
    , m_accountPath(accountPath)
    , m_room(room)
    , m_actions(actions)
{
}

void RoomCommand::accountManagerReady()
{
    if (!accountOrFail(m_accountPath))
        return;
    setStage(QStringLiteral("the room %1 on %2").arg(m_room, m_accountPath));
    // Answered once we are a member, or with the reason we are not; the
    // request registers the handler itself.
    PendingChatSession *request =
        ChatSessionManager::instance()->ensureChatSession(ChatContext(m_room, m_accountPath, RoomChat));
    connect(request, &PendingChatSession::finished, this, [this](PendingChatSession *request) {
        if (request->isError()) {
            const ChatSessionError error = request->error();
            fail(QStringLiteral("cannot join %1: error %2 %3")
                     .arg(m_room)
                     .arg(int(error.type()))
                     .arg(describeFailure(error.errorName(), error.message())));
            finish(ExitMessageFailed);
            return;
        }
        m_session = request->chatSession().objectCast<MucChatSession>();
        if (m_session)
            joined();
    });
}

void RoomCommand::joined()
{
    if (m_started)
        return;
    m_started = true;
    next();
}

// One action after the other; each calls next() when it is done.
void RoomCommand::next()
{
    MucChatSession *session = m_session.data();
    if (m_actions.members) {
        m_actions.members = false;
        QStringList ids;
        for (const MucParticipant *participant : session->members())
            ids << participant->uid();
        std::sort(ids.begin(), ids.end());
        for (const QString &id : qAsConst(ids))
            out() << "member\t" << id << Qt::endl;
        next();
        return;
    }
    if (m_actions.showTopic) {
        m_actions.showTopic = false;
        auto show = [this] {
            if (!m_session)
                return;
            const QString topic = m_session->topic();
            out() << "topic\t" << (topic.isNull() ? QStringLiteral("(unknown)") : topic) << '\t'
                  << m_session->topicActor() << Qt::endl;
        };
        if (!session->topic().isNull()) {
            show();
            next();
            return;
        }
        auto *guard = new QObject(this);
        auto done = [this, show, guard] {
            if (guard->parent() == nullptr)
                return;
            guard->setParent(nullptr);
            guard->deleteLater();
            show();
            next();
        };
        connect(session, &MucChatSession::topicChanged, guard, done);
        QTimer::singleShot(TopicWaitMs, guard, done);
        return;
    }
    if (m_actions.setTopic) {
        m_actions.setTopic = false;
        setStage(QStringLiteral("the new topic of %1").arg(m_room));
        auto *guard = new QObject(this);
        connect(session, &MucChatSession::topicChanged, guard, [this, guard](const QString &topic) {
            if (topic != m_actions.topic)
                return;
            delete guard;
            out() << "topic\t" << topic << '\t' << m_session->topicActor() << Qt::endl;
            next();
        });
        connect(session, &MucChatSession::topicChangeFailed, guard,
                [this, guard](const QString &name, const QString &message) {
                    delete guard;
                    fail(QStringLiteral("the topic was not changed: %1 %2").arg(name, message));
                    m_exitCode = ExitMessageFailed;
                    next();
                });
        session->setTopic(m_actions.topic);
        return;
    }
    if (m_actions.leave) {
        m_actions.leave = false;
        setStage(QStringLiteral("leaving %1").arg(m_room));
        connect(session, &MucChatSession::leftChat, this, [this](bool success) {
            if (success) {
                out() << "left\t" << m_room << Qt::endl;
            } else {
                fail(QStringLiteral("could not leave %1").arg(m_room));
                m_exitCode = ExitMessageFailed;
            }
            next();
        });
        session->leave();
        return;
    }
    finish(m_exitCode);
}

int runRoom(QCoreApplication &app, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Joins a group chat room (or uses it when joined) on one account, then prints\n"
        "its members, sets its topic and leaves it, as asked and in this order.\n"
        "Without an option it prints the topic and the members. Output lines:\n"
        "  member <id>\n"
        "  topic <text> <who set it>\n"
        "  left <room>\n"
        "Leaving is for good: the room is not offered again. Without --leave the\n"
        "room is only closed when the program ends."));
    parser.addPositionalArgument(QStringLiteral("account"),
                                 QStringLiteral("Account object path or its short form (e.g. idle/irc/alice0)."));
    parser.addPositionalArgument(QStringLiteral("room"), QStringLiteral("The room, e.g. #kitchen."));
    const QCommandLineOption topic(QStringLiteral("topic"), QStringLiteral("Set the room's topic."),
                                   QStringLiteral("text"));
    const QCommandLineOption leave(QStringLiteral("leave"), QStringLiteral("Leave the room."));
    const QCommandLineOption members(QStringLiteral("members"), QStringLiteral("Print the room's members."));
    parser.addOptions({topic, leave, members});
    const QString command = QStringLiteral("room");
    int seconds = 0;
    const int parsed = CommandLine::parse(app, command, arguments, parser, &seconds, 2);
    if (parsed >= 0)
        return parsed;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return CommandLine::usageError(command, QStringLiteral("an account and a room are needed"));
    const QString accountPath = CommandLine::fullAccountPath(positional.at(0));
    const QString room = positional.at(1).trimmed();
    if (accountPath.isEmpty() || room.isEmpty())
        return CommandLine::usageError(command, QStringLiteral("the account and the room must not be empty"));

    RoomCommand::Actions actions;
    actions.members = parser.isSet(members);
    actions.setTopic = parser.isSet(topic);
    actions.topic = parser.value(topic);
    actions.leave = parser.isSet(leave);
    if (!actions.members && !actions.setTopic && !actions.leave) {
        actions.showTopic = true;
        actions.members = true;
    }

    // Connecting can block for good on a bus that never answers.
    Watchdog watchdog(std::chrono::seconds(seconds), seconds, "the session bus");
    const bool connected = QDBusConnection::sessionBus().isConnected();
    watchdog.extend(std::chrono::milliseconds(3000));
    if (!connected) {
        QTextStream(stderr) << "messaging: no D-Bus session bus\n";
        return ExitEnvironment;
    }
    RoomCommand roomCommand(accountPath, room, actions, seconds);
    roomCommand.start();
    return app.exec();
}
