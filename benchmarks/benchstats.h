// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_BENCHSTATS_H
#define MESSAGING_BENCHSTATS_H

#include <QVector>

#include <algorithm>

// The middle sample (the upper one of an even count); 0 for no samples.
template<typename T>
double median(QVector<T> samples)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return double(samples.at(samples.size() / 2));
}

// Median of nanosecond samples, in milliseconds.
inline double medianMs(const QVector<qint64> &nanoseconds)
{
    return median(nanoseconds) / 1e6;
}

#endif
