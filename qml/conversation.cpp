// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "conversation.h"

#include <messaging0/activeconversation.h>
#include <messaging0/chatsession.h>
#include <messaging0/historystore.h>
#include <messaging0/chatsessionmanager.h>
#include <messaging0/messagesender.h>
#include <messaging0/messagestatus.h>
#include <messaging0/mucchatsession.h>
#include <messaging0/mucparticipant.h>
#include <messaging0/pendingchatsession.h>
#include <messaging0/queuedmessagesender.h>

#include <QFileInfo>
#include <QQmlInfo>

#include <utility>

namespace {
constexpr int HistoryPage = 50;
constexpr int AroundCount = 25;
} // namespace

QmlConversation::QmlConversation(QObject *parent)
    : QObject(parent), m_messages(new QmlMessageModel(this)), m_activeMark(new ActiveConversation(this))
{
    connect(m_messages, &QmlMessageModel::olderWanted, this, &QmlConversation::loadOlder);
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

// The error's types are status values as well.
QString QmlConversation::errorText(const ChatSessionError &error)
{
    return MessageStatus::userText(error.type());
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
    if (m_session)
        m_session->disconnect(this);
    m_session.reset();
    delete m_sender;
    updateMembers();
    Q_EMIT topicChanged();
    connectStore();
    findThread();
    loadHistory();
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty()) {
        setState(Idle);
        return;
    }
    setState(Requesting);
    request();
}

void QmlConversation::connectStore()
{
    if (m_store)
        return;
    HistoryStore *store = HistoryStore::instance();
    if (!store->isOpen())
        return;
    m_store = store;
    connect(store, &HistoryStore::messageAdded, this, [this](qint64 threadId, qint64 messageId) {
        if (m_threadId < 0 && !m_accountPath.isEmpty() && !m_remoteId.isEmpty())
            findThread();
        if (threadId != m_threadId)
            return;
        // Stored while the queue takes it, before its row exists: matched
        // to the row once it does.
        if (m_enqueueing) {
            m_storedDuringEnqueue.append(messageId);
            return;
        }
        const HistoryMessage message = m_store->message(messageId);
        m_messages->addStored(message);
        if (message.isIncoming())
            markIncomingRead();
    });
    connect(store, &HistoryStore::messageChanged, this, [this](qint64 threadId, qint64 messageId) {
        if (threadId == m_threadId)
            m_messages->updateStored(m_store->message(messageId));
    });
    connect(store, &HistoryStore::threadChanged, this, [this](qint64 threadId) {
        if (threadId != m_threadId)
            return;
        const QString draft = m_store->thread(threadId).draft();
        if (draft != m_draft) {
            m_draft = draft;
            Q_EMIT draftChanged();
        }
    });
    connect(store, &HistoryStore::threadRemoved, this, [this](qint64 threadId) {
        if (threadId != m_threadId)
            return;
        m_messages->clear();
        m_threadId = -1;
        m_activeMark->setThreadKey(QString());
        Q_EMIT threadIdChanged();
    });
}

// The thread of the account and recipient; -1 until its first message is
// stored. A draft typed before then goes into the new thread.
void QmlConversation::findThread()
{
    if (!m_store || m_accountPath.isEmpty() || m_remoteId.isEmpty())
        return;
    const qint64 id = m_store->threadId(context());
    if (id == m_threadId)
        return;
    m_threadId = id;
    m_activeMark->setThreadKey(id < 0 ? QString() : QString::number(id));
    m_activeMark->setActive(m_active);
    Q_EMIT threadIdChanged();
    if (id < 0)
        return;
    if (!m_draft.isEmpty() && m_store->thread(id).draft().isEmpty())
        m_store->setDraft(id, m_draft);
    markIncomingRead();
}

void QmlConversation::loadHistory()
{
    m_messages->clear();
    if (!m_store || m_threadId < 0)
        return;
    const QString draft = m_store->thread(m_threadId).draft();
    if (draft != m_draft) {
        m_draft = draft;
        Q_EMIT draftChanged();
    }
    QList<HistoryMessage> page;
    if (m_aroundMessageId >= 0 && m_store->message(m_aroundMessageId).threadId() == m_threadId)
        page = m_store->messagesAround(m_aroundMessageId, AroundCount);
    else
        page = m_store->messages(m_threadId, HistoryPage);
    m_messages->prependHistory(page);
    m_messages->setHasOlder(!page.isEmpty());
}

void QmlConversation::loadOlder()
{
    if (!m_store || m_threadId < 0)
        return;
    const QList<HistoryMessage> page =
        m_store->messages(m_threadId, HistoryPage, m_messages->oldestStored());
    m_messages->setHasOlder(page.size() == HistoryPage);
    m_messages->prependHistory(page);
}

void QmlConversation::addStoredDuringEnqueue()
{
    const QList<qint64> ids = std::exchange(m_storedDuringEnqueue, {});
    for (qint64 id : ids)
        m_messages->addStored(m_store->message(id));
}

void QmlConversation::markIncomingRead()
{
    if (m_active && m_store && m_threadId >= 0 && m_store->thread(m_threadId).unreadCount() > 0)
        m_store->markRead(m_threadId);
}

void QmlConversation::setThreadId(qint64 threadId)
{
    if (threadId == m_threadId)
        return;
    connectStore();
    const HistoryThread thread = m_store ? m_store->thread(threadId) : HistoryThread();
    if (!thread.isValid())
        return;
    // The thread names the conversation: its account and remote id.
    m_threadId = threadId;
    m_activeMark->setThreadKey(QString::number(threadId));
    m_activeMark->setActive(m_active);
    Q_EMIT threadIdChanged();
    const bool group = thread.isGroupChat();
    if (thread.accountPath() != m_accountPath) {
        m_accountPath = thread.accountPath();
        Q_EMIT accountPathChanged();
    }
    if (thread.remoteIds().value(0) != m_remoteId) {
        m_remoteId = thread.remoteIds().value(0);
        Q_EMIT remoteIdChanged();
    }
    if (group != m_groupChat) {
        m_groupChat = group;
        Q_EMIT groupChatChanged();
    }
    restart();
}

void QmlConversation::setAroundMessageId(qint64 messageId)
{
    if (messageId == m_aroundMessageId)
        return;
    m_aroundMessageId = messageId;
    Q_EMIT aroundMessageIdChanged();
    if (m_complete)
        loadHistory();
}

void QmlConversation::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    m_activeMark->setActive(active);
    Q_EMIT activeChanged();
    markIncomingRead();
}

void QmlConversation::setDraft(const QString &draft)
{
    if (draft == m_draft)
        return;
    m_draft = draft;
    Q_EMIT draftChanged();
    if (m_store && m_threadId >= 0)
        m_store->setDraft(m_threadId, draft);
}

void QmlConversation::request()
{
    // The request belongs to the manager, waits for it to be ready and
    // deletes itself; an answer to a request made for an earlier account or
    // recipient is ignored.
    const int serial = m_requestSerial;
    PendingChatSession *pending = ChatSessionManager::instance()->ensureChatSession(context());
    connect(pending, &PendingChatSession::finished, this, [this, serial](PendingChatSession *answer) {
        if (serial != m_requestSerial)
            return;
        if (answer->isError())
            setState(Failed, errorText(answer->error()));
        else
            adopt(answer->chatSession());
    });
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
        // With the history, incoming rows come from the store (the session
        // stores each message before it is acknowledged).
        if (message.isDeliveryReport() || m_store)
            return;
        const QString sender = message.senderNickname().isEmpty() ? message.senderId() : message.senderNickname();
        m_messages->appendIncoming(sender, message.text(),
                                   message.sent().isValid() ? message.sent() : message.received());
    });
    connect(chat, &ChatSession::messageDeliveryStatusChanged, this, [this](const QString &id, int status) {
        if (status == ChatSession::Delivered || status == ChatSession::DeliveryRead)
            m_messages->setState(id, QmlMessageModel::Delivered);
        else if (status == ChatSession::DeliveryFailed)
            m_messages->setState(id, QmlMessageModel::Failed, MessageStatus::deliveryFailureText());
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
        connect(m_sender, &MessageSender::messageStatusChanged, this,
                [this](const QString &id, int status) { showStatus(id, status, false); });
    }
    return m_sender;
}

void QmlConversation::showStatus(const QString &messageId, int status, bool willRetry)
{
    if (status == MessageStatus::Sent) {
        m_messages->setState(messageId, QmlMessageModel::Sent);
        return;
    }
    m_messages->setState(messageId, willRetry ? QmlMessageModel::Retrying : QmlMessageModel::Failed,
                         MessageStatus::userText(status));
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
                showStatus(id, status, willRetry);
            });
}

QString QmlConversation::send(const QString &text)
{
    if (m_accountPath.isEmpty() || m_remoteId.isEmpty())
        return QString();
    if (m_queued) {
        // The queue's file names a recipient, not a room: a group chat's
        // text would go out as a one-to-one message to the room's id.
        if (m_groupChat) {
            qmlWarning(this) << "Conversation: queued is for one-to-one conversations; the text to group chat "
                             << m_remoteId << " is not sent";
            return QString();
        }
        connectQueue();
        m_enqueueing = true;
        QString id = QueuedMessageSender::instance()->enqueue(
            MessageContent(m_accountPath, m_remoteId, text, false, 0));
        m_enqueueing = false;
        // Not stored: the queue sends it all the same, but tells nothing
        // about it; the row stays Sending.
        if (id.isNull())
            id = ChatSessionManager::generateMessageId();
        m_messages->appendOutgoing(id, text);
        addStoredDuringEnqueue();
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
    // The new attempt is stored anew: the failed message leaves the history.
    const qint64 failedStored = m_messages->storeIdOf(messageId);
    if (m_store && failedStored >= 0)
        m_store->removeMessages({failedStored});
    QString id;
    if (m_queued) {
        connectQueue();
        m_enqueueing = true;
        id = QueuedMessageSender::instance()->enqueue(
            MessageContent(m_accountPath, m_remoteId, text, false, 0));
        m_enqueueing = false;
    }
    if (id.isNull())
        id = ChatSessionManager::generateMessageId();
    m_messages->restart(messageId, id);
    addStoredDuringEnqueue();
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
