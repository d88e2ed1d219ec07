// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SERVICEICONTYPE_H
#define MESSAGING0_SERVICEICONTYPE_H

//! \file
//! The icon sizes of the account classes.

//! Icon size asked for by every icon lookup of the account classes. Passed by
//! value; the numbers are part of the interface.
enum serviceIconType {
    SERVICE_ICON_NORMAL = 1, //!< column CT_SERVICE_ICON_NORMAL of the account model
    SERVICE_ICON_MEDIUM = 2  //!< column CT_SERVICE_ICON_MEDIUM
};

#endif // MESSAGING0_SERVICEICONTYPE_H
