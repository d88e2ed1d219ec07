// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTSORTMODEL_H
#define MESSAGING0_ACCOUNTSORTMODEL_H

#include "messaging0global.h"

#include <QSortFilterProxyModel>

//! Locale-aware order of the account model's rows. Always compares the
//! display texts of the sort column, whatever the sort role; equal texts keep
//! their source order. Sorting by CT_SORTING_STRING puts the SMS entry first,
//! then the accounts by service name and account name.
class MESSAGING0_EXPORT AccountSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    //! Set the AccountModel as source model, then sort by a column.
    explicit AccountSortModel(QObject *parent = nullptr);

protected:
    //! Locale-aware comparison of the display texts.
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
};

#endif // MESSAGING0_ACCOUNTSORTMODEL_H
