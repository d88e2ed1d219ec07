// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// Cost of remoteAddressMatch() against raw libphonenumber on a realistic mix,
// by the number of distinct strings in play: for each pool size P, a pool of
// P strings (90% phone numbers of P*0.3 subscribers, each written in its
// national, international and spaced form; 10% instant-messaging ids),
// compared in random pairs, one in ten pairs naming the same subscriber.
// Every pool starts on an empty cache, so the first use of each string is
// part of the figure. Printed with each ratio: what the helpers' cache
// holds afterwards (its own estimate, and what malloc handed out meanwhile).
//
//   bench_phonenumbermatch [--calls N] [--capacity N] [pool size ...]
//     defaults: 1,000,000 calls; the default cache capacity; pools of
//     1,000, 10,000, 50,000 and 200,000 strings

#include "phonenumberutils.h"

#include <phonenumbers/phonenumberutil.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <malloc.h>

#include <cstdio>

using i18n::phonenumbers::PhoneNumberUtil;

namespace {

QStringList makePool(QRandomGenerator &random, int size)
{
    const int numbers = size / 10 * 9 / 3 * 3;
    QStringList pool;
    pool.reserve(size);
    QSet<QString> subscribers;
    while (pool.size() < numbers) {
        const QString subscriber = QString::number(1000000 + random.bounded(8999999));
        if (subscribers.contains(subscriber))
            continue;
        subscribers.insert(subscriber);
        pool << QLatin1String("040") + subscriber
             << QLatin1String("+35840") + subscriber
             << QLatin1String("+358 40 ") + subscriber.left(3) + QLatin1Char(' ') + subscriber.mid(3);
    }
    for (int i = 0; pool.size() < size; ++i)
        pool << QStringLiteral("user%1@example.com").arg(i);
    return pool;
}

bool isNumberLike(const QString &s)
{
    return !s.contains(QLatin1Char('@'));
}

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

// Returns false when the two disagree on a pair of numbers.
bool benchPool(int size, int calls)
{
    QRandomGenerator random(20261208 + size);
    const QStringList pool = makePool(random, size);
    const int numbers = size / 10 * 9 / 3 * 3;
    QVector<QPair<int, int>> pairs;
    pairs.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const int a = random.bounded(pool.size());
        int b = random.bounded(pool.size());
        if (a < numbers && random.bounded(10) == 0)
            b = (a / 3) * 3 + random.bounded(3);
        pairs.append(qMakePair(a, b));
    }
    std::vector<std::string> poolUtf8;
    for (const QString &s : pool)
        poolUtf8.push_back(s.toStdString());

    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));
    PhoneNumberUtils::cacheInfo(); // the cache empties itself on its next use
    malloc_trim(0);
    const qint64 heapBefore = heapInUse();
    QVector<char> ours(calls);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        ours[i] = PhoneNumberUtils::remoteAddressMatch(pool.at(pairs[i].first), pool.at(pairs[i].second));
    const double oursNs = double(timer.nsecsElapsed()) / calls;
    const qint64 heapAfter = heapInUse();
    const PhoneNumberUtils::CacheInfo cache = PhoneNumberUtils::cacheInfo();

    // Raw libphonenumber on the same pairs (it has no notion of
    // instant-messaging ids). Fewer calls: it is slow.
    const int rawCalls = qMin(calls, 100000);
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    int compared = 0, disagreements = 0;
    timer.restart();
    for (int i = 0; i < rawCalls; ++i) {
        const auto &p = pairs[i];
        const PhoneNumberUtil::MatchType m =
            util->IsNumberMatchWithTwoStrings(poolUtf8[p.first], poolUtf8[p.second]);
        ours[i] = ours[i] | (m == PhoneNumberUtil::EXACT_MATCH || m == PhoneNumberUtil::NSN_MATCH ? 2 : 0);
    }
    const double rawNs = double(timer.nsecsElapsed()) / rawCalls;
    for (int i = 0; i < rawCalls; ++i) {
        const auto &p = pairs[i];
        if (!isNumberLike(pool.at(p.first)) || !isNumberLike(pool.at(p.second)))
            continue;
        ++compared;
        if (bool(ours[i] & 1) != bool(ours[i] & 2))
            ++disagreements;
    }

    std::printf("%7d distinct: remoteAddressMatch %8.1f ns/call (%d calls) | raw %8.1f ns/call (%d calls)"
                " | ratio %6.3f | cache %d/%d entries, %.1f MB estimated, heap +%.1f MB"
                " | disagreements %d of %d\n",
                size, oursNs, calls, rawNs, rawCalls, oursNs / rawNs, cache.entries, cache.capacity,
                cache.bytes / 1e6, (heapAfter - heapBefore) / 1e6, disagreements, compared);
    std::fflush(stdout);
    return disagreements == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int calls = 1000000;
    QList<int> sizes;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--calls") && i + 1 < arguments.size())
            calls = arguments.at(++i).toInt();
        else if (argument == QLatin1String("--capacity") && i + 1 < arguments.size())
            PhoneNumberUtils::setCacheCapacity(arguments.at(++i).toInt());
        else
            sizes << argument.toInt();
    }
    if (sizes.isEmpty())
        sizes = {1000, 10000, 50000, 200000};
    if (calls <= 0 || std::any_of(sizes.cbegin(), sizes.cend(), [](int s) { return s < 10; })) {
        std::fprintf(stderr, "usage: bench_phonenumbermatch [--calls N] [--capacity N] [pool size ...]\n");
        return 2;
    }

    std::printf("target: ratio <= 0.100 at 50,000 distinct strings\n");
    bool agree = true;
    for (int size : sizes)
        agree = benchPool(size, calls) && agree;
    return agree ? 0 : 1;
}
