// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "searchmodel.h"

#include <messaging0/historystore.h>
#include <messaging0/titleresolver.h>

namespace {
constexpr int Page = 50;
// Pages read at most per fetch when an account filter drops results.
constexpr int MaxPagesPerFetch = 10;
} // namespace

QmlSearchModel::QmlSearchModel(QObject *parent)
    : QAbstractListModel(parent), m_titles(new TitleResolver(this))
{
    connect(m_titles, &TitleResolver::titleChanged, this,
            [this](const QString &accountPath, const QString &remoteId) {
                for (int i = 0; i < m_rows.size(); ++i) {
                    if (m_rows.at(i).accountPath == accountPath && m_rows.at(i).remoteId == remoteId)
                        Q_EMIT dataChanged(index(i), index(i), {TitleRole});
                }
            });
}

void QmlSearchModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    Q_EMIT queryChanged();
    reload();
}

void QmlSearchModel::setThreadId(qint64 threadId)
{
    if (threadId == m_threadId)
        return;
    m_threadId = threadId;
    Q_EMIT threadIdChanged();
    reload();
}

void QmlSearchModel::setAccountPath(const QString &accountPath)
{
    if (accountPath == m_accountPath)
        return;
    m_accountPath = accountPath;
    Q_EMIT accountPathChanged();
    reload();
}

void QmlSearchModel::reload()
{
    // Before the reset: a view asks for more rows as soon as it ends.
    if (!m_store)
        m_store = HistoryStore::instance();
    beginResetModel();
    m_rows.clear();
    m_lastSeenId = -1;
    m_exhausted = m_query.trimmed().isEmpty();
    endResetModel();
    if (!m_exhausted && m_rows.isEmpty())
        appendPage();
    Q_EMIT countChanged();
}

void QmlSearchModel::appendPage()
{
    if (!m_store || !m_store->isOpen()) {
        m_exhausted = true;
        return;
    }
    QVector<Row> rows;
    // The store narrows by thread itself; an account is narrowed here, a
    // page at a time, until the page is full or the results end.
    QHash<qint64, HistoryThread> threads;
    for (int pages = 0; pages < MaxPagesPerFetch && rows.size() < Page && !m_exhausted; ++pages) {
        const QList<HistoryMessage> found = m_store->search(m_query, Page, m_lastSeenId, m_threadId);
        m_exhausted = found.size() < Page;
        for (const HistoryMessage &message : found) {
            m_lastSeenId = message.id();
            auto thread = threads.find(message.threadId());
            if (thread == threads.end())
                thread = threads.insert(message.threadId(), m_store->thread(message.threadId()));
            if (!m_accountPath.isEmpty() && thread->accountPath() != m_accountPath)
                continue;
            rows.append({message.threadId(), message.id(), thread->accountPath(),
                         thread->remoteIds().value(0), thread->isGroupChat(), thread->title(), message.snippet(),
                         message.time(), message.isIncoming()});
        }
    }
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size() + rows.size() - 1);
    m_rows += rows;
    endInsertRows();
    Q_EMIT countChanged();
}

QString QmlSearchModel::markedSnippet(const QString &snippet)
{
    QString marked = snippet.toHtmlEscaped();
    marked.replace(QLatin1Char('['), QLatin1String("<b>"));
    marked.replace(QLatin1Char(']'), QLatin1String("</b>"));
    return marked;
}

QString QmlSearchModel::titleOf(const Row &row) const
{
    if (row.room)
        return row.roomTitle;
    return m_titles->title(row.accountPath, row.remoteId);
}

int QmlSearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant QmlSearchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case ThreadIdRole: return row.threadId;
    case MessageIdRole: return row.messageId;
    case Qt::DisplayRole:
    case TitleRole: return titleOf(row);
    case SnippetRole: return markedSnippet(row.snippet);
    case TimeRole: return row.time;
    case IncomingRole: return row.incoming;
    case AccountPathRole: return row.accountPath;
    case RemoteIdRole: return row.remoteId;
    case GroupChatRole: return row.room;
    default: return QVariant();
    }
}

QHash<int, QByteArray> QmlSearchModel::roleNames() const
{
    return {{ThreadIdRole, "threadId"}, {MessageIdRole, "messageId"}, {TitleRole, "title"},
            {SnippetRole, "snippet"},   {TimeRole, "time"},           {IncomingRole, "incoming"},
            {AccountPathRole, "accountPath"}, {RemoteIdRole, "remoteId"}, {GroupChatRole, "groupChat"}};
}

bool QmlSearchModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_exhausted;
}

void QmlSearchModel::fetchMore(const QModelIndex &parent)
{
    if (canFetchMore(parent))
        appendPage();
}

QVariantMap QmlSearchModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= m_rows.size())
        return values;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}
