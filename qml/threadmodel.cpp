// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "threadmodel.h"

#include <messaging0/historystore.h>
#include <messaging0/titleresolver.h>

#include <QTimer>

namespace {
// Threads with unread messages are few: counted from the store in pages.
constexpr int UnreadPage = 1000;
} // namespace

// From QML: the filters come after construction, the first page with
// componentComplete().
QmlThreadModel::QmlThreadModel(QObject *parent)
    : QmlThreadModel(HistoryStore::instance(), LoadLater, parent)
{
}

QmlThreadModel::QmlThreadModel(HistoryStore *store, QObject *parent)
    : QmlThreadModel(store, LoadAtOnce, parent)
{
}

QmlThreadModel::QmlThreadModel(HistoryStore *store, Loading loading, QObject *parent)
    : HistoryThreadModel(store, loading, parent)
    , m_store(store ? store : HistoryStore::instance())
    , m_titles(new TitleResolver(this))
{
    connect(m_titles, &TitleResolver::titleChanged, this,
            [this](const QString &accountPath, const QString &remoteId) {
                for (int i = 0; i < rowCount(); ++i) {
                    const HistoryThread thread = threadAt(i);
                    if (!thread.isGroupChat() && thread.accountPath() == accountPath
                        && thread.remoteIds().value(0) == remoteId)
                        Q_EMIT dataChanged(index(i), index(i), {TitleRole});
                }
            });
    connect(m_store, &HistoryStore::threadChanged, this, &QmlThreadModel::scheduleUnreadCount);
    connect(m_store, &HistoryStore::threadRemoved, this, &QmlThreadModel::scheduleUnreadCount);
    connect(this, &HistoryThreadModel::filterChanged, this, &QmlThreadModel::countUnread);
    // Counted over every unread thread of the store: after the first rows
    // are shown, on the next turn of the event loop.
    scheduleUnreadCount();
}

QmlThreadModel::~QmlThreadModel() = default;

void QmlThreadModel::classBegin()
{
}

void QmlThreadModel::componentComplete()
{
    startLoading();
}

QVariant QmlThreadModel::data(const QModelIndex &index, int role) const
{
    if (role != TitleRole && role != Qt::DisplayRole)
        return HistoryThreadModel::data(index, role);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HistoryThread thread = threadAt(index.row());
    if (thread.isGroupChat())
        return thread.title();
    return m_titles->title(thread.accountPath(), thread.remoteIds().value(0));
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
    if (m_store->isOpen()) {
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
    return m_store->markRead(threadId);
}

bool QmlThreadModel::remove(qint64 threadId)
{
    return m_store->removeThread(threadId);
}

QVariantMap QmlThreadModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= rowCount())
        return values;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}
