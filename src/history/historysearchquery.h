// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_HISTORYSEARCHQUERY_H
#define MESSAGING0_HISTORYSEARCHQUERY_H

#include <QString>

// The one place where a person's search text becomes an FTS5 query.
//
// Every whitespace-separated word becomes a quoted string (its quotes
// doubled) matched as a prefix: "a" "b"* reads as a AND b*, so quotes,
// AND/OR/NOT/NEAR, parentheses, '*', '-', '^', ':' and '+' are only ever
// text. Words without a letter or digit are dropped (the tokenizer would
// make an empty phrase of them). The result is passed as a bound
// parameter; an empty result means "nothing to search for".
QString historyFtsQuery(const QString &text);

#endif // MESSAGING0_HISTORYSEARCHQUERY_H
