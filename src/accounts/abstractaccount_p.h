// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_ABSTRACTACCOUNT_P_H
#define MESSAGING0_ABSTRACTACCOUNT_P_H

#include "abstractaccount.h"

// State shared by every account object; subclasses extend it.
class AbstractAccountPrivate
{
    Q_DECLARE_PUBLIC(AbstractAccount)

public:
    virtual ~AbstractAccountPrivate() = default;

    AbstractAccount *q_ptr = nullptr;
};

#endif // MESSAGING0_ABSTRACTACCOUNT_P_H
