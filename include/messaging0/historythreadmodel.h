// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYTHREADMODEL_H
#define MESSAGING0_HISTORYTHREADMODEL_H

#include "historythread.h"
#include "messaging0global.h"

#include <QAbstractListModel>
#include <QScopedPointer>

class HistoryStore;
class HistoryThreadModelPrivate;

//! The list of conversations: the history's threads, the one with the newest
//! last message first, loaded a page at a time (fetchMore()).
//!
//! Follows the store: a thread that changes moves to its place or changes in
//! place, a new thread is inserted, a removed one removed, row by row; the
//! model is reset only when a filter changes. A thread whose place lies
//! beyond the loaded rows is left to a later fetchMore(). The memory held
//! follows the loaded rows, not the size of the history.
class MESSAGING0_EXPORT HistoryThreadModel : public QAbstractListModel
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(HistoryThreadModel)
    //! Only the threads of this account (SMS and MMS are one); all when empty.
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY filterChanged)
    //! Only the threads with unread messages.
    Q_PROPERTY(bool unreadOnly READ unreadOnly WRITE setUnreadOnly NOTIFY filterChanged)
    //! Only the threads whose remote ids hold every word as a prefix.
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterChanged)
    //! Rows loaded per fetchMore() (50 by default).
    Q_PROPERTY(int pageSize READ pageSize WRITE setPageSize)
    //! The number of loaded rows.
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    //! The roles, named in camelCase for QML as their role names say.
    enum Role {
        ThreadIdRole = Qt::UserRole + 1, //!< "threadId": the store's id
        AccountPathRole,   //!< "accountPath"
        RemoteIdsRole,     //!< "remoteIds": a string list
        TitleRole,         //!< "title": HistoryThread::title()
        LastTextRole,      //!< "lastText"
        LastTimeRole,      //!< "lastTime": a QDateTime
        LastIncomingRole,  //!< "lastIncoming"
        LastStateRole,     //!< "lastState": a HistoryMessage::State
        UnreadCountRole,   //!< "unreadCount"
        DraftRole,         //!< "draft"
        GroupChatRole      //!< "groupChat"
    };
    Q_ENUM(Role)

    //! A model of store's threads (HistoryStore::instance() when null). The
    //! first page is loaded at once.
    explicit HistoryThreadModel(HistoryStore *store = nullptr, QObject *parent = nullptr);
    ~HistoryThreadModel() override;

    //! The account filter.
    QString accountPath() const;
    //! Sets the account filter; reloads.
    void setAccountPath(const QString &accountPath);
    //! The unread-only filter.
    bool unreadOnly() const;
    //! Sets the unread-only filter; reloads.
    void setUnreadOnly(bool unreadOnly);
    //! The text filter.
    QString filterText() const;
    //! Sets the text filter; reloads.
    void setFilterText(const QString &text);
    //! Rows per page.
    int pageSize() const;
    //! Sets the rows per page (at least 1).
    void setPageSize(int rows);

    //! The thread of a row; invalid outside the loaded rows.
    HistoryThread threadAt(int row) const;
    //! The row of the thread; -1 when it is not loaded.
    Q_INVOKABLE int rowOf(qint64 threadId) const;

    //! The loaded rows.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    //! A role of a loaded row.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    //! The camelCase names of the roles.
    QHash<int, QByteArray> roleNames() const override;
    //! Whether older threads remain to be loaded.
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    //! Loads the next page.
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

Q_SIGNALS:
    //! A filter changed (and the model was reloaded, once loading).
    void filterChanged();
    //! The number of loaded rows changed.
    void countChanged();

protected:
    //! Whether the model loads its first page in its constructor.
    enum Loading {
        LoadAtOnce, //!< as the public constructor
        LoadLater   //!< only once startLoading() is called
    };
    //! For subclasses whose filters are set after construction (a QML
    //! type): with LoadLater, no row is read until startLoading().
    HistoryThreadModel(HistoryStore *store, Loading loading, QObject *parent);
    //! Loads the first page with the filters as they are now; filters
    //! changed afterwards reload as usual.
    void startLoading();

private:
    QScopedPointer<HistoryThreadModelPrivate> d_ptr;
};

#endif // MESSAGING0_HISTORYTHREADMODEL_H
