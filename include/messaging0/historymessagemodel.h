// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYMESSAGEMODEL_H
#define MESSAGING0_HISTORYMESSAGEMODEL_H

#include "historymessage.h"
#include "messaging0global.h"

#include <QAbstractListModel>
#include <QScopedPointer>

class HistoryStore;
class HistoryMessageModelPrivate;

//! The messages of one thread of the history, newest first (row 0), loaded
//! a page at a time: fetchMore() loads older messages.
//!
//! Follows the store row by row: a new message is inserted at its place, a
//! changed one (state, read flag) changes in place, a removed one is removed;
//! the model is reset only when the thread is set. showAround() loads the
//! rows around one message (a search hit); fetchNewer() then loads the newer
//! ones, and new messages are inserted once the newest rows are loaded.
class MESSAGING0_EXPORT HistoryMessageModel : public QAbstractListModel
{
    Q_OBJECT
    Q_DECLARE_PRIVATE(HistoryMessageModel)
    //! The thread shown; -1 for none.
    Q_PROPERTY(qint64 threadId READ threadId WRITE setThreadId NOTIFY threadIdChanged)
    //! Rows loaded per fetchMore() (50 by default).
    Q_PROPERTY(int pageSize READ pageSize WRITE setPageSize)
    //! The number of loaded rows.
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    //! The roles, named in camelCase for QML as their role names say.
    enum Role {
        MessageIdRole = Qt::UserRole + 1, //!< "messageId"
        ThreadIdRole,     //!< "threadId"
        IncomingRole,     //!< "incoming"
        SenderIdRole,     //!< "senderId"
        TextRole,         //!< "text"
        SentTimeRole,     //!< "sentTime": a QDateTime, invalid when unknown
        ReceivedTimeRole, //!< "receivedTime": a QDateTime, invalid when unknown
        StateRole,        //!< "state": a HistoryMessage::State
        StatusCodeRole,   //!< "statusCode"
        ErrorNameRole,    //!< "errorName"
        ReadRole,         //!< "read"
        PartsRole         //!< "parts": a list of maps with mimeType, size and body
    };
    Q_ENUM(Role)

    //! A model on store (HistoryStore::instance() when null), empty until a
    //! thread is set.
    explicit HistoryMessageModel(HistoryStore *store = nullptr, QObject *parent = nullptr);
    ~HistoryMessageModel() override;

    //! The thread shown; -1 for none.
    qint64 threadId() const;
    //! Shows the newest messages of the thread; resets the model.
    void setThreadId(qint64 threadId);
    //! Shows the message's thread from the rows around the message (a search
    //! hit); resets the model. False when there is no such message.
    Q_INVOKABLE bool showAround(qint64 messageId);
    //! Rows per page.
    int pageSize() const;
    //! Sets the rows per page (at least 1).
    void setPageSize(int rows);

    //! The message of a row; an empty message outside the loaded rows.
    HistoryMessage messageAt(int row) const;
    //! The row of the message; -1 when it is not loaded.
    Q_INVOKABLE int rowOf(qint64 messageId) const;
    //! Whether newer messages than the loaded ones remain (after showAround()).
    Q_INVOKABLE bool canFetchNewer() const;
    //! Loads a page of newer messages (after showAround()).
    Q_INVOKABLE void fetchNewer();

    //! The loaded rows.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    //! A role of a loaded row.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    //! The camelCase names of the roles.
    QHash<int, QByteArray> roleNames() const override;
    //! Whether older messages remain to be loaded.
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    //! Loads a page of older messages.
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

Q_SIGNALS:
    //! Another thread is shown.
    void threadIdChanged();
    //! The number of loaded rows changed.
    void countChanged();

private:
    QScopedPointer<HistoryMessageModelPrivate> d_ptr;
};

#endif // MESSAGING0_HISTORYMESSAGEMODEL_H
