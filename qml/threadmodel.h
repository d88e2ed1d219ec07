// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_THREADMODEL_H
#define MESSAGING_QML_THREADMODEL_H

#include <messaging0/historythread.h>

#include <QAbstractListModel>
#include <QHash>
#include <QQmlParserStatus>
#include <QVector>

class HistoryStore;
class TitleResolver;

// The conversation list for QML, on the application's history store
// (HistoryStore::instance()): the thread with the newest last message first,
// 50 rows at a time (fetchMore, paged by key), and row-level updates from
// the store's change notices, which also come for other processes' changes:
// a changed thread's row changes in place or moves (a new message moves it
// to the top), a new thread is inserted in its place, a removed one goes;
// the model is never reset by a change.
//
// Roles: threadId, accountPath, remoteIds, title, lastText, lastTime,
// lastIncoming, lastState (HistoryMessage.State), unreadCount, draft,
// groupChat. title is the address book's name of a one-to-one conversation
// (TitleResolver), else the readable number or the id; a room's id.
// accountPath, unreadOnly and filterText narrow the list as
// HistoryStore::ThreadFilter does; totalUnreadCount counts the unread
// messages of all threads the filter's account has, loaded or not.
class QmlThreadModel : public QAbstractListModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int totalUnreadCount READ totalUnreadCount NOTIFY totalUnreadCountChanged)
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY accountPathChanged)
    Q_PROPERTY(bool unreadOnly READ unreadOnly WRITE setUnreadOnly NOTIFY unreadOnlyChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
public:
    enum Role {
        ThreadIdRole = Qt::UserRole + 1,
        AccountPathRole,
        RemoteIdsRole,
        TitleRole,
        LastTextRole,
        LastTimeRole,
        LastIncomingRole,
        LastStateRole,
        UnreadCountRole,
        DraftRole,
        GroupChatRole
    };

    explicit QmlThreadModel(QObject *parent = nullptr);
    // For C++ callers and benchmarks: a model on the given store.
    explicit QmlThreadModel(HistoryStore *store, QObject *parent = nullptr);
    ~QmlThreadModel() override;

    int count() const { return m_rows.size(); }
    int totalUnreadCount() const { return m_totalUnread; }
    QString accountPath() const { return m_accountPath; }
    void setAccountPath(const QString &accountPath);
    bool unreadOnly() const { return m_unreadOnly; }
    void setUnreadOnly(bool unreadOnly);
    QString filterText() const { return m_filterText; }
    void setFilterText(const QString &filterText);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    Q_INVOKABLE bool markRead(qint64 threadId);
    Q_INVOKABLE bool remove(qint64 threadId);
    // Every role of one row by name, for QML code outside a delegate.
    Q_INVOKABLE QVariantMap get(int row) const;
    // The row of a thread among those loaded; -1 when not loaded.
    Q_INVOKABLE int rowOf(qint64 threadId) const { return m_rowOfId.value(threadId, -1); }

    void classBegin() override;
    void componentComplete() override;

Q_SIGNALS:
    void countChanged();
    void totalUnreadCountChanged();
    void accountPathChanged();
    void unreadOnlyChanged();
    void filterTextChanged();

private:
    void connectStore();
    void reload();
    void threadChanged(qint64 threadId);
    void threadRemoved(qint64 threadId);
    bool passes(const HistoryThread &thread) const;
    // Where a thread goes in the newest-first order of the loaded rows.
    int placeOf(const HistoryThread &thread, int ignoring) const;
    void reindex(int from, int to);
    void scheduleUnreadCount();
    void countUnread();

    QString m_accountPath;
    bool m_unreadOnly = false;
    QString m_filterText;
    QVector<HistoryThread> m_rows;
    QHash<qint64, int> m_rowOfId;
    bool m_exhausted = true;
    int m_totalUnread = 0;
    bool m_complete = true;
    bool m_unreadCountScheduled = false;
    // The store is the application's (or the caller's); the resolver is
    // owned by this model.
    HistoryStore *m_store = nullptr;
    TitleResolver *m_titles;
};

#endif // MESSAGING_QML_THREADMODEL_H
