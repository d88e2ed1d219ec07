// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_LIBRARYCATALOGUE_H
#define MESSAGING0_LIBRARYCATALOGUE_H

#include <QString>

// The library's translation catalogue ("messaging0").
namespace LibraryCatalogue {

// qtTrId() for the library's own logical ids ("lxr_..."). Installs the
// catalogue into the current LocaleService first, so that an application
// that never did shows readable texts rather than bare ids.
QString trId(const char *id);

} // namespace LibraryCatalogue

#endif // MESSAGING0_LIBRARYCATALOGUE_H
