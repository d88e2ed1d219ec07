// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historymessagemodel.h"

#include "historystore.h"

#include <QPointer>
#include <QVariantMap>
#include <QVector>

class HistoryMessageModelPrivate
{
public:
    // Newest first; the id breaks ties, as in the store.
    static bool before(const HistoryMessage &a, const HistoryMessage &b)
    {
        const qint64 ta = a.time().toMSecsSinceEpoch();
        const qint64 tb = b.time().toMSecsSinceEpoch();
        return ta != tb ? ta > tb : a.id() > b.id();
    }

    void onMessageAdded(qint64 threadId, qint64 messageId);
    void onMessageChanged(qint64 threadId, qint64 messageId);
    void onMessageRemoved(qint64 threadId, qint64 messageId);
    void onThreadRemoved(qint64 threadId);
    void reset(qint64 thread, const QList<HistoryMessage> &messages, bool newestLoaded);
    void insertNewer(const QList<HistoryMessage> &newestFirst);

    HistoryMessageModel *q;
    QPointer<HistoryStore> store; // not owned
    qint64 threadId = -1;
    int pageSize = 50;
    bool olderEnd = true;  // no older message left to load
    bool newerEnd = true;  // the newest messages are loaded
    QVector<HistoryMessage> rows;
};

void HistoryMessageModelPrivate::reset(qint64 thread, const QList<HistoryMessage> &messages,
                                       bool newestLoaded)
{
    const bool changed = thread != threadId;
    q->beginResetModel();
    threadId = thread;
    rows = QVector<HistoryMessage>(messages.cbegin(), messages.cend());
    olderEnd = thread < 0;
    newerEnd = newestLoaded;
    q->endResetModel();
    if (changed)
        Q_EMIT q->threadIdChanged();
    Q_EMIT q->countChanged();
}

void HistoryMessageModelPrivate::onMessageAdded(qint64 thread, qint64 messageId)
{
    if (thread != threadId || !store || q->rowOf(messageId) >= 0)
        return;
    const HistoryMessage message = store->message(messageId);
    if (message.id() < 0)
        return;
    int place = 0;
    for (int hi = rows.size(); place < hi;) {
        const int mid = (place + hi) / 2;
        if (before(rows.at(mid), message))
            place = mid + 1;
        else
            hi = mid;
    }
    // Newer than the loaded rows while newer ones are not loaded, or older
    // while older ones remain: a later fetch brings it.
    if ((place == 0 && !newerEnd && !rows.isEmpty()) || (place == rows.size() && !olderEnd))
        return;
    q->beginInsertRows(QModelIndex(), place, place);
    rows.insert(place, message);
    q->endInsertRows();
    Q_EMIT q->countChanged();
}

void HistoryMessageModelPrivate::onMessageChanged(qint64 thread, qint64 messageId)
{
    if (thread != threadId || !store)
        return;
    const int row = q->rowOf(messageId);
    if (row < 0)
        return;
    const HistoryMessage message = store->message(messageId);
    if (message.id() < 0) {
        onMessageRemoved(thread, messageId);
        return;
    }
    rows[row] = message;
    const QModelIndex index = q->index(row);
    Q_EMIT q->dataChanged(index, index);
}

void HistoryMessageModelPrivate::onMessageRemoved(qint64 thread, qint64 messageId)
{
    if (thread != threadId)
        return;
    const int row = q->rowOf(messageId);
    if (row < 0)
        return;
    q->beginRemoveRows(QModelIndex(), row, row);
    rows.remove(row);
    q->endRemoveRows();
    Q_EMIT q->countChanged();
}

void HistoryMessageModelPrivate::onThreadRemoved(qint64 thread)
{
    if (thread != threadId)
        return;
    olderEnd = newerEnd = true;
    if (rows.isEmpty())
        return;
    q->beginRemoveRows(QModelIndex(), 0, rows.size() - 1);
    rows.clear();
    q->endRemoveRows();
    Q_EMIT q->countChanged();
}

HistoryMessageModel::HistoryMessageModel(HistoryStore *store, QObject *parent)
    : QAbstractListModel(parent)
    , d_ptr(new HistoryMessageModelPrivate)
{
    Q_D(HistoryMessageModel);
    d->q = this;
    d->store = store ? store : HistoryStore::instance();
    HistoryStore *s = d->store.data();
    connect(s, &HistoryStore::messageAdded, this,
            [d](qint64 t, qint64 m) { d->onMessageAdded(t, m); });
    connect(s, &HistoryStore::messageChanged, this,
            [d](qint64 t, qint64 m) { d->onMessageChanged(t, m); });
    connect(s, &HistoryStore::messageRemoved, this,
            [d](qint64 t, qint64 m) { d->onMessageRemoved(t, m); });
    connect(s, &HistoryStore::threadRemoved, this, [d](qint64 t) { d->onThreadRemoved(t); });
}

HistoryMessageModel::~HistoryMessageModel() = default;

qint64 HistoryMessageModel::threadId() const { return d_func()->threadId; }
int HistoryMessageModel::pageSize() const { return d_func()->pageSize; }
void HistoryMessageModel::setPageSize(int rows) { d_func()->pageSize = qMax(1, rows); }

void HistoryMessageModel::setThreadId(qint64 threadId)
{
    Q_D(HistoryMessageModel);
    if (threadId == d->threadId && d->newerEnd)
        return;
    d->reset(threadId, {}, true);
    fetchMore();
}

bool HistoryMessageModel::showAround(qint64 messageId)
{
    Q_D(HistoryMessageModel);
    if (!d->store)
        return false;
    const int side = qMax(1, d->pageSize / 2);
    const QList<HistoryMessage> around = d->store->messagesAround(messageId, side);
    if (around.isEmpty())
        return false;
    const HistoryMessage hit = d->store->message(messageId);
    int hitRow = 0;
    while (hitRow < around.size() && around.at(hitRow).id() != messageId)
        ++hitRow;
    // Fewer than asked on a side: that side is complete.
    d->reset(hit.threadId(), around, hitRow < side);
    d->olderEnd = around.size() - hitRow - 1 < side;
    return true;
}

HistoryMessage HistoryMessageModel::messageAt(int row) const
{
    Q_D(const HistoryMessageModel);
    return row >= 0 && row < d->rows.size() ? d->rows.at(row) : HistoryMessage();
}

int HistoryMessageModel::rowOf(qint64 messageId) const
{
    Q_D(const HistoryMessageModel);
    for (int i = 0; i < d->rows.size(); ++i) {
        if (d->rows.at(i).id() == messageId)
            return i;
    }
    return -1;
}

bool HistoryMessageModel::canFetchNewer() const
{
    Q_D(const HistoryMessageModel);
    return !d->newerEnd && d->store;
}

void HistoryMessageModel::fetchNewer()
{
    Q_D(HistoryMessageModel);
    if (!canFetchNewer())
        return;
    if (d->rows.isEmpty()) {
        d->newerEnd = true;
        fetchMore();
        return;
    }
    QList<HistoryMessage> page = d->store->newerMessages(d->threadId, d->rows.constFirst(), d->pageSize + 1);
    d->newerEnd = page.size() <= d->pageSize;
    if (!d->newerEnd)
        page.removeLast();
    if (page.isEmpty())
        return;
    // Oldest first from the store; row 0 is the newest.
    beginInsertRows(QModelIndex(), 0, page.size() - 1);
    for (const HistoryMessage &m : qAsConst(page))
        d->rows.prepend(m);
    endInsertRows();
    Q_EMIT countChanged();
}

int HistoryMessageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d_func()->rows.size();
}

QVariant HistoryMessageModel::data(const QModelIndex &index, int role) const
{
    Q_D(const HistoryMessageModel);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HistoryMessage &m = d->rows.at(index.row());
    switch (role) {
    case MessageIdRole: return m.id();
    case ThreadIdRole: return m.threadId();
    case IncomingRole: return m.isIncoming();
    case SenderIdRole: return m.senderId();
    case Qt::DisplayRole:
    case TextRole: return m.text();
    case SentTimeRole: return m.sentTime();
    case ReceivedTimeRole: return m.receivedTime();
    case StateRole: return int(m.state());
    case StatusCodeRole: return m.statusCode();
    case ErrorNameRole: return m.errorName();
    case ReadRole: return m.isRead();
    case PartsRole: {
        QVariantList parts;
        const QList<HistoryMessage::Part> list = m.parts();
        for (const HistoryMessage::Part &p : list) {
            parts.append(QVariantMap{{QStringLiteral("mimeType"), p.mimeType},
                                     {QStringLiteral("size"), p.size},
                                     {QStringLiteral("body"), p.body}});
        }
        return parts;
    }
    default: return QVariant();
    }
}

QHash<int, QByteArray> HistoryMessageModel::roleNames() const
{
    return {{MessageIdRole, "messageId"},     {ThreadIdRole, "threadId"},
            {IncomingRole, "incoming"},       {SenderIdRole, "senderId"},
            {TextRole, "text"},               {SentTimeRole, "sentTime"},
            {ReceivedTimeRole, "receivedTime"}, {StateRole, "state"},
            {StatusCodeRole, "statusCode"},   {ErrorNameRole, "errorName"},
            {ReadRole, "read"},               {PartsRole, "parts"}};
}

bool HistoryMessageModel::canFetchMore(const QModelIndex &parent) const
{
    Q_D(const HistoryMessageModel);
    return !parent.isValid() && !d->olderEnd && d->store && d->store->isOpen();
}

void HistoryMessageModel::fetchMore(const QModelIndex &parent)
{
    Q_D(HistoryMessageModel);
    if (!canFetchMore(parent))
        return;
    const HistoryMessage before = d->rows.isEmpty() ? HistoryMessage() : d->rows.constLast();
    QList<HistoryMessage> page = d->store->messages(d->threadId, d->pageSize + 1, before);
    d->olderEnd = page.size() <= d->pageSize;
    if (!d->olderEnd)
        page.removeLast();
    if (page.isEmpty())
        return;
    beginInsertRows(QModelIndex(), d->rows.size(), d->rows.size() + page.size() - 1);
    for (const HistoryMessage &m : qAsConst(page))
        d->rows.append(m);
    endInsertRows();
    Q_EMIT countChanged();
}
