// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "abstractaccount.h"
#include "abstractaccount_p.h"

AbstractAccount::AbstractAccount(QObject *parent)
    : AbstractAccount(*new AbstractAccountPrivate, parent)
{
}

AbstractAccount::AbstractAccount(AbstractAccountPrivate &dd, QObject *parent)
    : QObject(parent), d_ptr(&dd)
{
    d_ptr->q_ptr = this;
    qRegisterMetaType<AvailabilityItem *>();
    qRegisterMetaType<QList<AvailabilityItem *>>();
}

AbstractAccount::~AbstractAccount()
{
    delete d_ptr;
}
