// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The phone-number helpers on any text, in several regions. Input: one byte
// choosing the region, then two identifiers (UTF-8) separated by a newline.
//
// Checked, and aborted on when broken:
// - match is reflexive and symmetric;
// - identifiers that match share makeShortNumber() and matchKey();
// - normalizePhoneNumber() is idempotent, and a number matches its normal
//   form and shares its short key.

#include "phonenumberutils.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void violated(const char *property, const QString &a, const QString &b)
{
    std::fprintf(stderr, "violated: %s\n  a = \"%s\"\n  b = \"%s\"\n  region = %s\n", property,
                 a.toUtf8().constData(), b.toUtf8().constData(),
                 PhoneNumberUtils::defaultRegion().toUtf8().constData());
    std::abort();
}

void checkOne(const QString &a)
{
    if (!PhoneNumberUtils::remoteAddressMatch(a, QString(a)))
        violated("match is reflexive", a, a);
    const QString normal = PhoneNumberUtils::normalizePhoneNumber(a);
    if (PhoneNumberUtils::normalizePhoneNumber(normal) != normal)
        violated("normalisation is idempotent", a, normal);
    if (normal.isEmpty())
        return;
    if (!PhoneNumberUtils::remoteAddressMatch(a, normal) || !PhoneNumberUtils::remoteAddressMatch(normal, a))
        violated("a number matches its normal form", a, normal);
    if (PhoneNumberUtils::makeShortNumber(a) != PhoneNumberUtils::makeShortNumber(normal))
        violated("a number and its normal form share the short key", a, normal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const regions[] = {"ZZ", "FI", "US", "MX", "IT", "AR", "GB", "DE", "BR", "RU", "IN", "XX"};
    static int currentRegion = -1;
    if (size == 0)
        return 0;
    const int region = data[0] % int(sizeof(regions) / sizeof(regions[0]));
    if (region != currentRegion) {
        PhoneNumberUtils::setDefaultRegion(QString::fromLatin1(regions[region]));
        currentRegion = region;
    }

    const QByteArray input(reinterpret_cast<const char *>(data) + 1, int(size - 1));
    const int newline = input.indexOf('\n');
    const QString a = QString::fromUtf8(newline < 0 ? input : input.left(newline));
    const QString b = newline < 0 ? QString() : QString::fromUtf8(input.mid(newline + 1));

    checkOne(a);
    checkOne(b);
    const bool match = PhoneNumberUtils::remoteAddressMatch(a, b);
    if (PhoneNumberUtils::remoteAddressMatch(b, a) != match)
        violated("match is symmetric", a, b);
    if (match) {
        if (PhoneNumberUtils::makeShortNumber(a) != PhoneNumberUtils::makeShortNumber(b))
            violated("matching identifiers share the short key", a, b);
        if (PhoneNumberUtils::matchKey(a) != PhoneNumberUtils::matchKey(b))
            violated("matching identifiers share the match key", a, b);
    }
    PhoneNumberUtils::normalizePhoneNumberForContacts(a);
    return 0;
}
