// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_MESSAGEMODEL_H
#define MESSAGING_QML_MESSAGEMODEL_H

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

// The messages of one conversation in this run, oldest first: one row per
// message sent or received, with the delivery state of the ones sent.
// Rows are only appended; a sent message's row changes its state and
// failure reason in place.
class QmlMessageModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum State {
        Sending,   // handed to the library, no answer yet
        Sent,      // the connection manager has taken it
        Delivered, // the recipient's side reported it delivered
        Failed,    // it did not leave; failureReason says why
        Retrying   // it failed for a passing reason and is tried again
    };
    Q_ENUM(State)

    enum Role {
        MessageIdRole = Qt::UserRole + 1,
        IncomingRole,
        SenderRole,
        TextRole,
        TimestampRole,
        StateRole,
        FailureReasonRole,
        DayRole // the local date as yyyy-MM-dd
    };

    explicit QmlMessageModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_rows.size(); }
    // The row of a message sent in this run; -1 when unknown.
    Q_INVOKABLE int rowOf(const QString &messageId) const;
    // Every role of one row by name, for QML code outside a delegate.
    Q_INVOKABLE QVariantMap get(int row) const;

    void appendOutgoing(const QString &messageId, const QString &text);
    void appendIncoming(const QString &sender, const QString &text, const QDateTime &timestamp);
    // Changes a sent message's state; unknown ids are ignored. A message
    // already delivered or failed for good keeps that state.
    void setState(const QString &messageId, State state, const QString &failureReason = QString());
    // A failed message sent again: its row takes the new id and is Sending
    // once more. False when the row is unknown or not failed.
    bool restart(const QString &messageId, const QString &newMessageId);
    QString textOf(const QString &messageId) const;

Q_SIGNALS:
    void countChanged();

private:
    struct Row
    {
        QString messageId;
        bool incoming = false;
        QString sender;
        QString text;
        QDateTime timestamp;
        State state = Sent;
        QString failureReason;
    };
    void append(Row &&row);

    QVector<Row> m_rows;
    QHash<QString, int> m_rowOfId;
};

#endif // MESSAGING_QML_MESSAGEMODEL_H
