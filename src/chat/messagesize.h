// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGESIZE_H
#define MESSAGING0_MESSAGESIZE_H

#include "messagingtypes.h"

// The size a message has on the bus, measured without building the bus
// message: what must be known before a message is handed to Telepathy.
class MessageSize
{
public:
    // Bytes of content and part headers: strings in UTF-8, byte arrays as
    // they are, other values 8 bytes each. Close to (never far below) the
    // marshalled size, which adds a few bytes of framing per entry.
    static qint64 of(const MsgPartsList &parts);
    // Above MessageStatus::MaximumMessageSize.
    static bool isTooLarge(const MsgPartsList &parts);
    static qint64 utf8Length(const QString &text);
};

#endif // MESSAGING0_MESSAGESIZE_H
