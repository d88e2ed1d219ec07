// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0GLOBAL_H
#define MESSAGING0GLOBAL_H

//! \file
//! The export macro of the library.

#include <QtCore/qglobal.h>

// Only classes marked with MESSAGING0_EXPORT are visible outside the library;
// everything else is built with hidden visibility.
//! \def MESSAGING0_EXPORT
//! Marks a class or function as part of the library's interface.
#if defined(MESSAGING0_BUILDING)
#  define MESSAGING0_EXPORT Q_DECL_EXPORT
#else
#  define MESSAGING0_EXPORT Q_DECL_IMPORT
#endif

#endif // MESSAGING0GLOBAL_H
