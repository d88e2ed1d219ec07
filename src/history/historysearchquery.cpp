// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historysearchquery.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>

namespace {
// More words than anyone types; keeps a pasted page from becoming a query
// of thousands of terms.
constexpr int MaxWords = 16;

// White space and control characters (a NUL included) part words.
const QRegularExpression &separators()
{
    static const QRegularExpression re(QStringLiteral("[\\s\\x{0}-\\x{1f}\\x{7f}]+"));
    return re;
}

bool hasLetterOrDigit(const QString &word)
{
    const QVector<uint> codePoints = word.toUcs4();
    for (uint c : codePoints) {
        if (QChar::isLetterOrNumber(c))
            return true;
    }
    return false;
}
} // namespace

QString historyFtsQuery(const QString &text)
{
    QStringList terms;
    const QStringList words = text.split(separators(), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        if (!hasLetterOrDigit(word))
            continue;
        QString quoted = word;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        terms << QLatin1Char('"') + quoted + QStringLiteral("\"*");
        if (terms.size() == MaxWords)
            break;
    }
    return terms.join(QLatin1Char(' '));
}
