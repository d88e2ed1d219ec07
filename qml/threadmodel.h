// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_THREADMODEL_H
#define MESSAGING_QML_THREADMODEL_H

#include <QIdentityProxyModel>
#include <QQmlParserStatus>

class HistoryStore;
class HistoryThreadModel;
class TitleResolver;

// The conversation list for QML: the library's HistoryThreadModel on the
// application's history store (HistoryStore::instance()), with its paging
// (fetchMore), row-level updates from any process's changes and filters
// (accountPath, unreadOnly, filterText), and its roles. This layer adds:
// title, the address book's name of a one-to-one conversation
// (TitleResolver), else the readable number or the id, a room's id;
// totalUnreadCount, the unread messages of every thread of the filter's
// account, loaded or not (counted from the store on the event-loop turn
// after a change, a burst of changes once); markRead() and remove() of the store.
class QmlThreadModel : public QIdentityProxyModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int totalUnreadCount READ totalUnreadCount NOTIFY totalUnreadCountChanged)
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY accountPathChanged)
    Q_PROPERTY(bool unreadOnly READ unreadOnly WRITE setUnreadOnly NOTIFY unreadOnlyChanged)
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
public:
    explicit QmlThreadModel(QObject *parent = nullptr);
    // For C++ callers and benchmarks: a model on the given store.
    explicit QmlThreadModel(HistoryStore *store, QObject *parent = nullptr);
    ~QmlThreadModel() override;

    int count() const { return rowCount(); }
    int totalUnreadCount() const { return m_totalUnread; }
    QString accountPath() const;
    void setAccountPath(const QString &accountPath);
    bool unreadOnly() const;
    void setUnreadOnly(bool unreadOnly);
    QString filterText() const;
    void setFilterText(const QString &filterText);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    Q_INVOKABLE bool markRead(qint64 threadId);
    Q_INVOKABLE bool remove(qint64 threadId);
    // Every role of one row by name, for QML code outside a delegate.
    Q_INVOKABLE QVariantMap get(int row) const;
    // The row of a thread among those loaded; -1 when not loaded.
    Q_INVOKABLE int rowOf(qint64 threadId) const;

    void classBegin() override;
    void componentComplete() override;

Q_SIGNALS:
    void countChanged();
    void totalUnreadCountChanged();
    void accountPathChanged();
    void unreadOnlyChanged();
    void filterTextChanged();

private:
    void attach(HistoryStore *store);
    void scheduleUnreadCount();
    void countUnread();

    int m_totalUnread = 0;
    bool m_unreadCountScheduled = false;
    // Filters set before the source exists (QML sets them first).
    QString m_accountPath;
    bool m_unreadOnly = false;
    QString m_filterText;
    // The store is the application's (or the caller's); the source model
    // and the resolver are owned by this model.
    HistoryStore *m_store = nullptr;
    HistoryThreadModel *m_source = nullptr;
    TitleResolver *m_titles;
};

#endif // MESSAGING_QML_THREADMODEL_H
