#ifndef MESSAGING0GLOBAL_H
#define MESSAGING0GLOBAL_H

#include <QtCore/qglobal.h>

// Only classes marked with MESSAGING0_EXPORT are visible outside the library;
// everything else is built with hidden visibility.
#if defined(MESSAGING0_BUILDING)
#  define MESSAGING0_EXPORT Q_DECL_EXPORT
#else
#  define MESSAGING0_EXPORT Q_DECL_IMPORT
#endif

#endif // MESSAGING0GLOBAL_H
