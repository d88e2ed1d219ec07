// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "smscounter.h"

void QmlSmsCounter::setText(const QString &text)
{
    if (text == m_counter.text())
        return;
    m_counter.setText(text);
    Q_EMIT textChanged();
    Q_EMIT countsChanged();
}

QString QmlSmsCounter::encoding() const
{
    return m_counter.encoding() == SmsSegmentCounter::Gsm7 ? QStringLiteral("gsm7") : QStringLiteral("ucs2");
}
