// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagesize.h"

#include "chatsession.h"
#include "messagestatus.h"

#include <QVariant>

namespace {

// Framing per map entry: the entry's alignment, the string length word and
// the variant's signature, rounded up.
constexpr qint64 EntryOverhead = 16;

qint64 valueSize(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QString:
        return MessageSize::utf8Length(value.toString());
    case QMetaType::QByteArray:
        return value.toByteArray().size();
    case QMetaType::QStringList: {
        qint64 size = 0;
        for (const QString &s : value.toStringList())
            size += MessageSize::utf8Length(s) + EntryOverhead;
        return size;
    }
    default:
        if (value.userType() == qMetaTypeId<QDBusVariant>())
            return valueSize(value.value<QDBusVariant>().variant());
        return 8;
    }
}

} // namespace

qint64 MessageSize::utf8Length(const QString &text)
{
    qint64 length = 0;
    const QChar *c = text.constData();
    const QChar *end = c + text.size();
    for (; c != end; ++c) {
        const ushort u = c->unicode();
        if (u < 0x80)
            length += 1;
        else if (u < 0x800)
            length += 2;
        else if (QChar::isHighSurrogate(u) && c + 1 != end && QChar::isLowSurrogate((c + 1)->unicode())) {
            length += 4;
            ++c;
        } else
            length += 3;
    }
    return length;
}

qint64 MessageSize::of(const MsgPartsList &parts)
{
    qint64 size = 0;
    for (const QMap<QString, QDBusVariant> &part : parts) {
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            size += utf8Length(it.key()) + valueSize(it.value().variant()) + EntryOverhead;
    }
    return size;
}

bool MessageSize::isTooLarge(const MsgPartsList &parts)
{
    return of(parts) > MessageStatus::MaximumMessageSize;
}
