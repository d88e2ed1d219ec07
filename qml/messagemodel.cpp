// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagemodel.h"

QmlMessageModel::QmlMessageModel(QObject *parent) : QAbstractListModel(parent) {}

int QmlMessageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant QmlMessageModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case MessageIdRole: return row.messageId;
    case IncomingRole: return row.incoming;
    case SenderRole: return row.sender;
    case Qt::DisplayRole:
    case TextRole: return row.text;
    case TimestampRole: return row.timestamp;
    case StateRole: return int(row.state);
    case FailureReasonRole: return row.failureReason;
    // Local day, for the view's date separators (sections compare strings).
    case DayRole: return row.timestamp.toLocalTime().date().toString(Qt::ISODate);
    default: return QVariant();
    }
}

QHash<int, QByteArray> QmlMessageModel::roleNames() const
{
    return {
        {MessageIdRole, "messageId"},
        {IncomingRole, "incoming"},
        {SenderRole, "sender"},
        {TextRole, "text"},
        {TimestampRole, "timestamp"},
        {StateRole, "state"},
        {FailureReasonRole, "failureReason"},
        {DayRole, "day"},
    };
}

int QmlMessageModel::rowOf(const QString &messageId) const
{
    return m_rowOfId.value(messageId, -1);
}

QVariantMap QmlMessageModel::get(int row) const
{
    QVariantMap values;
    if (row < 0 || row >= m_rows.size())
        return values;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(index(row), it.key()));
    return values;
}

void QmlMessageModel::append(Row &&row)
{
    const int at = m_rows.size();
    beginInsertRows(QModelIndex(), at, at);
    if (!row.messageId.isEmpty())
        m_rowOfId.insert(row.messageId, at);
    if (row.storeId >= 0)
        m_rowOfStoreId.insert(row.storeId, at);
    m_rows.append(std::move(row));
    endInsertRows();
    Q_EMIT countChanged();
}

void QmlMessageModel::appendOutgoing(const QString &messageId, const QString &text)
{
    Row row;
    row.messageId = messageId;
    row.text = text;
    // UTC: a tenth of the cost of local time, and QML shows it in local time.
    row.timestamp = QDateTime::currentDateTimeUtc();
    row.state = Sending;
    row.live = true;
    append(std::move(row));
}

void QmlMessageModel::appendIncoming(const QString &sender, const QString &text, const QDateTime &timestamp)
{
    Row row;
    row.incoming = true;
    row.sender = sender;
    row.text = text;
    row.timestamp = timestamp.isValid() ? timestamp : QDateTime::currentDateTimeUtc();
    row.state = Delivered;
    append(std::move(row));
}

void QmlMessageModel::setState(const QString &messageId, State state, const QString &failureReason)
{
    const int at = rowOf(messageId);
    if (at < 0)
        return;
    Row &row = m_rows[at];
    // A delivery report may come before the late answer to the send, and a
    // final failure is final.
    if (row.state == Delivered && state == Sent)
        return;
    if (row.state == Failed && state != Failed)
        return;
    if (row.state == state && row.failureReason == failureReason)
        return;
    row.state = state;
    row.failureReason = state == Failed || state == Retrying ? failureReason : QString();
    const QModelIndex changed = index(at);
    Q_EMIT dataChanged(changed, changed, {StateRole, FailureReasonRole});
}

bool QmlMessageModel::restart(const QString &messageId, const QString &newMessageId)
{
    const int at = rowOf(messageId);
    if (at < 0 || m_rows.at(at).state != Failed || m_rowOfId.contains(newMessageId))
        return false;
    Row &row = m_rows[at];
    m_rowOfId.remove(messageId);
    m_rowOfId.insert(newMessageId, at);
    // The new attempt is stored as a message of its own.
    m_rowOfStoreId.remove(row.storeId);
    row.storeId = -1;
    row.messageId = newMessageId;
    row.state = Sending;
    row.live = true;
    row.failureReason.clear();
    row.timestamp = QDateTime::currentDateTimeUtc();
    const QModelIndex changed = index(at);
    Q_EMIT dataChanged(changed, changed, {MessageIdRole, StateRole, FailureReasonRole, TimestampRole, DayRole});
    return true;
}

QString QmlMessageModel::textOf(const QString &messageId) const
{
    const int at = rowOf(messageId);
    return at < 0 ? QString() : m_rows.at(at).text;
}

QmlMessageModel::Row QmlMessageModel::rowOf(const HistoryMessage &message)
{
    Row row;
    row.storeId = message.id();
    // Outgoing messages keep the library's message id as their token.
    row.messageId = message.token().isEmpty() ? QString::number(message.id()) : message.token();
    row.incoming = message.isIncoming();
    row.sender = message.senderId();
    row.text = message.text();
    row.timestamp = message.time();
    switch (message.state()) {
    case HistoryMessage::Received:
    case HistoryMessage::Delivered: row.state = Delivered; break;
    case HistoryMessage::Sending: row.state = Sending; break;
    case HistoryMessage::Sent: row.state = Sent; break;
    case HistoryMessage::Failed: row.state = Failed; break;
    case HistoryMessage::Retrying: row.state = Retrying; break;
    }
    if (row.state == Failed || row.state == Retrying)
        row.failureReason = message.errorName();
    return row;
}

void QmlMessageModel::reindex()
{
    m_rowOfId.clear();
    m_rowOfStoreId.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_rows.at(i).messageId.isEmpty())
            m_rowOfId.insert(m_rows.at(i).messageId, i);
        if (m_rows.at(i).storeId >= 0)
            m_rowOfStoreId.insert(m_rows.at(i).storeId, i);
    }
}

void QmlMessageModel::prependHistory(const QList<HistoryMessage> &newestFirst)
{
    QVector<Row> rows;
    rows.reserve(newestFirst.size());
    for (auto it = newestFirst.crbegin(); it != newestFirst.crend(); ++it) {
        if (m_rowOfStoreId.contains(it->id()) || m_rowOfId.contains(it->token()))
            continue;
        rows.append(rowOf(*it));
    }
    if (!newestFirst.isEmpty())
        m_oldestStored = newestFirst.last();
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), 0, rows.size() - 1);
    rows.append(m_rows);
    m_rows = std::move(rows);
    reindex();
    endInsertRows();
    Q_EMIT countChanged();
}

int QmlMessageModel::addStored(const HistoryMessage &message)
{
    const int known = m_rowOfStoreId.value(message.id(), -1);
    if (known >= 0)
        return known;
    const int sent = message.token().isEmpty() ? -1 : m_rowOfId.value(message.token(), -1);
    if (sent >= 0 && m_rows.at(sent).storeId < 0 && !message.isIncoming()) {
        m_rows[sent].storeId = message.id();
        m_rowOfStoreId.insert(message.id(), sent);
        return sent;
    }
    // An incoming message the conversation showed as it arrived, before
    // the store told of it: the newest such row with the same text.
    if (message.isIncoming()) {
        for (int i = m_rows.size() - 1; i >= 0; --i) {
            Row &row = m_rows[i];
            if (row.incoming && row.storeId < 0 && row.text == message.text()) {
                row.storeId = message.id();
                m_rowOfStoreId.insert(message.id(), i);
                return i;
            }
        }
    }
    if (m_oldestStored.id() < 0)
        m_oldestStored = message;
    append(rowOf(message));
    return m_rows.size() - 1;
}

void QmlMessageModel::updateStored(const HistoryMessage &message)
{
    const int at = m_rowOfStoreId.value(message.id(), -1);
    if (at < 0)
        return;
    // A message sent in this run follows its sender's answers (they may be
    // ahead of the store, or a retry after a stored failure); the store
    // tells the fate of the others.
    if (m_rows.at(at).live)
        return;
    const Row stored = rowOf(message);
    if (stored.state == Sending)
        return;
    setState(m_rows.at(at).messageId, stored.state,
             stored.failureReason.isEmpty() ? m_rows.at(at).failureReason : stored.failureReason);
}

void QmlMessageModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfId.clear();
    m_rowOfStoreId.clear();
    m_oldestStored = HistoryMessage();
    endResetModel();
    setHasOlder(false);
    Q_EMIT countChanged();
}

// Views ask for more at their end, which for a chat is the newest: older
// messages come only when asked for by fetchOlder() (scrolled to the top).
bool QmlMessageModel::canFetchMore(const QModelIndex &) const
{
    return false;
}

void QmlMessageModel::fetchMore(const QModelIndex &)
{
}

void QmlMessageModel::fetchOlder()
{
    if (m_hasOlder)
        Q_EMIT olderWanted();
}

qint64 QmlMessageModel::storeIdOf(const QString &messageId) const
{
    const int at = rowOf(messageId);
    return at < 0 ? -1 : m_rows.at(at).storeId;
}

void QmlMessageModel::setHasOlder(bool hasOlder)
{
    if (hasOlder == m_hasOlder)
        return;
    m_hasOlder = hasOlder;
    Q_EMIT hasOlderChanged();
}
