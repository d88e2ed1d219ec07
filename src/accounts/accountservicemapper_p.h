// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ACCOUNTSERVICEMAPPER_P_H
#define MESSAGING0_ACCOUNTSERVICEMAPPER_P_H

#include "accountservicemapper.h"

#include <QHash>
#include <QVector>

namespace Accounts {
class Manager;
}

class AccountServiceMapperPrivate
{
public:
    using Item = AccountServiceMapper::ssoAccountItem;

    // The first item whose uid occurs within path (null when none), taken
    // from or put into the lookup cache when useCache is set.
    const Item *lookup(const QString &path, bool useCache);

    QVector<Item> items;             // in the order found; one per uid
    QHash<QString, Item> cache;      // by the object path asked for
    Accounts::Manager *manager = nullptr; // for "IM"; owned, deleted with the mapper
};

#endif // MESSAGING0_ACCOUNTSERVICEMAPPER_P_H
