#include "librarycatalogue.h"

#include "localeservice.h"
#include "platformservices.h"

QString LibraryCatalogue::trId(const char *id)
{
    PlatformServices::localeService()->installTrCatalog(QStringLiteral("messaging0"));
    return qtTrId(id);
}
