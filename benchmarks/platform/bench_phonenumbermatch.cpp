// Cost of remoteAddressMatch() against raw libphonenumber on a realistic mix:
// a pool of 1,000 numbers in national, international and spaced forms plus
// instant-messaging ids, compared in random pairs.
//
//   bench_phonenumbermatch [calls]      (default 1,000,000)

#include "phonenumberutils.h"

#include <phonenumbers/phonenumberutil.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

#include <cstdio>

using i18n::phonenumbers::PhoneNumberUtil;

namespace {

QStringList makePool(QRandomGenerator &random)
{
    QStringList pool;
    // 300 distinct subscribers, each written in up to three forms.
    for (int i = 0; pool.size() < 900; ++i) {
        const QString subscriber = QString::number(1000000 + random.bounded(8999999));
        const QString national = QLatin1String("040") + subscriber;
        pool << national
             << QLatin1String("+35840") + subscriber
             << QLatin1String("+358 40 ") + subscriber.left(3) + QLatin1Char(' ') + subscriber.mid(3);
    }
    for (int i = 0; pool.size() < 1000; ++i)
        pool << QStringLiteral("user%1@example.com").arg(i);
    return pool;
}

bool isNumberLike(const QString &s)
{
    return !s.contains(QLatin1Char('@'));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 1000000;
    PhoneNumberUtils::setDefaultRegion(QStringLiteral("FI"));

    QRandomGenerator random(20261208);
    const QStringList pool = makePool(random);
    // Pairs drawn so that about one in ten names the same subscriber.
    QVector<QPair<int, int>> pairs;
    pairs.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        const int a = random.bounded(pool.size());
        int b = random.bounded(pool.size());
        if (a < 900 && random.bounded(10) == 0)
            b = (a / 3) * 3 + random.bounded(3);
        pairs.append(qMakePair(a, b));
    }
    std::vector<std::string> poolUtf8;
    for (const QString &s : pool)
        poolUtf8.push_back(s.toStdString());

    QVector<char> ours(calls);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        ours[i] = PhoneNumberUtils::remoteAddressMatch(pool.at(pairs[i].first), pool.at(pairs[i].second));
    const double oursNs = double(timer.nsecsElapsed()) / calls;

    // Raw libphonenumber on the same pairs of numbers (it has no notion of
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
        const bool a = ours[i] & 1, b = ours[i] & 2;
        if (a != b)
            ++disagreements;
    }

    std::printf("remoteAddressMatch:            %8.1f ns/call  (%d calls)\n", oursNs, calls);
    std::printf("IsNumberMatchWithTwoStrings:   %8.1f ns/call  (%d calls)\n", rawNs, rawCalls);
    std::printf("ratio (ours / raw):            %8.3f  (target <= 0.100)\n", oursNs / rawNs);
    std::printf("number pairs compared:         %d, disagreements: %d\n", compared, disagreements);
    return disagreements == 0 ? 0 : 1;
}
