// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "librarycatalogue.h"

#include "localeservice.h"
#include "platformservices.h"

QString LibraryCatalogue::trId(const char *id)
{
    PlatformServices::localeService()->installTrCatalog(QStringLiteral("messaging0"));
    return qtTrId(id);
}
