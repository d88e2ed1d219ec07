// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_MESSAGERECORD_H
#define MESSAGING0_MESSAGERECORD_H

#include "messagecontent.h"

#include <QDataStream>

// The stored record of one message (the send queue's file holds these):
// account, remote uid and message as QString; the parts as a list of
// QMap<QString, QVariant> (the QDBusVariant wrapper dropped); the vCard flag
// as bool; the flags as quint32. Qt's own encodings, no tags of its own.
//
// Reading never trusts a count: a count or length that the rest of the
// stream cannot hold, a value type that is not plain data, or values nested
// deeper than a few levels set the stream's status to ReadCorruptData, and
// the target is then left unchanged. A record cut short by the end of the
// stream sets ReadPastEnd and leaves the target unchanged as well.
QDataStream &operator<<(QDataStream &stream, const MessageContent &content);
QDataStream &operator>>(QDataStream &stream, MessageContent &content);

// True when two values hold the same fields (parts compared by their inner
// values).
bool sameMessageContent(const MessageContent &a, const MessageContent &b);

#endif // MESSAGING0_MESSAGERECORD_H
