// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "conversation.h"

#include <messaging0/chatsession.h>
#include <messaging0/chatsessionmanager.h>
#include <messaging0/messagesender.h>
#include <messaging0/messagestatus.h>
#include <messaging0/mucchatsession.h>
#include <messaging0/mucparticipant.h>
#include <messaging0/pendingchatsession.h>
#include <messaging0/queuedmessagesender.h>

#include <QFileInfo>

QmlConversation::QmlConversation(QObject *parent)
    : QObject(parent), m_messages(new QmlMessageModel(this))
{
}

QmlConversation::~QmlConversation() = default;

void QmlConversation::classBegin()
{
    m_complete = false;
}

void QmlConversation::componentComplete()
{
    m_complete = true;
    restart();
}

void QmlConversation::setAccountPath(const QString &accountPath)
{
    if (accountPath == m_accountPath)
        return;
    m_accountPath = accountPath;
    Q_EMIT accountPathChanged();
    restart();
}

void QmlConversation::setRemoteId(const QString &remoteId)
{
    if (remoteId == m_remoteId)
        return;
    m_remoteId = remoteId;
    Q_EMIT remoteIdChanged();
    restart();
}

void QmlConversation::setGroupChat(bool groupChat)
{
    if (groupChat == m_groupChat)
        return;
    m_groupChat = groupChat;
    Q_EMIT groupChatChanged();
    restart();
}

void QmlConversation::setQueued(bool queued)
{
    if (queued == m_queued)
        return;
    m_queued = queued;
    Q_EMIT queuedChanged();
}

ChatContext QmlConversation::context() const
{
    return ChatContext(m_remoteId, m_accountPath, m_groupChat ? RoomChat : OneToOneChat);
}

// The error's types are status values as well: a description when
// Telepathy gave no message.
QString QmlConversation::errorText(const ChatSessionError &error)
{
    return error.message().isEmpty() ? MessageStatus::description(error.type()) : error.message();
}

void QmlConversation::setState(State state, const QString &errorText)
{
    if (state == m_state && errorText == m_errorText)
        return;
    m_state = state;
    m_errorText = errorText;
    Q_EMIT stateChanged();
}

// A new account or recipient is a new conversation: the old one is let go
// (its messages stay listed) and the new one requested.
void QmlConversation::restart()
{
    if (!m_complete)
        return;
    ++m_requestSerial;
    dropRequest();
    if (m_session)
        m_session->disconnect(this);
    m_session.reset();
    delete m_sender;
    updateMembers();
    Q_EMIT topicChanged();
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty()) {
        setState(Idle);
        return;
    }
    setState(Requesting);
    request();
}

void QmlConversation::request()
{
    ChatSessionManager *manager = ChatSessionManager::instance();
    const int serial = m_requestSerial;
    if (!manager->isReady()) {
        m_managerReady = connect(manager, &ChatSessionManager::managerReady, this, [this, serial] {
            dropRequest();
            if (serial == m_requestSerial && m_state == Requesting)
                request();
        });
        manager->initialize();
        return;
    }
    // The request belongs to the manager and deletes itself; an answer to
    // a request made for an earlier account or recipient is ignored.
    PendingChatSession *pending = manager->ensureChatSession(context());
    connect(pending, &PendingChatSession::finished, this, [this, serial](PendingChatSession *answer) {
        if (serial != m_requestSerial)
            return;
        if (answer->isError())
            setState(Failed, errorText(answer->error()));
        else
            adopt(answer->chatSession());
    });
}

void QmlConversation::dropRequest()
{
    disconnect(m_managerReady);
}

void QmlConversation::adopt(const ChatSessionPtr &session)
{
    if (m_session == session)
        return;
    if (m_session)
        m_session->disconnect(this);
    m_session = session;
    ChatSession *chat = session.data();
    connect(chat, &ChatSession::readyToChat, this, [this](bool ready) {
        if (ready)
            setState(Ready);
        updateMembers();
        Q_EMIT topicChanged();
    });
    connect(chat, &ChatSession::chatSessionError, this,
            [this](ChatSessionError &error) { setState(Failed, errorText(error)); });
    connect(chat, &ChatSession::messageReceived, this, [this](const IncomingMessage &message) {
        if (message.isDeliveryReport())
            return;
        const QString sender = message.senderNickname().isEmpty() ? message.senderId() : message.senderNickname();
        m_messages->appendIncoming(sender, message.text(),
                                   message.sent().isValid() ? message.sent() : message.received());
    });
    connect(chat, &ChatSession::messageDeliveryStatusChanged, this, [this](const QString &id, int status) {
        if (status == ChatSession::Delivered || status == ChatSession::DeliveryRead)
            m_messages->setState(id, QmlMessageModel::Delivered);
        else if (status == ChatSession::DeliveryFailed)
            m_messages->setState(id, QmlMessageModel::Failed, QStringLiteral("The message was not delivered."));
    });
    if (MucChatSession *muc = groupSession()) {
        connect(muc, &MucChatSession::participantsChanged, this, &QmlConversation::updateMembers);
        connect(muc, &MucChatSession::topicChanged, this, &QmlConversation::topicChanged);
        connect(muc, &MucChatSession::topicChangeFailed, this, &QmlConversation::topicChangeFailed);
        connect(muc, &MucChatSession::leftChat, this, [this](bool success) {
            if (success)
                setState(Left);
            Q_EMIT left(success);
        });
    }
    updateMembers();
    Q_EMIT topicChanged();
    if (chat->isReadyToChat())
        setState(Ready);
}

void QmlConversation::updateMembers()
{
    QStringList members;
    if (MucChatSession *muc = groupSession()) {
        const QList<MucParticipant *> participants = muc->members();
        for (const MucParticipant *participant : participants)
            members.append(participant->displayName());
        members.sort();
    }
    if (members == m_members)
        return;
    m_members = members;
    Q_EMIT membersChanged();
}

MucChatSession *QmlConversation::groupSession() const
{
    return qobject_cast<MucChatSession *>(m_session.data());
}

QString QmlConversation::topic() const
{
    MucChatSession *muc = groupSession();
    return muc ? muc->topic() : QString();
}

bool QmlConversation::canSetTopic() const
{
    MucChatSession *muc = groupSession();
    return muc && m_groupChat && muc->isReadyToChat() && muc->canSetTopic();
}

void QmlConversation::setTopic(const QString &topic)
{
    if (MucChatSession *muc = groupSession())
        muc->setTopic(topic);
}

void QmlConversation::leave(const QString &message)
{
    if (MucChatSession *muc = groupSession())
        muc->leave(message);
}

MessageSender *QmlConversation::sender()
{
    if (!m_sender) {
        m_sender = new MessageSender(context(), false, this);
        connect(m_sender, &MessageSender::messageFailed, this,
                [this](const QString &id, int, const QString &, const QString &errorMessage) {
                    m_failureReasons.insert(id, errorMessage);
                });
        connect(m_sender, &MessageSender::messageStatusChanged, this, &QmlConversation::messageFinished);
    }
    return m_sender;
}

void QmlConversation::messageFinished(const QString &messageId, int status)
{
    showStatus(messageId, status, false, m_failureReasons.take(messageId));
}

void QmlConversation::showStatus(const QString &messageId, int status, bool willRetry, const QString &reason)
{
    if (status == MessageStatus::Sent) {
        m_messages->setState(messageId, QmlMessageModel::Sent);
        return;
    }
    m_messages->setState(messageId, willRetry ? QmlMessageModel::Retrying : QmlMessageModel::Failed,
                         reason.isEmpty() ? MessageStatus::description(status) : reason);
}

// Every attempt of a queued message: the queue tries a transient failure
// again (Retrying) and ends the message with its final status.
void QmlConversation::connectQueue()
{
    if (m_queueConnected)
        return;
    m_queueConnected = true;
    QueuedMessageSender *queue = QueuedMessageSender::instance();
    queue->setRetryTransientFailures(true);
    connect(queue, &QueuedMessageSender::messageAttempted, this,
            [this](const QString &id, const MessageContent &, int status, bool willRetry) {
                showStatus(id, status, willRetry, QString());
            });
}

QString QmlConversation::send(const QString &text)
{
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty())
        return QString();
    if (m_queued) {
        connectQueue();
        QString id = QueuedMessageSender::instance()->enqueue(
            MessageContent(m_accountPath, m_remoteId, text, false, 0));
        // Not stored: the queue sends it all the same, but tells nothing
        // about it; the row stays Sending.
        if (id.isNull())
            id = ChatSessionManager::generateMessageId();
        m_messages->appendOutgoing(id, text);
        return id;
    }
    const QString id = ChatSessionManager::generateMessageId();
    m_messages->appendOutgoing(id, text);
    sender()->send(text, id);
    return id;
}

QString QmlConversation::resend(const QString &messageId)
{
    const int row = m_messages->rowOf(messageId);
    const QString text = m_messages->textOf(messageId);
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty() || text.isEmpty() || row < 0
        || m_messages->data(m_messages->index(row), QmlMessageModel::StateRole).toInt()
            != QmlMessageModel::Failed)
        return QString();
    QString id;
    if (m_queued) {
        connectQueue();
        id = QueuedMessageSender::instance()->enqueue(
            MessageContent(m_accountPath, m_remoteId, text, false, 0));
    }
    if (id.isNull())
        id = ChatSessionManager::generateMessageId();
    m_messages->restart(messageId, id);
    if (!m_queued)
        sender()->send(text, id);
    return id;
}

QString QmlConversation::sendVCard(const QUrl &file)
{
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty())
        return QString();
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    const QString id = ChatSessionManager::generateMessageId();
    m_messages->appendOutgoing(id, QFileInfo(path).fileName());
    sender()->sendVCard(path, id);
    return id;
}
