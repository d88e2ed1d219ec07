// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "accountsortmodel.h"

AccountSortModel::AccountSortModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

bool AccountSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // The display texts, whatever sortRole() says.
    const QString leftText = sourceModel()->data(left, Qt::DisplayRole).toString();
    const QString rightText = sourceModel()->data(right, Qt::DisplayRole).toString();
    return QString::localeAwareCompare(leftText, rightText) < 0;
}
