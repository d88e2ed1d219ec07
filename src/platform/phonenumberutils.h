// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_PHONENUMBERUTILS_H
#define MESSAGING0_PHONENUMBERUTILS_H

#include <QString>

// Phone-number comparison and normalisation over libphonenumber.
//
// Every comparison of remote identifiers in the library goes through here.
// Identifiers are not always phone numbers: instant-messaging ids, e-mail
// like ids and room names pass through the same calls and match only
// themselves. Short codes (fewer than 7 digits, service codes such as
// "*100#") match only when their normalised forms are equal.
//
// National forms are read in the default region: the one set with
// setDefaultRegion(), else the MESSAGING_PHONE_REGION environment variable,
// else the territory of LC_TELEPHONE when it is set, else unknown ("ZZ").
// The UI language (LANG, LC_ALL) is never used: a phone set to English is
// not in the United States.
//
// What a number reads as is cached per thread, in a cache of at most
// cacheInfo().capacity identifiers that drops the least recently used one
// when full: while the identifiers in use fit, a comparison costs two hash
// lookups however many distinct numbers an address book and a message
// history hold; beyond that the cost grows with the share of identifiers
// that must be read again (setCacheCapacity() moves the bound). Memory: at
// most about 280 bytes per cached identifier of up to 64 characters (longer
// ones are never cached), so at most about 18 MB at the default 65,536
// entries; cacheInfo() tells what is held now. All functions must be called
// from one thread at a time (the library runs on the caller's event-loop
// thread).
class PhoneNumberUtils
{
public:
    enum NormalizeFlag {
        NormalizeFlagNone = 0,
        // Drop separators, keep a leading '+' and ASCII-fy digits before
        // working on a number. Every caller in the library passes this.
        NormalizeFlagDefault = 1
    };
    Q_DECLARE_FLAGS(NormalizeFlags, NormalizeFlag)

    // True when a and b name the same party.
    static bool remoteAddressMatch(const QString &a, const QString &b,
                                   NormalizeFlags flags = NormalizeFlagDefault);

    // The number in a canonical dialable form ("+358401234567" when the
    // region is known, else digits with an optional leading '+'); an empty
    // string when the identifier is not a phone number. Idempotent, and a
    // number always matches its own normal form.
    static QString normalizePhoneNumber(const QString &identifier,
                                        NormalizeFlags flags = NormalizeFlagDefault);

    // A lookup key: remoteAddressMatch(a, b) implies makeShortNumber(a) ==
    // makeShortNumber(b), so a map keyed by it finds every written form of
    // a number. With the region known the key is the normal form (different
    // numbers, different keys). With the region unknown a national form
    // matches the same digits in any country, so the key of a full number is
    // its last seven digits: numbers that differ only before them share a
    // key. Short codes key on their written digits; non-numbers are returned
    // unchanged.
    static QString makeShortNumber(const QString &number,
                                   NormalizeFlags flags = NormalizeFlagDefault);

    // The number as people read it, grouped in the international form
    // ("+358 40 1234567"); a text that is not a full number comes back as
    // written. For display only, never for matching.
    static QString readableForm(const QString &number);

    // The form the contacts store keeps numbers in: separators dropped, a
    // leading '+' kept, every Unicode decimal digit turned into its ASCII
    // digit. Text that is not a phone number is returned unchanged.
    static QString normalizePhoneNumberForContacts(const QString &number);

    // Every Unicode decimal digit replaced by its ASCII digit; nothing else
    // changes.
    static QString toAsciiDigits(const QString &text);

    // A coarse key for indexing addresses: remoteAddressMatch(a, b) implies
    // matchKey(a) == matchKey(b), so a lookup need only compare the
    // addresses that share the wanted one's key. Matching numbers end with
    // the same national number, at least four digits long whenever both are
    // compared as numbers; texts without digits key on themselves.
    static QString matchKey(const QString &address);

    enum { DefaultCacheCapacity = 65536 };
    struct CacheInfo
    {
        int entries;    // identifiers cached by the calling thread
        int capacity;
        qint64 bytes;   // estimated heap held by that cache
    };
    // Entries cached per thread; 0 or less restores the default. Clears the
    // caches.
    static void setCacheCapacity(int entries);
    static CacheInfo cacheInfo();

    // Region (ISO 3166 two-letter code) for national forms; an empty string
    // returns to the environment's choice.
    static void setDefaultRegion(const QString &region);
    static QString defaultRegion();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PhoneNumberUtils::NormalizeFlags)

#endif // MESSAGING0_PHONENUMBERUTILS_H
