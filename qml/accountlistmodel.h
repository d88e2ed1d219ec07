// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_QML_ACCOUNTLISTMODEL_H
#define MESSAGING_QML_ACCOUNTLISTMODEL_H

#include <QIdentityProxyModel>

// The library's account table as a QML list model: the same rows and
// columns, and role names for the columns a list delegate reads (any column
// of the row answers them). The library's models answer the display role
// only and stay as they are.
//
// QML names it AccountModel (over the account model in its own order) and
// AccountSortModel (sorted: the SMS entry first, then by service and name).
class QmlAccountListModel : public QIdentityProxyModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        AccountPathRole = Qt::UserRole + 1,
        NameRole,
        ServiceRole,
        ServiceIconRole,
        PresenceRole,
        StatusMessageRole,
        EnabledRole,
        UsableRole
    };

    QHash<int, QByteArray> roleNames() const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return rowCount(); }
    // Asks the account for a presence ("available", "away" or "offline")
    // and, when statusMessage is not null, a status message.
    Q_INVOKABLE void setPresence(const QString &accountPath, const QString &presence,
                                 const QString &statusMessage = QString());
    Q_INVOKABLE void setEnabled(const QString &accountPath, bool enabled);
    // The row of an account, -1 when it has none.
    Q_INVOKABLE int rowOf(const QString &accountPath) const;
    // Every role of one row by name.
    Q_INVOKABLE QVariantMap get(int row) const;

Q_SIGNALS:
    void countChanged();

protected:
    // sorted: rows in the library's sort order instead of the model's own.
    QmlAccountListModel(bool sorted, QObject *parent);

private:
    bool isUsable(const QString &accountPath) const;
    void usabilityChanged(const QString &accountPath);
    void cellularStateChanged();
};

class QmlAccountModel : public QmlAccountListModel
{
    Q_OBJECT
public:
    explicit QmlAccountModel(QObject *parent = nullptr) : QmlAccountListModel(false, parent) {}
};

class QmlAccountSortModel : public QmlAccountListModel
{
    Q_OBJECT
public:
    explicit QmlAccountSortModel(QObject *parent = nullptr) : QmlAccountListModel(true, parent) {}
};

#endif // MESSAGING_QML_ACCOUNTLISTMODEL_H
