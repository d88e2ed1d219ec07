// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_THREADMODEL_H
#define MESSAGING_QML_THREADMODEL_H

#include <messaging0/historythreadmodel.h>

#include <QQmlParserStatus>

class HistoryStore;
class TitleResolver;

// The conversation list for QML: the library's HistoryThreadModel on the
// application's history store (HistoryStore::instance()), with its paging
// (fetchMore), row-level updates from any process's changes, filters
// (accountPath, unreadOnly, filterText, set before the first page is read)
// and its roles. This layer adds: title, the address book's name of a
// one-to-one conversation (TitleResolver), else the readable number or the
// id, a room's topic or id; totalUnreadCount, the unread messages of every
// thread of the filter's account, loaded or not (counted from the store on
// the event-loop turn after a change, a burst of changes once); markRead()
// and remove() of the store.
//
// A subclass rather than a proxy: the list is the source's rows as they
// are, and a proxy's set-up (its connections to the source) cost as much
// as the titles.
class QmlThreadModel : public HistoryThreadModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int totalUnreadCount READ totalUnreadCount NOTIFY totalUnreadCountChanged)
public:
    explicit QmlThreadModel(QObject *parent = nullptr);
    // For C++ callers and benchmarks: a model on the given store, loaded at once.
    explicit QmlThreadModel(HistoryStore *store, QObject *parent = nullptr);
    ~QmlThreadModel() override;

    int count() const { return rowCount(); }
    int totalUnreadCount() const { return m_totalUnread; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    Q_INVOKABLE bool markRead(qint64 threadId);
    Q_INVOKABLE bool remove(qint64 threadId);
    // Every role of one row by name, for QML code outside a delegate.
    Q_INVOKABLE QVariantMap get(int row) const;

    void classBegin() override;
    void componentComplete() override;

Q_SIGNALS:
    void totalUnreadCountChanged();

private:
    QmlThreadModel(HistoryStore *store, Loading loading, QObject *parent);
    void scheduleUnreadCount();
    void countUnread();

    int m_totalUnread = 0;
    bool m_unreadCountScheduled = false;
    // The store is the application's (or the caller's); the resolver is
    // owned by this model.
    HistoryStore *m_store;
    TitleResolver *m_titles;
};

#endif // MESSAGING_QML_THREADMODEL_H
