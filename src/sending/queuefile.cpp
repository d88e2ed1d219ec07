// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "queuefile.h"

#include "messagerecord.h"

#include <QDataStream>
#include <QtEndian>

QByteArray QueueFile::encode(const QList<MessageContent> &messages)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(StreamVersion);
    stream << quint32(messages.size());
    for (const MessageContent &message : messages)
        stream << message;
    return bytes;
}

QByteArray QueueFile::record(const MessageContent &message)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(StreamVersion);
    stream << message;
    return bytes;
}

QByteArray QueueFile::fromRecords(const QList<QByteArray> &records)
{
    int size = 4;
    for (const QByteArray &record : records)
        size += record.size();
    QByteArray bytes;
    bytes.reserve(size);
    const quint32 count = qToBigEndian(quint32(records.size()));
    bytes.append(reinterpret_cast<const char *>(&count), 4);
    for (const QByteArray &record : records)
        bytes.append(record);
    return bytes;
}

QueueFile::Contents QueueFile::decode(const QByteArray &bytes)
{
    Contents contents;
    QDataStream stream(bytes);
    stream.setVersion(StreamVersion);

    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok) {
        contents.damaged = true;
        return contents;
    }
    // The count is only believed as far as records follow: each record
    // takes bytes, so the loop ends with the data whatever the count says.
    quint32 read = 0;
    while (read < count && !stream.atEnd()) {
        const qint64 start = stream.device()->pos();
        MessageContent message;
        stream >> message;
        if (stream.status() != QDataStream::Ok)
            break;
        contents.messages.append(message);
        contents.records.append(bytes.mid(int(start), int(stream.device()->pos() - start)));
        ++read;
    }
    contents.damaged = read < count || !stream.atEnd() || stream.status() != QDataStream::Ok;
    return contents;
}
