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
    row.messageId = newMessageId;
    row.state = Sending;
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
