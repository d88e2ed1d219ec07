// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

import QtQuick 2.15
import QtTest 1.2
import Messaging 1.0

TestCase {
    name: "SmsCounter"

    SmsCounter { id: counter }

    function times(s, n) { return new Array(n + 1).join(s) }

    function test_counts_data() {
        return [
            { tag: "plain 160", text: times("a", 160), encoding: "gsm7", segments: 1, remaining: 0 },
            { tag: "plain 161", text: times("a", 161), encoding: "gsm7", segments: 2, remaining: 145 },
            { tag: "extension counts two", text: times("a", 159) + "€", encoding: "gsm7", segments: 2, remaining: 145 },
            { tag: "ucs2 70", text: times("Ж", 70), encoding: "ucs2", segments: 1, remaining: 0 },
            { tag: "ucs2 71", text: times("Ж", 71), encoding: "ucs2", segments: 2, remaining: 63 },
            { tag: "emoji on a part boundary", text: times("Ж", 66) + "\uD83D\uDE00" + times("Ж", 3),
              encoding: "ucs2", segments: 2, remaining: 62 },
        ]
    }

    function test_counts(data) {
        counter.text = data.text
        compare(counter.encoding, data.encoding)
        compare(counter.segments, data.segments)
        compare(counter.remaining, data.remaining)
    }
}
