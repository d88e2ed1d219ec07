// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "threadmodel.h"

#include <messaging0/historystore.h>
#include <messaging0/historythreadmodel.h>
#include <messaging0/titleresolver.h>

#include <QTimer>

namespace {
// Threads with unread messages are few: counted from the store in pages.
constexpr int UnreadPage = 1000;
} // namespace

QmlThreadModel::QmlThreadModel(QObject *parent)
    : QIdentityProxyModel(parent), m_titles(new TitleResolver(this))
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &QmlThreadModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &QmlThreadModel::countChanged);
    connect(this, &QAbstractItemModel::modelReset, this, &QmlThreadModel::countChanged);
    connect(m_titles, &TitleResolver::titleChanged, this,
            [this](const QString &accountPath, const QString &remoteId) {
                for (int i = 0; i < rowCount(); ++i) {
                    const QModelIndex at = index(i, 0);
                    if (!at.data(HistoryThreadModel::GroupChatRole).toBool()
                        && at.data(HistoryThreadModel::AccountPathRole).toString() == accountPath
                        && at.data(HistoryThreadModel::RemoteIdsRole).toStringList().value(0) == remoteId)
                        Q_EMIT dataChanged(at, at, {HistoryThreadModel::TitleRole});
                }
            });
}

QmlThreadModel::QmlThreadModel(HistoryStore *store, QObject *parent)
    : QmlThreadModel(parent)
{
    attach(store);
}

QmlThreadModel::~QmlThreadModel() = default;

void QmlThreadModel::classBegin()
{
}

void QmlThreadModel::componentComplete()
{
    if (!m_source)
        attach(HistoryStore::instance());
}

// The source reads its first page at once: made when the filters are known.
void QmlThreadModel::attach(HistoryStore *store)
{
    m_store = store;
    m_source = new HistoryThreadModel(store, this);
    if (!m_accountPath.isEmpty())
        m_source->setAccountPath(m_accountPath);
    if (m_unreadOnly)
        m_source->setUnreadOnly(true);
    if (!m_filterText.isEmpty())
        m_source->setFilterText(m_filterText);
    setSourceModel(m_source);
    connect(store, &HistoryStore::threadChanged, this, &QmlThreadModel::scheduleUnreadCount);
    connect(store, &HistoryStore::threadRemoved, this, &QmlThreadModel::scheduleUnreadCount);
    // Counted over every unread thread of the store: after the first rows
    // are shown, on the next turn of the event loop.
    scheduleUnreadCount();
    Q_EMIT countChanged();
}

QVariant QmlThreadModel::data(const QModelIndex &index, int role) const
{
    if (role != HistoryThreadModel::TitleRole && role != Qt::DisplayRole)
        return QIdentityProxyModel::data(index, role);
    if (index.data(HistoryThreadModel::GroupChatRole).toBool())
        return QIdentityProxyModel::data(index, HistoryThreadModel::TitleRole);
    const QString remoteId = index.data(HistoryThreadModel::RemoteIdsRole).toStringList().value(0);
    return m_titles->title(index.data(HistoryThreadModel::AccountPathRole).toString(), remoteId);
}

QString QmlThreadModel::accountPath() const
{
    return m_source ? m_source->accountPath() : m_accountPath;
}

void QmlThreadModel::setAccountPath(const QString &accountPath)
{
    if (accountPath == this->accountPath())
        return;
    m_accountPath = accountPath;
    if (m_source)
        m_source->setAccountPath(accountPath);
    Q_EMIT accountPathChanged();
    countUnread();
}

bool QmlThreadModel::unreadOnly() const
{
    return m_source ? m_source->unreadOnly() : m_unreadOnly;
}

void QmlThreadModel::setUnreadOnly(bool unreadOnly)
{
    if (unreadOnly == this->unreadOnly())
        return;
    m_unreadOnly = unreadOnly;
    if (m_source)
        m_source->setUnreadOnly(unreadOnly);
    Q_EMIT unreadOnlyChanged();
}

QString QmlThreadModel::filterText() const
{
    return m_source ? m_source->filterText() : m_filterText;
}

void QmlThreadModel::setFilterText(const QString &filterText)
{
    if (filterText == this->filterText())
        return;
    m_filterText = filterText;
    if (m_source)
        m_source->setFilterText(filterText);
    Q_EMIT filterTextChanged();
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
        filter.accountPath = accountPath();
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

int QmlThreadModel::rowOf(qint64 threadId) const
{
    return m_source ? m_source->rowOf(threadId) : -1;
}

QVariantMap QmlThreadModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= rowCount())
        return values;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row, 0), it.key()));
    return values;
}
