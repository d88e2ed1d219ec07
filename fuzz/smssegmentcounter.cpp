// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The SMS segment counter on arbitrary UTF-16 text (the input's bytes read
// as little-endian code units, lone surrogates included): appending a
// character never makes the text need fewer units or messages, the parts
// add up to the text, and no part holds more than its message can.

#include "smssegmentcounter.h"

#include <cstdint>
#include <cstdlib>

static void check(bool condition)
{
    if (!condition)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Longer texts only repeat the same checks, at quadratic cost.
    const int length = int(qMin<size_t>(size / 2, 1200));
    QString text;
    text.reserve(length);
    int units = 0;
    int segments = 0;
    for (int i = 0; i < length; ++i) {
        text.append(QChar(char16_t(data[2 * i] | (data[2 * i + 1] << 8))));
        const SmsSegmentCounter counter(text);
        // Only a change of encoding may make the units shrink, and never
        // the messages.
        if (counter.encoding() == SmsSegmentCounter::encodingFor(text.left(text.size() - 1)))
            check(counter.units() >= units);
        check(counter.segments() >= segments);
        units = counter.units();
        segments = counter.segments();

        const bool gsm = counter.encoding() == SmsSegmentCounter::Gsm7;
        const QStringList parts = counter.parts();
        check(parts.size() == segments);
        check(parts.join(QString()) == text);
        const int limit = segments == 1 ? (gsm ? 160 : 70) : (gsm ? 153 : 67);
        check(counter.segmentLimit() == limit);
        check(counter.remaining() >= 0 && counter.remaining() <= limit);
        for (int p = 0; p < parts.size(); ++p) {
            const QString &part = parts.at(p);
            check(!part.isEmpty());
            check(SmsSegmentCounter::unitsIn(part, counter.encoding()) <= limit);
            if (p + 1 < parts.size())
                check(!(part.back().isHighSurrogate() && parts.at(p + 1).front().isLowSurrogate()));
        }
    }
    return 0;
}
