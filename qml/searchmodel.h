// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_SEARCHMODEL_H
#define MESSAGING_QML_SEARCHMODEL_H

#include <messaging0/historymessage.h>

#include <QAbstractListModel>
#include <QDateTime>
#include <QVector>

class HistoryStore;
class TitleResolver;

// The history's messages that hold every word of query (HistoryStore::search:
// each word a prefix, case and diacritics ignored), newest first, 50 at a
// time (fetchMore for more); only those of threadId, or of accountPath's
// threads, when set. Rows: threadId, messageId, title (TitleResolver, or a
// room's id), snippet (rich text, each match in bold), time, and the
// conversation's accountPath, remoteId and groupChat. A Conversation
// opened with the row's threadId and aroundMessageId shows the message in
// its place.
class QmlSearchModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(qint64 threadId READ threadId WRITE setThreadId NOTIFY threadIdChanged)
    Q_PROPERTY(QString accountPath READ accountPath WRITE setAccountPath NOTIFY accountPathChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        ThreadIdRole = Qt::UserRole + 1,
        MessageIdRole,
        TitleRole,
        SnippetRole,
        TimeRole,
        IncomingRole,
        AccountPathRole,
        RemoteIdRole,
        GroupChatRole
    };

    explicit QmlSearchModel(QObject *parent = nullptr);

    QString query() const { return m_query; }
    void setQuery(const QString &query);
    qint64 threadId() const { return m_threadId; }
    void setThreadId(qint64 threadId);
    QString accountPath() const { return m_accountPath; }
    void setAccountPath(const QString &accountPath);
    int count() const { return m_rows.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    Q_INVOKABLE QVariantMap get(int row) const;

    // The store's snippet ("[" and "]" around each match) as rich text.
    static QString markedSnippet(const QString &snippet);

Q_SIGNALS:
    void queryChanged();
    void threadIdChanged();
    void accountPathChanged();
    void countChanged();

private:
    struct Row
    {
        qint64 threadId;
        qint64 messageId;
        QString accountPath;
        QString remoteId;
        bool room;
        QString roomTitle;
        QString snippet;
        QDateTime time;
        bool incoming;
    };
    void reload();
    void appendPage();
    QString titleOf(const Row &row) const;

    QString m_query;
    qint64 m_threadId = -1;
    QString m_accountPath;
    QVector<Row> m_rows;
    qint64 m_lastSeenId = -1; // the key of the next page
    bool m_exhausted = true;
    // The application's store; the resolver is owned by this model.
    HistoryStore *m_store = nullptr;
    TitleResolver *m_titles;
};

#endif // MESSAGING_QML_SEARCHMODEL_H
