// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "threadmodel.h"

#include <messaging0/historystore.h>
#include <messaging0/titleresolver.h>

#include <QTimer>

namespace {
constexpr int Page = 50;
// Threads with unread messages are few: counted from the store in pages.
constexpr int UnreadPage = 1000;

// The store's order: newest last message first, then the higher id.
bool before(const HistoryThread &a, const HistoryThread &b)
{
    const qint64 ta = a.lastTime().isValid() ? a.lastTime().toMSecsSinceEpoch() : 0;
    const qint64 tb = b.lastTime().isValid() ? b.lastTime().toMSecsSinceEpoch() : 0;
    return ta != tb ? ta > tb : a.id() > b.id();
}
} // namespace

QmlThreadModel::QmlThreadModel(QObject *parent)
    : QAbstractListModel(parent), m_titles(new TitleResolver(this))
{
    connect(m_titles, &TitleResolver::titleChanged, this,
            [this](const QString &accountPath, const QString &remoteId) {
                for (int i = 0; i < m_rows.size(); ++i) {
                    const HistoryThread &t = m_rows.at(i);
                    if (!t.isGroupChat() && t.accountPath() == accountPath && t.remoteIds().value(0) == remoteId)
                        Q_EMIT dataChanged(index(i), index(i), {TitleRole});
                }
            });
}

QmlThreadModel::QmlThreadModel(HistoryStore *store, QObject *parent)
    : QmlThreadModel(parent)
{
    m_store = store;
    connectStore();
    reload();
}

QmlThreadModel::~QmlThreadModel() = default;

void QmlThreadModel::classBegin()
{
    m_complete = false;
}

void QmlThreadModel::componentComplete()
{
    m_complete = true;
    if (!m_store) {
        m_store = HistoryStore::instance();
        connectStore();
    }
    reload();
}

void QmlThreadModel::connectStore()
{
    connect(m_store, &HistoryStore::threadChanged, this, &QmlThreadModel::threadChanged);
    connect(m_store, &HistoryStore::threadRemoved, this, &QmlThreadModel::threadRemoved);
}

void QmlThreadModel::reload()
{
    if (!m_complete || !m_store)
        return;
    beginResetModel();
    m_rows.clear();
    m_rowOfId.clear();
    m_exhausted = !m_store->isOpen();
    endResetModel();
    fetchMore(QModelIndex());
    countUnread();
    Q_EMIT countChanged();
}

bool QmlThreadModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_exhausted;
}

void QmlThreadModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    HistoryStore::ThreadFilter filter;
    filter.accountPath = m_accountPath;
    filter.unreadOnly = m_unreadOnly;
    filter.text = m_filterText;
    const QList<HistoryThread> page =
        m_store->threads(filter, Page, m_rows.isEmpty() ? HistoryThread() : m_rows.last());
    m_exhausted = page.size() < Page;
    QVector<HistoryThread> fresh;
    for (const HistoryThread &thread : page) {
        // A thread that moved into the loaded range meanwhile is there already.
        if (!m_rowOfId.contains(thread.id()))
            fresh.append(thread);
    }
    if (fresh.isEmpty())
        return;
    const int first = m_rows.size();
    beginInsertRows(QModelIndex(), first, first + fresh.size() - 1);
    m_rows += fresh;
    reindex(first, m_rows.size() - 1);
    endInsertRows();
    Q_EMIT countChanged();
}

bool QmlThreadModel::passes(const HistoryThread &thread) const
{
    if (!thread.isValid())
        return false;
    if (m_unreadOnly && thread.unreadCount() == 0)
        return false;
    if (m_accountPath.isEmpty() || thread.accountPath() == m_accountPath)
        return true;
    // The SMS and MMS accounts share their threads, as the store keys them.
    const auto cellular = [](const QString &path) {
        return ChatContext(QStringLiteral("x"), path, OneToOneChat).isCellular();
    };
    return cellular(thread.accountPath()) && cellular(m_accountPath);
}

int QmlThreadModel::placeOf(const HistoryThread &thread, int ignoring) const
{
    int place = 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (i != ignoring && before(m_rows.at(i), thread))
            ++place;
    }
    return place;
}

void QmlThreadModel::reindex(int from, int to)
{
    for (int i = qMax(0, from); i <= to && i < m_rows.size(); ++i)
        m_rowOfId.insert(m_rows.at(i).id(), i);
}

void QmlThreadModel::threadChanged(qint64 threadId)
{
    scheduleUnreadCount();
    const HistoryThread thread = m_store->thread(threadId);
    const int row = m_rowOfId.value(threadId, -1);
    const bool keep = passes(thread);
    if (row < 0) {
        // The text filter is the store's: a thread not listed stays out
        // until the list is read again.
        if (!keep || !m_filterText.isEmpty())
            return;
        const int place = placeOf(thread, -1);
        // Beyond the loaded rows it comes with a later page.
        if (place == m_rows.size() && !m_exhausted)
            return;
        beginInsertRows(QModelIndex(), place, place);
        m_rows.insert(place, thread);
        reindex(place, m_rows.size() - 1);
        endInsertRows();
        Q_EMIT countChanged();
        return;
    }
    if (!keep) {
        threadRemoved(threadId);
        return;
    }
    const int place = placeOf(thread, row);
    if (place != row) {
        // beginMoveRows counts the destination before the move.
        beginMoveRows(QModelIndex(), row, row, QModelIndex(), place > row ? place + 1 : place);
        m_rows.move(row, place);
        reindex(qMin(row, place), qMax(row, place));
        endMoveRows();
    }
    m_rows[place] = thread;
    Q_EMIT dataChanged(index(place), index(place));
}

void QmlThreadModel::threadRemoved(qint64 threadId)
{
    scheduleUnreadCount();
    const int row = m_rowOfId.value(threadId, -1);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.remove(row);
    m_rowOfId.remove(threadId);
    reindex(row, m_rows.size() - 1);
    endRemoveRows();
    Q_EMIT countChanged();
}

int QmlThreadModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant QmlThreadModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HistoryThread &t = m_rows.at(index.row());
    switch (role) {
    case ThreadIdRole: return t.id();
    case AccountPathRole: return t.accountPath();
    case RemoteIdsRole: return t.remoteIds();
    case Qt::DisplayRole:
    case TitleRole:
        return t.isGroupChat() ? t.remoteIds().value(0)
                               : m_titles->title(t.accountPath(), t.remoteIds().value(0));
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

QHash<int, QByteArray> QmlThreadModel::roleNames() const
{
    return {{ThreadIdRole, "threadId"},     {AccountPathRole, "accountPath"},
            {RemoteIdsRole, "remoteIds"},   {TitleRole, "title"},
            {LastTextRole, "lastText"},     {LastTimeRole, "lastTime"},
            {LastIncomingRole, "lastIncoming"}, {LastStateRole, "lastState"},
            {UnreadCountRole, "unreadCount"}, {DraftRole, "draft"},
            {GroupChatRole, "groupChat"}};
}

void QmlThreadModel::setAccountPath(const QString &accountPath)
{
    if (accountPath == m_accountPath)
        return;
    m_accountPath = accountPath;
    Q_EMIT accountPathChanged();
    reload();
}

void QmlThreadModel::setUnreadOnly(bool unreadOnly)
{
    if (unreadOnly == m_unreadOnly)
        return;
    m_unreadOnly = unreadOnly;
    Q_EMIT unreadOnlyChanged();
    reload();
}

void QmlThreadModel::setFilterText(const QString &filterText)
{
    if (filterText == m_filterText)
        return;
    m_filterText = filterText;
    Q_EMIT filterTextChanged();
    reload();
}

void QmlThreadModel::scheduleUnreadCount()
{
    if (m_unreadCountScheduled)
        return;
    m_unreadCountScheduled = true;
    // A burst of changes is counted once.
    QTimer::singleShot(0, this, [this] {
        m_unreadCountScheduled = false;
        countUnread();
    });
}

void QmlThreadModel::countUnread()
{
    int total = 0;
    if (m_store && m_store->isOpen()) {
        HistoryStore::ThreadFilter filter;
        filter.accountPath = m_accountPath;
        filter.unreadOnly = true;
        HistoryThread after;
        for (;;) {
            const QList<HistoryThread> page = m_store->threads(filter, UnreadPage, after);
            for (const HistoryThread &thread : page)
                total += thread.unreadCount();
            if (page.size() < UnreadPage)
                break;
            after = page.last();
        }
    }
    if (total == m_totalUnread)
        return;
    m_totalUnread = total;
    Q_EMIT totalUnreadCountChanged();
}

bool QmlThreadModel::markRead(qint64 threadId)
{
    return m_store && m_store->markRead(threadId);
}

bool QmlThreadModel::remove(qint64 threadId)
{
    return m_store && m_store->removeThread(threadId);
}

QVariantMap QmlThreadModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= m_rows.size())
        return values;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}
