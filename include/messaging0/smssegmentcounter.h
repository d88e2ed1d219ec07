// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_SMSSEGMENTCOUNTER_H
#define MESSAGING0_SMSSEGMENTCOUNTER_H

#include "messaging0global.h"

#include <QObject>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class SmsSegmentCounterData;

//! How many SMS messages a text takes, and how much room is left in the last one.
//! A text whose every character is in the GSM 03.38 default alphabet or its
//! extension table is sent in 7-bit units (septets): an extension character
//! (for example "€", "[" or "{") takes two, an escape and the character. Such
//! a text fits 160 septets in one message, 153 per part once it needs more.
//! Any other text is sent as UCS-2: 70 UTF-16 code units in one message, 67
//! per part; a character outside the Basic Multilingual Plane (an emoji) takes
//! two units. Neither an extension character nor a surrogate pair is ever
//! split between two parts: the part ends early instead.
//!
//! An empty text takes no message (segments() is 0) and leaves the whole
//! first message free. Implicitly shared; setText() detaches.
class MESSAGING0_EXPORT SmsSegmentCounter
{
    Q_GADGET
public:
    //! The character set a text is sent in.
    enum Encoding {
        Gsm7 = 0, //!< GSM 03.38 default alphabet with its extension table, 7-bit units
        Ucs2 = 1  //!< UCS-2 (UTF-16 code units), for every other text
    };
    Q_ENUM(Encoding)

    //! Units one message holds, alone or as a part of a longer text.
    enum Limits {
        Gsm7SingleLimit = 160, //!< septets in a text that fits one message
        Gsm7PartLimit = 153,   //!< septets per part of a longer text
        Ucs2SingleLimit = 70,  //!< UTF-16 units in a text that fits one message
        Ucs2PartLimit = 67     //!< UTF-16 units per part of a longer text
    };

    //! An empty text.
    SmsSegmentCounter();
    //! Counts text.
    explicit SmsSegmentCounter(const QString &text);
    //! A shared copy.
    SmsSegmentCounter(const SmsSegmentCounter &other);
    //! Shares other's text and counts.
    SmsSegmentCounter &operator=(const SmsSegmentCounter &other);
    ~SmsSegmentCounter();

    //! Replaces the text and counts it again.
    void setText(const QString &text);
    //! The text counted.
    QString text() const;

    //! The character set the text goes out in.
    Encoding encoding() const;
    //! The whole text's size in units of its encoding (septets or UTF-16 units).
    int units() const;
    //! Messages the text takes; 0 for an empty text.
    int segments() const;
    //! Units still free in the last message before another one is needed.
    int remaining() const;
    //! The limit of the last message: 160 or 153 for GSM 7-bit, 70 or 67 for UCS-2.
    int segmentLimit() const;
    //! The text of each message, in order; their concatenation is the text.
    QStringList parts() const;

    //! The encoding a text needs.
    static Encoding encodingFor(const QString &text);
    //! The size of text in units of encoding; -1 when a character of the text
    //! cannot be written in GSM 7-bit and Gsm7 is asked for.
    static int unitsIn(const QString &text, Encoding encoding);

private:
    QSharedDataPointer<SmsSegmentCounterData> d;
};

Q_DECLARE_METATYPE(SmsSegmentCounter)

#endif // MESSAGING0_SMSSEGMENTCOUNTER_H
