// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_MESSAGEMODEL_H
#define MESSAGING_QML_MESSAGEMODEL_H

#include <messaging0/historymessage.h>

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

// The messages of one conversation, oldest first: one row per message sent
// or received, with the delivery state of the ones sent. With a history
// store the conversation's newest stored messages come first
// (prependHistory) and older ones are fetched a page at a time at the top
// (fetchOlder; not fetchMore, which views call at their bottom end); new messages are appended, and a row changes its state and
// failure reason in place. A row sent in this run is matched to its stored
// message by the message id, which the store keeps as the message's token.
class QmlMessageModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Older stored messages are left; fetchOlder() loads the next 50.
    Q_PROPERTY(bool canFetchOlder READ hasOlder NOTIFY hasOlderChanged)
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
    // Stored messages, newest first (as HistoryStore pages them), placed
    // above the rows there are. Messages already shown are skipped.
    void prependHistory(const QList<HistoryMessage> &newestFirst);
    // A message stored after the rows were loaded: a row sent in this run
    // takes its store id, any other message is appended. Returns its row.
    int addStored(const HistoryMessage &message);
    // A stored message's state changed.
    void updateStored(const HistoryMessage &message);
    // The oldest stored message shown, the key of the next older page.
    HistoryMessage oldestStored() const { return m_oldestStored; }
    // Set by the conversation: whether older messages are left to fetch.
    void setHasOlder(bool hasOlder);
    // The next 50 older stored messages, above the rows.
    Q_INVOKABLE void fetchOlder();
    bool hasOlder() const { return m_hasOlder; }
    // Empties the model (another conversation).
    void clear();

    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Changes a sent message's state; unknown ids are ignored. A message
    // already delivered or failed for good keeps that state.
    void setState(const QString &messageId, State state, const QString &failureReason = QString());
    // A failed message sent again: its row takes the new id and is Sending
    // once more. False when the row is unknown or not failed.
    bool restart(const QString &messageId, const QString &newMessageId);
    QString textOf(const QString &messageId) const;
    // The stored message of a row; -1 when not stored (yet).
    qint64 storeIdOf(const QString &messageId) const;

Q_SIGNALS:
    void countChanged();
    // fetchMore() asks the conversation for the next older page.
    void olderWanted();
    void hasOlderChanged();

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
        qint64 storeId = -1;
        bool live = false; // sent in this run: its sender reports its state
    };
    void append(Row &&row);
    static Row rowOf(const HistoryMessage &message);
    void reindex();

    QVector<Row> m_rows;
    QHash<QString, int> m_rowOfId;
    QHash<qint64, int> m_rowOfStoreId;
    HistoryMessage m_oldestStored;
    bool m_hasOlder = false;
};

#endif // MESSAGING_QML_MESSAGEMODEL_H
