// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING0_QUEUEFILE_H
#define MESSAGING0_QUEUEFILE_H

#include "messagecontent.h"

#include <QByteArray>
#include <QList>

// The send queue's file: a QDataStream of version 12, big-endian, holding a
// 32-bit record count and then the records (see messagerecord.h), oldest
// first. No header or version of its own: files written by earlier releases
// and other readers rely on exactly this layout.
class QueueFile
{
public:
    static constexpr int StreamVersion = 12;

    struct Contents
    {
        // Every complete record before the first damage, in file order,
        // and the bytes of each.
        QList<MessageContent> messages;
        QList<QByteArray> records;
        // Fewer records than counted, a record that does not read, bytes
        // after the last record, or no count at all.
        bool damaged = false;
    };

    static QByteArray encode(const QList<MessageContent> &messages);
    // The same from records encoded beforehand: saving a long queue then
    // costs little more than writing it.
    static QByteArray record(const MessageContent &message);
    static QByteArray fromRecords(const QList<QByteArray> &records);
    static Contents decode(const QByteArray &bytes);
};

#endif // MESSAGING0_QUEUEFILE_H
