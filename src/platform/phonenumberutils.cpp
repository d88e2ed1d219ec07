#include "phonenumberutils.h"

#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <QHash>
#include <QVector>

#include <optional>
#include <string>

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

// Numbers with fewer digits than this are short codes: they are compared
// literally, never by suffix or country.
constexpr int MinFullNumberDigits = 7;

// Longer texts are never phone numbers; they are not cached either.
constexpr int MaxCachedLength = 64;
// libphonenumber's own input limit; its regular expressions take minutes on
// long digit strings before it would reject them.
constexpr int MaxParsedLength = 250;
constexpr int MaxCacheEntries = 8192;

const QString UnknownRegion = QStringLiteral("ZZ");

bool isSeparator(uint ucs4)
{
    switch (ucs4) {
    case '-': case '.': case '(': case ')': case '/': case '[': case ']':
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015:
    case 0x2212:
        return true;
    default:
        return QChar::isSpace(ucs4);
    }
}

// What a number is made of once separators are dropped and digits are ASCII.
struct Normalized
{
    QString text;          // separators dropped, digits ASCII, other characters kept
    int digits = 0;
    bool isNumber = false; // "+"? followed by digits, '*' and '#' only, at least one digit
    bool isServiceCode = false; // contains '*' or '#'
};

Normalized normalize(const QString &input)
{
    Normalized n;
    n.text.reserve(input.size());
    bool numeric = true;
    const QVector<uint> ucs4 = input.toUcs4();
    for (uint c : ucs4) {
        if (isSeparator(c))
            continue;
        if (QChar::category(c) == QChar::Number_DecimalDigit) {
            n.text += QLatin1Char(char('0' + QChar::digitValue(c)));
            ++n.digits;
            continue;
        }
        if (c == '+') {
            if (!n.text.isEmpty())
                numeric = false;
        } else if (c == '*' || c == '#') {
            n.isServiceCode = true;
        } else {
            numeric = false;
        }
        n.text += QString::fromUcs4(&c, 1);
    }
    n.isNumber = numeric && n.digits > 0;
    return n;
}

// The parts of a parsed number that decide whether two numbers are one.
struct Parsed
{
    int countryCode = 0;
    quint64 nationalNumber = 0;
    bool italianLeadingZero = false;
    int leadingZeros = 1;
    QString e164; // "+358401234567": the number's one canonical form

    bool operator==(const Parsed &o) const
    {
        return countryCode == o.countryCode && nationalNumber == o.nationalNumber
               && italianLeadingZero == o.italianLeadingZero
               && (!italianLeadingZero || leadingZeros == o.leadingZeros);
    }
};

struct Entry
{
    Normalized normalized;
    // Set when the number parses in the default region (or carries its own
    // country code).
    std::optional<Parsed> parsed;
    // Set when parsing failed only because the region is unknown: the number
    // is in national form.
    bool nationalOnly = false;
};

PhoneNumberUtil *util()
{
    static PhoneNumberUtil *instance = [] {
        PhoneNumberUtil *u = PhoneNumberUtil::GetInstance();
        u->SetLogger(new i18n::phonenumbers::NullLogger); // takes ownership
        return u;
    }();
    return instance;
}

// The region in use, resolved once from the setting or the environment;
// the generation tells the per-thread caches when it changed.
struct RegionState
{
    QString explicitRegion;
    QString resolved;
    int generation = 0;
};

RegionState &regionState()
{
    static RegionState state;
    return state;
}

QString regionFromEnvironment()
{
    const QString fromEnv = qEnvironmentVariable("MESSAGING_PHONE_REGION").toUpper();
    if (fromEnv.size() == 2)
        return fromEnv;
    // "fi_FI.UTF-8@euro" -> "FI"
    const QString telephone = qEnvironmentVariable("LC_TELEPHONE");
    const int underscore = telephone.indexOf(QLatin1Char('_'));
    if (underscore > 0 && telephone.size() >= underscore + 3)
        return telephone.mid(underscore + 1, 2).toUpper();
    return UnknownRegion;
}

std::optional<Parsed> parse(const QString &number, const std::string &region,
                            PhoneNumberUtil::ErrorType *error = nullptr)
{
    PhoneNumber proto;
    const PhoneNumberUtil::ErrorType e = util()->Parse(number.toStdString(), region, &proto);
    if (error)
        *error = e;
    if (e != PhoneNumberUtil::NO_PARSING_ERROR)
        return std::nullopt;
    Parsed p;
    p.countryCode = proto.country_code();
    p.nationalNumber = proto.national_number();
    p.italianLeadingZero = proto.italian_leading_zero();
    p.leadingZeros = proto.number_of_leading_zeros();
    std::string formatted;
    util()->Format(proto, PhoneNumberUtil::E164, &formatted);
    p.e164 = QString::fromStdString(formatted);
    return p;
}

// Parses are expensive (~10 µs); a conversation list compares the same few
// numbers over and over, so parsed numbers are kept per thread.
struct Cache
{
    int generation = -1;
    QString region;
    QHash<QString, Entry> entries;
    QHash<QPair<QString, int>, std::optional<Parsed>> inCountry;
};

Cache &cache()
{
    thread_local Cache c;
    if (c.generation != regionState().generation) {
        c.entries.clear();
        c.inCountry.clear();
        c.region = PhoneNumberUtils::defaultRegion();
        c.generation = regionState().generation;
    }
    return c;
}

Entry makeEntry(const QString &text, const QString &region)
{
    Entry e;
    e.normalized = normalize(text);
    if (!e.normalized.isNumber || e.normalized.isServiceCode
        || e.normalized.digits < MinFullNumberDigits
        || e.normalized.text.size() > MaxParsedLength)
        return e;
    PhoneNumberUtil::ErrorType error;
    e.parsed = parse(e.normalized.text, region.toStdString(), &error);
    e.nationalOnly = !e.parsed && error == PhoneNumberUtil::INVALID_COUNTRY_CODE_ERROR;
    return e;
}

const Entry &entry(Cache &c, const QString &text)
{
    if (text.size() > MaxCachedLength) {
        thread_local Entry uncached;
        // Beyond libphonenumber's own limit nothing is a phone number; such
        // texts match only themselves, without being read at all.
        if (text.size() > MaxParsedLength) {
            uncached = Entry();
            uncached.normalized.text = text;
            return uncached;
        }
        uncached = makeEntry(text, c.region);
        return uncached;
    }
    auto it = c.entries.constFind(text);
    if (it != c.entries.constEnd())
        return *it;
    if (c.entries.size() >= MaxCacheEntries) {
        c.entries.clear();
        c.inCountry.clear();
    }
    return *c.entries.insert(text, makeEntry(text, c.region));
}

// A national-form number read in the country of another number.
const std::optional<Parsed> &parsedInCountry(Cache &c, const Entry &e, int countryCode)
{
    const QPair<QString, int> key(e.normalized.text, countryCode);
    auto it = c.inCountry.constFind(key);
    if (it != c.inCountry.constEnd())
        return *it;
    std::string region;
    util()->GetRegionCodeForCountryCode(countryCode, &region);
    std::optional<Parsed> p;
    if (region != "ZZ")
        p = parse(e.normalized.text, region);
    return *c.inCountry.insert(key, p);
}

bool isFullNumber(const Entry &e)
{
    return e.normalized.isNumber && !e.normalized.isServiceCode
           && e.normalized.digits >= MinFullNumberDigits;
}

} // namespace

bool PhoneNumberUtils::remoteAddressMatch(const QString &a, const QString &b, NormalizeFlags flags)
{
    if (a == b)
        return true;
    if (!flags.testFlag(NormalizeFlagDefault))
        return false;

    Cache &c = cache();
    const Entry ea = entry(c, a); // copy: the second lookup may rehash
    const Entry &eb = entry(c, b);

    if (!ea.normalized.isNumber || !eb.normalized.isNumber)
        return false;
    if (!isFullNumber(ea) || !isFullNumber(eb))
        return ea.normalized.text == eb.normalized.text;

    if (ea.parsed && eb.parsed)
        return *ea.parsed == *eb.parsed;
    // One number carries a country code, the other is national: read the
    // national one in that country.
    if (ea.parsed && eb.nationalOnly) {
        const std::optional<Parsed> &p = parsedInCountry(c, eb, ea.parsed->countryCode);
        return p && *p == *ea.parsed;
    }
    if (eb.parsed && ea.nationalOnly) {
        const std::optional<Parsed> &p = parsedInCountry(c, ea, eb.parsed->countryCode);
        return p && *p == *eb.parsed;
    }
    return ea.normalized.text == eb.normalized.text;
}

QString PhoneNumberUtils::normalizePhoneNumber(const QString &identifier, NormalizeFlags flags)
{
    Cache &c = cache();
    const Entry &e = entry(c, identifier);
    if (!e.normalized.isNumber)
        return QString();
    if (flags.testFlag(NormalizeFlagDefault) && e.parsed)
        return e.parsed->e164;
    return e.normalized.text;
}

QString PhoneNumberUtils::makeShortNumber(const QString &number, NormalizeFlags flags)
{
    const QString normalized = normalizePhoneNumber(number, flags);
    return normalized.isEmpty() ? number : normalized;
}

QString PhoneNumberUtils::normalizePhoneNumberForContacts(const QString &number)
{
    const Normalized n = normalize(number);
    return n.isNumber ? n.text : number;
}

QString PhoneNumberUtils::toAsciiDigits(const QString &text)
{
    QString result;
    result.reserve(text.size());
    const QVector<uint> ucs4 = text.toUcs4();
    for (uint c : ucs4) {
        if (QChar::category(c) == QChar::Number_DecimalDigit)
            c = '0' + uint(QChar::digitValue(c));
        result += QString::fromUcs4(&c, 1);
    }
    return result;
}

QString PhoneNumberUtils::matchKey(const QString &address)
{
    constexpr int KeyDigits = 4;
    QString digits;
    const QVector<uint> ucs4 = address.toUcs4();
    for (auto it = ucs4.crbegin(); it != ucs4.crend() && digits.size() < KeyDigits; ++it) {
        if (QChar::category(*it) == QChar::Number_DecimalDigit)
            digits.prepend(QLatin1Char(char('0' + QChar::digitValue(*it))));
    }
    return digits.isEmpty() ? QLatin1Char('s') + address : QLatin1Char('d') + digits;
}

void PhoneNumberUtils::setDefaultRegion(const QString &region)
{
    RegionState &state = regionState();
    state.explicitRegion = region.toUpper();
    state.resolved.clear();
    ++state.generation;
}

QString PhoneNumberUtils::defaultRegion()
{
    RegionState &state = regionState();
    if (state.resolved.isEmpty())
        state.resolved = state.explicitRegion.isEmpty() ? regionFromEnvironment()
                                                        : state.explicitRegion;
    return state.resolved;
}
