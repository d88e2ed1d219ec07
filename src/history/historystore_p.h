// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYSTORE_P_H
#define MESSAGING0_HISTORYSTORE_P_H

#include "historydata_p.h"
#include "historynotifier.h"
#include "historystore.h"
#include "historythreadkey.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QVector>

class HistoryStorePrivate
{
    Q_DECLARE_PUBLIC(HistoryStore)

public:
    explicit HistoryStorePrivate(HistoryStore *q);
    ~HistoryStorePrivate();

    void open();
    bool openConnection(QString *error);
    void closeConnection();
    void keepAside();

    // A statement prepared once per store object and reused.
    QSqlQuery &query(const char *sql);
    bool exec(QSqlQuery &q, const char *what);

    // Every change runs between begin() and commit(): one BEGIN IMMEDIATE
    // transaction, so that another process's change waits (busy timeout)
    // instead of being overwritten. commit() announces what was noted.
    bool begin();
    bool commit();
    void rollback();
    void note(HistoryNotifier::Kind kind, qint64 threadId, qint64 messageId = -1);
    void emitChanges(const QVector<HistoryNotifier::Change> &changes);

    qint64 findThread(const HistoryThreadKey &key);
    // In a transaction; the new thread's id, or -1.
    qint64 createThread(const HistoryThreadKey &key, const QString &remoteId);
    qint64 threadOfContext(const ChatContext &context) const;
    bool refreshLast(qint64 threadId);

    HistoryThread readThread(const QSqlQuery &q) const;
    HistoryMessage readMessage(const QSqlQuery &q) const;
    QList<HistoryMessage> readMessages(QSqlQuery &q);
    void loadParts(QList<HistoryMessage> &messages);

    HistoryStore *q_ptr;
    QString path;
    QString canonicalPath;
    QString connectionName;
    QSqlDatabase db;
    bool isOpen = false;
    HistoryNotifier *notifier = nullptr; // child of the store
    QHash<const char *, QSqlQuery> statements;
    QVector<HistoryNotifier::Change> pending;
    // Copies the log into the file a moment after a change, on the event
    // loop, so that storing a message never waits for that (see open()).
    QTimer checkpoint;

    static HistoryStorePrivate *get(HistoryStore *store) { return store->d_func(); }
};

#endif // MESSAGING0_HISTORYSTORE_P_H
