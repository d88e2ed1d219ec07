// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_AVAILABILITYITEM_H
#define MESSAGING0_AVAILABILITYITEM_H

#include "messaging0global.h"

#include <QList>
#include <QMetaType>
#include <QString>

//! One presence a user can choose: a Telepathy connection presence type
//! (0 unset, 1 offline, 2 available, 3 away, 4 extended away, 5 hidden,
//! 6 busy, 7 unknown, 8 error) and its status identifier ("available", ...).
//!
//! Plain data, allocated on the heap and owned by whoever lists it: a
//! TpAccount owns its availability list and its current-status item.
class MESSAGING0_EXPORT AvailabilityItem
{
public:
    AvailabilityItem() = default;
    //! A presence of the given type and status identifier.
    AvailabilityItem(int type, const QString &status) : type(type), status(status) {}

    int type = 0; //!< the Telepathy connection presence type
    QString status = QStringLiteral(""); //!< the status identifier, such as "available"
    //! Free for the user interface; the library neither sets nor reads it.
    QString text = QStringLiteral("");
};

Q_DECLARE_METATYPE(AvailabilityItem *)
Q_DECLARE_METATYPE(QList<AvailabilityItem *>)

#endif // MESSAGING0_AVAILABILITYITEM_H
