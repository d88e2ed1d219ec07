// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historythreadmodel.h"

#include "historystore.h"

#include <QPointer>
#include <QVector>


class HistoryThreadModelPrivate
{
public:
    // Newest last message first; the id breaks ties, as in the store.
    static bool before(const HistoryThread &a, const HistoryThread &b)
    {
        const qint64 ta = a.lastTime().isValid() ? a.lastTime().toMSecsSinceEpoch() : 0;
        const qint64 tb = b.lastTime().isValid() ? b.lastTime().toMSecsSinceEpoch() : 0;
        return ta != tb ? ta > tb : a.id() > b.id();
    }

    void onThreadChanged(qint64 id);
    void onThreadRemoved(qint64 id);
    void reload();

    HistoryThreadModel *q;
    QPointer<HistoryStore> store; // not owned
    HistoryStore::ThreadFilter filter;
    int pageSize = 50;
    bool atEnd = false;
    bool waiting = false; // LoadLater, until startLoading()
    QVector<HistoryThread> rows;
};

void HistoryThreadModelPrivate::reload()
{
    if (waiting)
        return;
    q->beginResetModel();
    rows.clear();
    atEnd = false;
    q->endResetModel();
    q->fetchMore();
}

void HistoryThreadModelPrivate::onThreadRemoved(qint64 id)
{
    const int row = q->rowOf(id);
    if (row < 0)
        return;
    q->beginRemoveRows(QModelIndex(), row, row);
    rows.remove(row);
    q->endRemoveRows();
    Q_EMIT q->countChanged();
}

void HistoryThreadModelPrivate::onThreadChanged(qint64 id)
{
    const int row = q->rowOf(id);
    const HistoryThread thread = store ? store->thread(id) : HistoryThread();
    if (!thread.isValid() || !store->threadMatches(id, filter)) {
        onThreadRemoved(id);
        return;
    }
    // Where it belongs among the loaded rows other than itself (the index
    // it gets once it has left its old row).
    const int others = rows.size() - (row >= 0 ? 1 : 0);
    auto other = [&](int i) -> const HistoryThread & { return rows.at(row >= 0 && i >= row ? i + 1 : i); };
    int place = 0;
    for (int hi = others; place < hi;) {
        const int mid = (place + hi) / 2;
        if (before(other(mid), thread))
            place = mid + 1;
        else
            hi = mid;
    }
    // Below the last loaded row while more remain: a later page brings it.
    if (place >= others && !atEnd) {
        onThreadRemoved(id);
        return;
    }
    if (row < 0) {
        q->beginInsertRows(QModelIndex(), place, place);
        rows.insert(place, thread);
        q->endInsertRows();
        Q_EMIT q->countChanged();
        return;
    }
    if (place != row) {
        // Qt's move takes the destination row as counted before the move.
        q->beginMoveRows(QModelIndex(), row, row, QModelIndex(), place > row ? place + 1 : place);
        rows.remove(row);
        rows.insert(place, thread);
        q->endMoveRows();
    } else {
        rows[row] = thread;
    }
    const QModelIndex index = q->index(place);
    Q_EMIT q->dataChanged(index, index);
}

HistoryThreadModel::HistoryThreadModel(HistoryStore *store, QObject *parent)
    : HistoryThreadModel(store, LoadAtOnce, parent)
{
}

HistoryThreadModel::HistoryThreadModel(HistoryStore *store, Loading loading, QObject *parent)
    : QAbstractListModel(parent)
    , d_ptr(new HistoryThreadModelPrivate)
{
    Q_D(HistoryThreadModel);
    d->q = this;
    d->waiting = loading == LoadLater;
    d->store = store ? store : HistoryStore::instance();
    connect(d->store.data(), &HistoryStore::threadChanged, this,
            [d](qint64 id) { d->onThreadChanged(id); });
    connect(d->store.data(), &HistoryStore::threadRemoved, this,
            [d](qint64 id) { d->onThreadRemoved(id); });
    fetchMore();
}

HistoryThreadModel::~HistoryThreadModel() = default;

QString HistoryThreadModel::accountPath() const { return d_func()->filter.accountPath; }
bool HistoryThreadModel::unreadOnly() const { return d_func()->filter.unreadOnly; }
QString HistoryThreadModel::filterText() const { return d_func()->filter.text; }
int HistoryThreadModel::pageSize() const { return d_func()->pageSize; }

void HistoryThreadModel::setAccountPath(const QString &accountPath)
{
    Q_D(HistoryThreadModel);
    if (d->filter.accountPath == accountPath)
        return;
    d->filter.accountPath = accountPath;
    d->reload();
    Q_EMIT filterChanged();
}

void HistoryThreadModel::setUnreadOnly(bool unreadOnly)
{
    Q_D(HistoryThreadModel);
    if (d->filter.unreadOnly == unreadOnly)
        return;
    d->filter.unreadOnly = unreadOnly;
    d->reload();
    Q_EMIT filterChanged();
}

void HistoryThreadModel::setFilterText(const QString &text)
{
    Q_D(HistoryThreadModel);
    if (d->filter.text == text)
        return;
    d->filter.text = text;
    d->reload();
    Q_EMIT filterChanged();
}

void HistoryThreadModel::setPageSize(int rows)
{
    d_func()->pageSize = qMax(1, rows);
}

HistoryThread HistoryThreadModel::threadAt(int row) const
{
    Q_D(const HistoryThreadModel);
    return row >= 0 && row < d->rows.size() ? d->rows.at(row) : HistoryThread();
}

int HistoryThreadModel::rowOf(qint64 threadId) const
{
    Q_D(const HistoryThreadModel);
    for (int i = 0; i < d->rows.size(); ++i) {
        if (d->rows.at(i).id() == threadId)
            return i;
    }
    return -1;
}

int HistoryThreadModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d_func()->rows.size();
}

QVariant HistoryThreadModel::data(const QModelIndex &index, int role) const
{
    Q_D(const HistoryThreadModel);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HistoryThread &t = d->rows.at(index.row());
    switch (role) {
    case ThreadIdRole: return t.id();
    case AccountPathRole: return t.accountPath();
    case RemoteIdsRole: return t.remoteIds();
    case Qt::DisplayRole:
    case TitleRole: return t.title();
    case LastTextRole: return t.lastText();
    case LastTimeRole: return t.lastTime();
    case LastIncomingRole: return t.lastIncoming();
    case LastStateRole: return int(t.lastState());
    case UnreadCountRole: return t.unreadCount();
    case DraftRole: return t.draft();
    case GroupChatRole: return t.isGroupChat();
    default: return QVariant();
    }
}

QHash<int, QByteArray> HistoryThreadModel::roleNames() const
{
    return {{ThreadIdRole, "threadId"},         {AccountPathRole, "accountPath"},
            {RemoteIdsRole, "remoteIds"},       {TitleRole, "title"},
            {LastTextRole, "lastText"},         {LastTimeRole, "lastTime"},
            {LastIncomingRole, "lastIncoming"}, {LastStateRole, "lastState"},
            {UnreadCountRole, "unreadCount"},   {DraftRole, "draft"},
            {GroupChatRole, "groupChat"}};
}

bool HistoryThreadModel::canFetchMore(const QModelIndex &parent) const
{
    Q_D(const HistoryThreadModel);
    return !parent.isValid() && !d->waiting && !d->atEnd && d->store && d->store->isOpen();
}

void HistoryThreadModel::startLoading()
{
    Q_D(HistoryThreadModel);
    if (!d->waiting)
        return;
    d->waiting = false;
    fetchMore();
}

void HistoryThreadModel::fetchMore(const QModelIndex &parent)
{
    Q_D(HistoryThreadModel);
    if (!canFetchMore(parent))
        return;
    const HistoryThread after = d->rows.isEmpty() ? HistoryThread() : d->rows.constLast();
    QList<HistoryThread> page = d->store->threads(d->filter, d->pageSize + 1, after);
    // One more than a page tells whether another page follows.
    d->atEnd = page.size() <= d->pageSize;
    if (!d->atEnd)
        page.removeLast();
    if (page.isEmpty())
        return;
    beginInsertRows(QModelIndex(), d->rows.size(), d->rows.size() + page.size() - 1);
    for (const HistoryThread &t : qAsConst(page))
        d->rows.append(t);
    endInsertRows();
    Q_EMIT countChanged();
}
