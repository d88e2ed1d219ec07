// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_CONVERSATION_H
#define MESSAGING_QML_CONVERSATION_H

#include "messagemodel.h"

#include <messaging0/chatcontext.h>
#include <messaging0/chatsession.h>

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QStringList>
#include <QUrl>

class ActiveConversation;
class HistoryStore;
class MessageSender;
class MucChatSession;
class QueuedMessageSender;

// One conversation for QML: set accountPath and remoteId (and groupChat for
// a room), or threadId of the history, and it requests the conversation
// from the library (ChatSessionManager::ensureChatSession()); state goes
// Idle -> Requesting -> Ready, or Failed with errorText. messages shows the
// history (HistoryStore::instance()): the newest 50 stored messages at once,
// older ones with fetchMore() (or messages.fetchOlder()), then what is sent, received and reported, each
// sent message with its state. aroundMessageId opens the history on one
// stored message instead (a search result).
//
// While active (the page is on screen) the conversation is marked active
// for every process (ActiveConversation: no notification is made for it)
// and its incoming messages are marked read. draft is the thread's draft
// in the store; a conversation with no stored message yet keeps it here.
//
// Sends go through a MessageSender of this conversation (the message id
// is the row's messageId); Delivered comes from the conversation's delivery
// reports. With queued set, texts go through the process's persistent send
// queue instead, with its retries turned on (for the whole process): a
// message that fails for a passing reason shows Retrying until the queue's
// next attempt ends it; queued messages show no Delivered (the queue's ids
// are its own). vCards always go directly. The queue carries one-to-one
// messages only: send() on a queued group chat refuses (an empty id, no
// row, a QML warning) rather than send the text to the room's id. A message
// that failed for good can be sent again on its row with resend().
class QmlConversation : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY accountPathChanged)
    Q_PROPERTY(QString remoteId READ remoteId WRITE setRemoteId NOTIFY remoteIdChanged)
    Q_PROPERTY(bool groupChat READ groupChat WRITE setGroupChat NOTIFY groupChatChanged)
    Q_PROPERTY(bool queued READ queued WRITE setQueued NOTIFY queuedChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY stateChanged)
    Q_PROPERTY(QmlMessageModel *messages READ messages CONSTANT)
    Q_PROPERTY(QStringList members READ members NOTIFY membersChanged)
    Q_PROPERTY(QString topic READ topic NOTIFY topicChanged)
    Q_PROPERTY(bool canSetTopic READ canSetTopic NOTIFY topicChanged)
    Q_PROPERTY(qint64 threadId READ threadId WRITE setThreadId NOTIFY threadIdChanged)
    Q_PROPERTY(qint64 aroundMessageId READ aroundMessageId WRITE setAroundMessageId NOTIFY aroundMessageIdChanged)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(QString draft READ draft WRITE setDraft NOTIFY draftChanged)
public:
    enum State {
        Idle,       // no account or recipient yet, or left
        Requesting, // asked the library for the conversation
        Ready,      // messages can be sent
        Failed,     // the conversation could not be opened or was lost; see errorText
        Left        // the user left the room; nothing more can be sent to it
    };
    Q_ENUM(State)

    explicit QmlConversation(QObject *parent = nullptr);
    ~QmlConversation() override;

    QString accountPath() const { return m_accountPath; }
    void setAccountPath(const QString &accountPath);
    QString remoteId() const { return m_remoteId; }
    void setRemoteId(const QString &remoteId);
    bool groupChat() const { return m_groupChat; }
    void setGroupChat(bool groupChat);
    bool queued() const { return m_queued; }
    void setQueued(bool queued);
    State state() const { return m_state; }
    QString errorText() const { return m_errorText; }
    QmlMessageModel *messages() const { return m_messages; }
    QStringList members() const { return m_members; }
    QString topic() const;
    bool canSetTopic() const;
    qint64 threadId() const { return m_threadId; }
    void setThreadId(qint64 threadId);
    qint64 aroundMessageId() const { return m_aroundMessageId; }
    void setAroundMessageId(qint64 messageId);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    QString draft() const { return m_draft; }
    void setDraft(const QString &draft);

    // Each returns the new message's id (its row's messageId), or an empty
    // string when there is no account or recipient yet (or, for send(), a
    // queued group chat).
    Q_INVOKABLE QString send(const QString &text);
    Q_INVOKABLE QString sendVCard(const QUrl &file);
    // Sends a failed text message again, on its row (which gets the
    // returned new id and shows Sending); an empty string when the row is
    // not a failed message of this conversation.
    Q_INVOKABLE QString resend(const QString &messageId);
    // The next 50 older stored messages.
    Q_INVOKABLE void fetchMore() { loadOlder(); }
    Q_INVOKABLE void setTopic(const QString &topic);
    Q_INVOKABLE void leave(const QString &message = QString());

    void classBegin() override;
    void componentComplete() override;

Q_SIGNALS:
    void accountPathChanged();
    void remoteIdChanged();
    void groupChatChanged();
    void queuedChanged();
    void stateChanged();
    void membersChanged();
    void topicChanged();
    void topicChangeFailed(const QString &errorName, const QString &errorMessage);
    void left(bool success);
    void threadIdChanged();
    void aroundMessageIdChanged();
    void activeChanged();
    void draftChanged();

private:
    ChatContext context() const;
    void restart();
    void request();
    void adopt(const ChatSessionPtr &session);
    void setState(State state, const QString &errorText = QString());
    static QString errorText(const ChatSessionError &error);
    void updateMembers();
    // A message's row after a status: Sent, or Retrying or Failed with the
    // library's text for the status.
    void showStatus(const QString &messageId, int status, bool willRetry);
    // The group chat of the conversation; null for a one-to-one one.
    MucChatSession *groupSession() const;
    MessageSender *sender();
    void connectQueue();
    // The history: the thread of the conversation, its rows and changes.
    void connectStore();
    void findThread();
    void loadHistory();
    void loadOlder();
    void markIncomingRead();
    void addStoredDuringEnqueue();

    QString m_accountPath;
    QString m_remoteId;
    bool m_groupChat = false;
    bool m_queued = false;
    bool m_complete = true;
    State m_state = Idle;
    QString m_errorText;
    QStringList m_members;
    // Owned by this object.
    QmlMessageModel *m_messages;
    // Owned by this object; one per conversation requested.
    QPointer<MessageSender> m_sender;
    ChatSessionPtr m_session;
    // Tells the answer to the current request from older ones.
    int m_requestSerial = 0;
    bool m_queueConnected = false;
    qint64 m_threadId = -1;
    qint64 m_aroundMessageId = -1;
    bool m_active = false;
    QString m_draft;
    // The process's store (its owner is the application object).
    HistoryStore *m_store = nullptr;
    // Owned by this object.
    ActiveConversation *m_activeMark;
    bool m_enqueueing = false;
    QList<qint64> m_storedDuringEnqueue;
};

#endif // MESSAGING_QML_CONVERSATION_H
