// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "commands.h"
#include "commandline.h"

#include <messaging0/accountutils.h>
#include <messaging0/messagesender.h>
#include <messaging0/messagestatus.h>

#include <TelepathyQt/Account>
#include <TelepathyQt/AccountManager>
#include <TelepathyQt/PendingOperation>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTextStream>

#include <algorithm>

namespace {

// Progress lines are written this often while nothing happens.
constexpr int ProgressIntervalSeconds = 5;
constexpr int FlushTimeoutMs = 1000;

} // namespace

Command::Command(int timeoutSeconds, QObject *parent)
    : QObject(parent)
    , m_timeoutSeconds(timeoutSeconds)
{
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &Command::onTick);
}

void Command::start(const QElapsedTimer &since)
{
    // The time-out counts from the start of the run, connecting included.
    m_elapsed = since;
    if (!m_elapsed.isValid())
        m_elapsed.start();
    m_ticker.start();
    setStage(QStringLiteral("the account manager"));
    Tp::AccountManagerPtr manager = AccountUtils::instance()->accountManager();
    if (manager->isReady()) {
        accountManagerReady();
        return;
    }
    connect(AccountUtils::instance(), &AccountUtils::accountManagerReady, this,
            &Command::onAccountManagerReady);
}

void Command::onAccountManagerReady(Tp::PendingOperation *operation)
{
    if (m_finished)
        return;
    if (operation && operation->isError()) {
        fail(QStringLiteral("the Telepathy account manager is not available: %1")
                 .arg(operation->errorMessage()));
        finish(ExitEnvironment);
        return;
    }
    accountManagerReady();
}

void Command::setStage(const QString &stage)
{
    m_stage = stage;
    err() << "messaging: waiting for " << stage << "..." << Qt::endl;
}

void Command::onTick()
{
    const qint64 seconds = m_elapsed.elapsed() / 1000;
    if (seconds >= m_timeoutSeconds) {
        fail(QStringLiteral("timed out after %1 s waiting for %2").arg(m_timeoutSeconds).arg(m_stage));
        timedOut();
        finish(ExitTimeout);
        return;
    }
    if (seconds > 0 && seconds % ProgressIntervalSeconds == 0)
        err() << "messaging: still waiting for " << m_stage << " (" << seconds << " s)" << Qt::endl;
}

void Command::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    m_ticker.stop();
    out().flush();
    // A failure notification may still be on its way out; a round trip to
    // the bus makes sure it has left before the process does.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(ping, FlushTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [exitCode] { QCoreApplication::exit(exitCode); });
}

void Command::fail(const QString &message)
{
    err() << "messaging: " << message << Qt::endl;
}

SendCommand::SendCommand(const QString &accountPath, const QString &remoteUid,
                         const QList<Message> &messages, int timeoutSeconds, QObject *parent)
    : Command(timeoutSeconds, parent)
    , m_accountPath(accountPath)
    , m_remoteUid(remoteUid)
    , m_messages(messages)
{
    // The sender hands messages over in the order of the send calls, so the
    // ids only need to be unique.
    for (int i = 0; i < m_messages.size(); ++i)
        m_messages[i].id = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(i + 1);
}

Tp::AccountPtr Command::accountOrFail(const QString &accountPath)
{
    const Tp::AccountPtr account =
        AccountUtils::instance()->accountManager()->accountForObjectPath(accountPath);
    if (account && account->isValid())
        return account;
    fail(QStringLiteral("no account %1 (see: messaging accounts)").arg(accountPath));
    finish(ExitEnvironment);
    return Tp::AccountPtr();
}

QString describeFailure(const QString &errorName, const QString &errorMessage)
{
    if (errorName.isEmpty() || errorMessage.isEmpty())
        return errorName + errorMessage;
    return errorName + QLatin1String(": ") + errorMessage;
}

void SendCommand::accountManagerReady()
{
    const Tp::AccountPtr account = accountOrFail(m_accountPath);
    if (!account)
        return;
    if (!account->isEnabled())
        fail(QStringLiteral("account %1 is disabled").arg(m_accountPath));

    m_sender = new MessageSender(m_remoteUid, m_accountPath, false, this);
    connect(m_sender, &MessageSender::messageFailed, this,
            [this](const QString &messageId, int, const QString &errorName, const QString &errorMessage) {
                for (Message &message : m_messages) {
                    if (message.id == messageId && message.status == -1)
                        message.reason = describeFailure(errorName, errorMessage);
                }
            });
    connect(m_sender, &MessageSender::messageStatusChanged, this, &SendCommand::onStatus);
    connect(m_sender, &MessageSender::messageSent, this, [this] {
        setStage(QStringLiteral("the status of %1 message(s)").arg(m_waiting));
    });
    connect(m_sender, &MessageSender::readyToSend, this, [](bool ready) {
        if (!ready)
            err() << "messaging: the conversation was lost" << Qt::endl;
    });

    setStage(QStringLiteral("the conversation with %1 on %2").arg(m_remoteUid, m_accountPath));
    m_waiting = m_messages.size();
    for (const Message &message : qAsConst(m_messages)) {
        if (message.isVCard)
            m_sender->sendVCard(message.content, message.id);
        else
            m_sender->send(message.content, message.id);
    }
}

void SendCommand::onStatus(const QString &messageId, int status)
{
    for (int i = 0; i < m_messages.size(); ++i) {
        Message &message = m_messages[i];
        if (message.id != messageId || message.status != -1)
            continue;
        message.status = status;
        --m_waiting;
        out() << describe(i) << ": " << MessageStatus::description(status);
        if (MessageStatus::isFailure(status)) {
            out() << " (status " << status << ')';
            if (!message.reason.isEmpty())
                out() << ", reason: " << message.reason;
        }
        out() << Qt::endl;
    }
    if (m_waiting > 0)
        return;

    int sent = 0;
    for (const Message &message : qAsConst(m_messages))
        sent += message.status == 0 ? 1 : 0;
    err() << "messaging: " << sent << " of " << m_messages.size() << " message(s) sent" << Qt::endl;
    finish(sent == m_messages.size() ? ExitSuccess : ExitMessageFailed);
}

void SendCommand::timedOut()
{
    for (int i = 0; i < m_messages.size(); ++i) {
        if (m_messages.at(i).status == -1)
            out() << describe(i) << ": no status" << Qt::endl;
    }
}

QString SendCommand::describe(int index) const
{
    const Message &message = m_messages.at(index);
    const int number = index + 1;
    if (message.isVCard)
        return QStringLiteral("[%1] vCard %2").arg(number).arg(message.content);
    QString text = message.content;
    if (text.size() > 40)
        text = text.left(37) + QStringLiteral("...");
    return QStringLiteral("[%1] text \"%2\"").arg(number).arg(text);
}
