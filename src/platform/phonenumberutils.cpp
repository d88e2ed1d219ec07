// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "phonenumberutils.h"

#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <QHash>
#include <QVector>

#include <algorithm>
#include <vector>
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
// Readings of a number are repeated at most this often to reach a form that
// reads back to itself.
constexpr int MaxCanonicalSteps = 8;
// Digits at the end of a number that every reading keeps, and the length of
// the keys while the region is unknown.
constexpr int MatchTailDigits = 7;
// Countries a national-only number is remembered in.
constexpr int MaxCountryReadings = 4;
// For the memory estimate: glibc's per-allocation overhead, and one QHash
// node with its share of the bucket array.
constexpr qint64 MallocOverhead = 16;
constexpr qint64 HashNodeBytes = 32 + MallocOverhead + 16;

const QString UnknownRegion = QStringLiteral("ZZ");
const std::string UnknownRegionStd = "ZZ";

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

PhoneNumberUtil *util()
{
    static PhoneNumberUtil *instance = [] {
        PhoneNumberUtil *u = PhoneNumberUtil::GetInstance();
        u->SetLogger(new i18n::phonenumbers::NullLogger); // takes ownership
        return u;
    }();
    return instance;
}

// The last `count` digits of an ASCII-digit text (fewer when it has fewer).
QStringView digitTail(const QString &text, int count)
{
    int start = text.size();
    int digits = 0;
    while (start > 0 && digits < count) {
        --start;
        if (text.at(start).isDigit())
            ++digits;
    }
    return QStringView(text).mid(start);
}

bool sameDigitTail(const QString &a, const QString &b, int count)
{
    QString da, db;
    for (QChar c : digitTail(a, count))
        if (c.isDigit())
            da += c;
    for (QChar c : digitTail(b, count))
        if (c.isDigit())
            db += c;
    return da == db;
}

int digitCount(const QString &text)
{
    int n = 0;
    for (QChar c : text)
        n += c.isDigit() ? 1 : 0;
    return n;
}

// What the helpers know of one identifier.
struct Entry
{
    // Numbers only: the canonical form when `parsed`, else the text with
    // separators dropped and digits in ASCII. Empty for other identifiers.
    QString form;
    qint16 digits = 0;
    qint16 countryCode = 0;    // of the canonical form
    bool isNumber = false;     // "+"? followed by digits, '*' and '#', at least one digit
    bool isServiceCode = false;
    bool parsed = false;
    // A national form that could not be placed because the region is
    // unknown; it is read in the country of the number it is compared with.
    bool nationalOnly = false;
    // nationalOnly: canonical forms in other countries, by country code
    // (empty when it does not read there); at most MaxCountryReadings.
    std::vector<std::pair<int, QString>> readings;
};

bool isFullNumber(const Entry &e)
{
    return e.isNumber && !e.isServiceCode && e.digits >= MinFullNumberDigits;
}

// The region in use, resolved once from the setting or the environment;
// the generation tells the per-thread caches when it changed.
struct RegionState
{
    QString explicitRegion;
    QString resolved;
    int generation = 0;
    int capacity = PhoneNumberUtils::DefaultCacheCapacity;
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

// Heap bytes of a string's own data (0 when it is empty or shared with
// `owner`): the array header, the UTF-16 text and malloc's bookkeeping.
qint64 stringBytes(const QString &s, const QString &owner = QString())
{
    if (s.isEmpty() || s.constData() == owner.constData())
        return 0;
    return qint64(sizeof(QArrayData)) + (s.capacity() + 1) * 2 + MallocOverhead;
}

// Parsed identifiers, least recently used first out. Parses are expensive
// (~10 µs); comparisons of an address book and a message history reuse the
// same numbers over and over, so the cache makes a comparison a pair of
// hash lookups. Bounded by `capacity` entries; per thread.
struct Cache
{
    struct Node
    {
        QString key;
        Entry entry;
        Node *newer = nullptr;
        Node *older = nullptr;
        qint64 bytes = 0;
    };

    int generation = -1;
    QString region;
    std::string regionStd;
    bool regionKnown = false;
    int capacity = 0;
    QHash<QString, Node *> index;
    Node *newest = nullptr;
    Node *oldest = nullptr;
    qint64 bytes = 0;

    ~Cache() { clear(); }

    void clear()
    {
        qDeleteAll(index);
        index.clear();
        newest = oldest = nullptr;
        bytes = 0;
    }

    void unlink(Node *n)
    {
        (n->newer ? n->newer->older : newest) = n->older;
        (n->older ? n->older->newer : oldest) = n->newer;
        n->newer = n->older = nullptr;
    }

    void pushNewest(Node *n)
    {
        n->older = newest;
        n->newer = nullptr;
        if (newest)
            newest->newer = n;
        newest = n;
        if (!oldest)
            oldest = n;
    }

    static qint64 nodeBytes(const Node &n)
    {
        qint64 b = qint64(sizeof(Node)) + MallocOverhead + HashNodeBytes
                   + stringBytes(n.key) + stringBytes(n.entry.form, n.key);
        for (const auto &r : n.entry.readings)
            b += qint64(sizeof(r)) + stringBytes(r.second);
        return b;
    }

    void updateBytes(Node *n)
    {
        bytes -= n->bytes;
        n->bytes = nodeBytes(*n);
        bytes += n->bytes;
    }
};

Cache &cache()
{
    thread_local Cache c;
    const RegionState &state = regionState();
    if (c.generation != state.generation) {
        c.clear();
        c.region = PhoneNumberUtils::defaultRegion();
        c.regionStd = c.region.toStdString();
        c.regionKnown = util()->GetCountryCodeForRegion(c.regionStd) != 0;
        c.capacity = qMax(2, state.capacity);
        c.generation = state.generation;
    }
    return c;
}

// A number's one canonical form: its E.164 text, made a fixed point.
//
// libphonenumber's reading is not stable: "+52 11 91234 567478" reads as
// +52191234567478, which reads again as +5291234567478. A number is
// therefore read, written in E.164 and read again until the text stops
// changing (or, for a cycle, the smallest text of the cycle). The result
// reads back to itself, so normalisation is idempotent and a number
// matches its own normal form.
//
// The reading is refused (an empty result) when it does not settle, when it
// leaves fewer than MinFullNumberDigits digits ("011 1 34567" in the US is
// +134567, a short code), or when it changes the last MatchTailDigits
// digits of the input: every match then also keeps the digit tail that
// matchKey() and the short keys rely on.
//
// A first reading that some cached identifier already has as its settled
// form needs no second reading: that is the common case of a national form
// whose international form has been seen.
QString canonicalForm(const Cache &c, const QString &text, const std::string &region, int *countryCode,
                      PhoneNumberUtil::ErrorType *error = nullptr)
{
    PhoneNumber proto;
    const PhoneNumberUtil::ErrorType e = util()->Parse(text.toStdString(), region, &proto);
    if (error)
        *error = e;
    if (e != PhoneNumberUtil::NO_PARSING_ERROR)
        return QString();

    std::vector<std::pair<std::string, int>> seen;
    std::string formatted;
    util()->Format(proto, PhoneNumberUtil::E164, &formatted);
    seen.emplace_back(formatted, int(proto.country_code()));
    std::string result;
    int resultCountry = 0;
    if (formatted != text.toStdString()) {
        const auto known = c.index.constFind(QString::fromStdString(formatted));
        if (known != c.index.constEnd() && (*known)->entry.parsed
            && (*known)->entry.form == (*known)->key) {
            result = formatted;
            resultCountry = (*known)->entry.countryCode;
        }
    }
    for (int step = 0; step < MaxCanonicalSteps && result.empty(); ++step) {
        const std::string &current = seen.back().first;
        PhoneNumber again;
        if (util()->Parse(current, UnknownRegionStd, &again) != PhoneNumberUtil::NO_PARSING_ERROR)
            return QString();
        std::string next;
        util()->Format(again, PhoneNumberUtil::E164, &next);
        if (next == current) {
            result = current;
            resultCountry = seen.back().second;
            break;
        }
        auto cycleStart = std::find_if(seen.begin(), seen.end(),
                                       [&next](const auto &s) { return s.first == next; });
        if (cycleStart != seen.end()) {
            auto smallest = std::min_element(cycleStart, seen.end());
            result = smallest->first;
            resultCountry = smallest->second;
            break;
        }
        seen.emplace_back(next, int(again.country_code()));
    }
    if (result.empty())
        return QString();

    const QString canonical = QString::fromStdString(result);
    if (digitCount(canonical) < MinFullNumberDigits || !sameDigitTail(canonical, text, MatchTailDigits))
        return QString();
    *countryCode = resultCountry;
    return canonical;
}

Entry makeEntry(const QString &input, const Cache &c)
{
    Entry e;
    QString text;
    text.reserve(input.size());
    bool numeric = true;
    int digits = 0;
    const QVector<uint> ucs4 = input.toUcs4();
    for (uint ch : ucs4) {
        if (isSeparator(ch))
            continue;
        if (QChar::category(ch) == QChar::Number_DecimalDigit) {
            text += QLatin1Char(char('0' + QChar::digitValue(ch)));
            ++digits;
            continue;
        }
        if (ch == '+') {
            if (!text.isEmpty())
                numeric = false;
        } else if (ch == '*' || ch == '#') {
            e.isServiceCode = true;
        } else {
            numeric = false;
            break; // not a number: nothing more to learn
        }
        text += QLatin1Char(char(ch));
    }
    e.isNumber = numeric && digits > 0;
    if (!e.isNumber)
        return Entry();
    e.digits = qint16(qMin(digits, 32767));
    // Share the input's text when nothing changed.
    e.form = text == input ? input : text;
    if (!isFullNumber(e) || text.size() > MaxParsedLength)
        return e;

    PhoneNumberUtil::ErrorType error;
    int country = 0;
    const QString canonical = canonicalForm(c, text, c.regionStd, &country, &error);
    if (!canonical.isEmpty()) {
        e.parsed = true;
        e.countryCode = qint16(country);
        if (canonical != e.form)
            e.form = canonical;
    } else {
        e.nationalOnly = !c.regionKnown && error == PhoneNumberUtil::INVALID_COUNTRY_CODE_ERROR;
    }
    return e;
}

Entry &entry(Cache &c, const QString &text)
{
    if (text.size() > MaxCachedLength) {
        thread_local Entry uncached;
        // Beyond libphonenumber's own limit nothing is a phone number; such
        // texts match only themselves, without being read at all.
        uncached = text.size() > MaxParsedLength ? Entry() : makeEntry(text, c);
        return uncached;
    }
    auto it = c.index.constFind(text);
    if (it != c.index.constEnd()) {
        Cache::Node *n = *it;
        if (c.newest != n) {
            c.unlink(n);
            c.pushNewest(n);
        }
        return n->entry;
    }
    Cache::Node *n;
    if (c.index.size() >= c.capacity) {
        n = c.oldest; // reused for the newcomer
        c.unlink(n);
        c.index.remove(n->key);
        n->entry.readings.clear();
    } else {
        n = new Cache::Node;
    }
    n->key = text;
    n->entry = makeEntry(text, c);
    c.index.insert(text, n);
    c.pushNewest(n);
    c.updateBytes(n);
    return n->entry;
}

// A national-form number read in the country of another number.
QString readingInCountry(Cache &c, const QString &key, Entry &e, int countryCode)
{
    for (const auto &r : e.readings) {
        if (r.first == countryCode)
            return r.second;
    }
    std::string region;
    util()->GetRegionCodeForCountryCode(countryCode, &region);
    int country = 0;
    QString reading;
    if (region != UnknownRegionStd)
        reading = canonicalForm(c, e.form, region, &country);
    if (reading.isEmpty() || country != countryCode)
        reading.clear();
    if (int(e.readings.size()) >= MaxCountryReadings)
        e.readings.erase(e.readings.begin());
    e.readings.emplace_back(countryCode, reading);
    auto it = c.index.constFind(key);
    if (it != c.index.constEnd() && &(*it)->entry == &e)
        c.updateBytes(*it);
    return reading;
}

// Whether a national-only number names the same party as a placed one.
bool nationalMatches(Cache &c, const QString &nationalKey, Entry &national, const Entry &placed)
{
    return readingInCountry(c, nationalKey, national, placed.countryCode) == placed.form;
}

} // namespace

bool PhoneNumberUtils::remoteAddressMatch(const QString &a, const QString &b, NormalizeFlags flags)
{
    if (a == b)
        return true;
    if (!flags.testFlag(NormalizeFlagDefault))
        return false;

    Cache &c = cache();
    // Cached entries stay in place while the second is looked up (the first
    // is the newest, never the one evicted); an uncached one is copied.
    Entry longA;
    Entry *ea = &entry(c, a);
    if (a.size() > MaxCachedLength) {
        longA = *ea;
        ea = &longA;
    }
    Entry *eb = &entry(c, b);

    if (!ea->isNumber || !eb->isNumber)
        return false;
    if (!isFullNumber(*ea) || !isFullNumber(*eb))
        return ea->form == eb->form;
    if (ea->parsed && eb->parsed)
        return ea->form == eb->form;
    // One number carries a country code, the other is national and the
    // region unknown: read the national one in that country.
    if (ea->parsed && eb->nationalOnly)
        return nationalMatches(c, b, *eb, *ea);
    if (eb->parsed && ea->nationalOnly)
        return nationalMatches(c, a, *ea, *eb);
    return ea->form == eb->form;
}

QString PhoneNumberUtils::normalizePhoneNumber(const QString &identifier, NormalizeFlags flags)
{
    Cache &c = cache();
    const Entry &e = entry(c, identifier);
    if (!e.isNumber)
        return QString();
    if (!flags.testFlag(NormalizeFlagDefault))
        return normalize(identifier).text; // as written, not read
    return e.form;
}

QString PhoneNumberUtils::makeShortNumber(const QString &number, NormalizeFlags flags)
{
    Cache &c = cache();
    const Entry &e = entry(c, number);
    if (!e.isNumber)
        return number;
    if (!flags.testFlag(NormalizeFlagDefault))
        return normalizePhoneNumber(number, flags);
    // With the region known every full number is placed (or compared as
    // written): its form is the key. Without it a national form matches the
    // same digits in any country, so the key is the digit tail that every
    // match shares.
    if (!isFullNumber(e) || c.regionKnown)
        return e.form;
    return digitTail(e.form, MatchTailDigits).toString();
}

QString PhoneNumberUtils::readableForm(const QString &number)
{
    Cache &c = cache();
    const Entry &e = entry(c, number);
    if (!e.isNumber || !e.parsed || !e.form.startsWith(QLatin1Char('+')))
        return number;
    PhoneNumber proto;
    if (util()->Parse(e.form.toStdString(), UnknownRegionStd, &proto) != PhoneNumberUtil::NO_PARSING_ERROR)
        return number;
    std::string formatted;
    util()->Format(proto, PhoneNumberUtil::INTERNATIONAL, &formatted);
    return QString::fromStdString(formatted);
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

void PhoneNumberUtils::setCacheCapacity(int entries)
{
    RegionState &state = regionState();
    state.capacity = entries > 0 ? entries : DefaultCacheCapacity;
    ++state.generation;
}

PhoneNumberUtils::CacheInfo PhoneNumberUtils::cacheInfo()
{
    const Cache &c = cache();
    return {int(c.index.size()), c.capacity, c.bytes + qint64(sizeof(Cache))};
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
