// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "messagecontent_p.h"
#include "messagerecord.h"

#include <QIODevice>
#include <QtEndian>
#include <QVariant>

#include <limits>

MessageContent::MessageContent()
    : d(new MessageContentData)
{
}

MessageContent::MessageContent(const QString &account, const QString &remoteUid,
                               const QString &message, bool isVCard, unsigned int flags)
    : d(new MessageContentData)
{
    d->account = account;
    d->remoteUid = remoteUid;
    d->message = message;
    d->isVCard = isVCard;
    d->flags = flags;
}

MessageContent::MessageContent(const QString &account, const QString &remoteUid,
                               const MsgPartsList &messageParts, unsigned int flags)
    : d(new MessageContentData)
{
    d->account = account;
    d->remoteUid = remoteUid;
    d->messageParts = messageParts;
    d->isVCard = false;
    d->flags = flags;
}

MessageContent::MessageContent(const MessageContent &other) = default;
MessageContent &MessageContent::operator=(const MessageContent &other) = default;
MessageContent::~MessageContent() = default;

QString MessageContent::account() const { return d->account; }
QString MessageContent::remoteUid() const { return d->remoteUid; }
QString MessageContent::message() const { return d->message; }
MsgPartsList MessageContent::messageParts() const { return d->messageParts; }
bool MessageContent::isVCard() const { return d->isVCard; }
unsigned int MessageContent::flags() const { return d->flags; }

void MessageContent::setAccount(const QString &account) { d->account = account; }
void MessageContent::setRemoteUid(const QString &remoteUid) { d->remoteUid = remoteUid; }
void MessageContent::setMessage(const QString &message) { d->message = message; }
void MessageContent::setMessageParts(const MsgPartsList &messageParts) { d->messageParts = messageParts; }
void MessageContent::setIsVCard(bool isVCard) { d->isVCard = isVCard; }
void MessageContent::setFlags(unsigned int flags) { d->flags = flags; }

bool sameMessageContent(const MessageContent &a, const MessageContent &b)
{
    if (a.account() != b.account() || a.remoteUid() != b.remoteUid()
        || a.message() != b.message() || a.isVCard() != b.isVCard() || a.flags() != b.flags())
        return false;
    // QString's == treats null and empty as equal; the record keeps them apart.
    if (a.account().isNull() != b.account().isNull() || a.remoteUid().isNull() != b.remoteUid().isNull()
        || a.message().isNull() != b.message().isNull())
        return false;
    const MsgPartsList partsA = a.messageParts();
    const MsgPartsList partsB = b.messageParts();
    if (partsA.size() != partsB.size())
        return false;
    for (int i = 0; i < partsA.size(); ++i) {
        const QMap<QString, QDBusVariant> &partA = partsA.at(i);
        const QMap<QString, QDBusVariant> &partB = partsB.at(i);
        if (partA.keys() != partB.keys())
            return false;
        for (auto it = partA.cbegin(); it != partA.cend(); ++it) {
            const QVariant valueA = it.value().variant();
            const QVariant valueB = partB.value(it.key()).variant();
            if (valueA.userType() != valueB.userType() || valueA != valueB)
                return false;
        }
    }
    return true;
}

QDataStream &operator<<(QDataStream &stream, const MessageContent &content)
{
    stream << content.account() << content.remoteUid() << content.message();

    QList<QMap<QString, QVariant>> plainParts;
    const MsgPartsList parts = content.messageParts();
    plainParts.reserve(parts.size());
    for (const QMap<QString, QDBusVariant> &part : parts) {
        QMap<QString, QVariant> plain;
        for (auto it = part.cbegin(); it != part.cend(); ++it)
            plain.insert(it.key(), it.value().variant());
        plainParts.append(plain);
    }
    stream << plainParts;

    stream << content.isVCard() << quint32(content.flags());
    return stream;
}

namespace {

// Type ids as stream version 12 writes them (the older numbering; the
// plain types below have the same numbers in both).
enum WireType : quint32 {
    WireInvalid = 0,
    WireBool = 1,
    WireInt = 2,
    WireUInt = 3,
    WireLongLong = 4,
    WireULongLong = 5,
    WireDouble = 6,
    WireChar = 7,
    WireVariantMap = 8,
    WireVariantList = 9,
    WireString = 10,
    WireStringList = 11,
    WireByteArray = 12,
    WireVariantHash = 28
};

// Nested lists and maps in a part value; real parts hold none.
constexpr int MaxNesting = 8;
// Smallest encodings: a string or byte array (its length), a variant (type
// id and null flag), a map entry (key and variant).
constexpr qint64 MinStringSize = 4;
constexpr qint64 MinVariantSize = 5;
constexpr qint64 MinEntrySize = MinStringSize + MinVariantSize;

// Reads Qt's encodings with every count and length checked against what
// the stream can still hold, so that a crafted count never becomes an
// allocation or a long loop.
class BoundedReader
{
public:
    explicit BoundedReader(QDataStream &stream)
        : m_stream(stream)
    {
    }

    bool ok() const { return m_stream.status() == QDataStream::Ok; }

    qint64 remaining() const
    {
        const QIODevice *device = m_stream.device();
        if (!device || device->isSequential())
            return std::numeric_limits<qint64>::max();
        return device->size() - device->pos();
    }

    bool fail(QDataStream::Status status)
    {
        if (ok())
            m_stream.setStatus(status);
        return false;
    }

    // A count of items of at least minSize bytes each.
    bool readCount(quint32 &count, qint64 minSize)
    {
        m_stream >> count;
        if (!ok())
            return false;
        if (qint64(count) > remaining() / minSize)
            return fail(QDataStream::ReadCorruptData);
        return true;
    }

    // QString and QByteArray share one layout: a byte length, 0xFFFFFFFF for
    // null, then the bytes.
    bool checkLength()
    {
        QIODevice *device = m_stream.device();
        // Without look-ahead Qt's own reader still allocates in bounded steps.
        if (!device || device->isSequential())
            return true;
        const QByteArray bytes = device->peek(4);
        if (bytes.size() < 4)
            return fail(QDataStream::ReadPastEnd);
        const quint32 length = m_stream.byteOrder() == QDataStream::BigEndian
            ? qFromBigEndian<quint32>(bytes.constData())
            : qFromLittleEndian<quint32>(bytes.constData());
        if (length != 0xFFFFFFFF && qint64(length) > remaining() - 4)
            return fail(QDataStream::ReadPastEnd);
        return true;
    }

    bool readString(QString &value)
    {
        if (!checkLength())
            return false;
        m_stream >> value;
        return ok();
    }

    bool readByteArray(QByteArray &value)
    {
        if (!checkLength())
            return false;
        m_stream >> value;
        return ok();
    }

    bool readVariant(QVariant &value, int depth)
    {
        quint32 type = 0;
        qint8 isNull = 0;
        m_stream >> type >> isNull;
        if (!ok())
            return false;
        switch (type) {
        case WireInvalid: {
            // Written as a null string after the header.
            QString ignored;
            if (!readString(ignored))
                return false;
            value = QVariant();
            return true;
        }
        case WireBool: return readPlain<bool>(value);
        case WireInt: return readPlain<qint32, int>(value);
        case WireUInt: return readPlain<quint32, uint>(value);
        case WireLongLong: return readPlain<qint64, qlonglong>(value);
        case WireULongLong: return readPlain<quint64, qulonglong>(value);
        case WireDouble: return readPlain<double>(value);
        case WireChar: return readPlain<QChar>(value);
        case WireString: {
            QString string;
            if (!readString(string))
                return false;
            value = string;
            return true;
        }
        case WireByteArray: {
            QByteArray bytes;
            if (!readByteArray(bytes))
                return false;
            value = bytes;
            return true;
        }
        case WireStringList: {
            quint32 count = 0;
            if (!readCount(count, MinStringSize))
                return false;
            QStringList list;
            for (quint32 i = 0; i < count; ++i) {
                QString item;
                if (!readString(item))
                    return false;
                list.append(item);
            }
            value = list;
            return true;
        }
        case WireVariantList: {
            if (depth >= MaxNesting)
                return fail(QDataStream::ReadCorruptData);
            quint32 count = 0;
            if (!readCount(count, MinVariantSize))
                return false;
            QVariantList list;
            for (quint32 i = 0; i < count; ++i) {
                QVariant item;
                if (!readVariant(item, depth + 1))
                    return false;
                list.append(item);
            }
            value = list;
            return true;
        }
        case WireVariantMap:
        case WireVariantHash: {
            if (depth >= MaxNesting)
                return fail(QDataStream::ReadCorruptData);
            QVariantMap map;
            if (!readMap(map, depth + 1))
                return false;
            if (type == WireVariantHash) {
                QVariantHash hash;
                for (auto it = map.cbegin(); it != map.cend(); ++it)
                    hash.insert(it.key(), it.value());
                value = hash;
            } else {
                value = map;
            }
            return true;
        }
        default:
            // Anything else is not plain message data: not ours to load.
            return fail(QDataStream::ReadCorruptData);
        }
    }

    bool readMap(QVariantMap &map, int depth)
    {
        quint32 count = 0;
        if (!readCount(count, MinEntrySize))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            QVariant value;
            if (!readString(key) || !readVariant(value, depth))
                return false;
            map.insert(key, value);
        }
        return true;
    }

private:
    template<typename Wire, typename Value = Wire>
    bool readPlain(QVariant &value)
    {
        Wire wire{};
        m_stream >> wire;
        if (!ok())
            return false;
        value = QVariant::fromValue(Value(wire));
        return true;
    }

    QDataStream &m_stream;
};

} // namespace

QDataStream &operator>>(QDataStream &stream, MessageContent &content)
{
    BoundedReader reader(stream);
    if (!reader.ok())
        return stream;

    QString account;
    QString remoteUid;
    QString message;
    if (!reader.readString(account) || !reader.readString(remoteUid) || !reader.readString(message))
        return stream;

    quint32 partCount = 0;
    if (!reader.readCount(partCount, MinStringSize))
        return stream;
    MsgPartsList parts;
    for (quint32 i = 0; i < partCount; ++i) {
        QVariantMap plain;
        if (!reader.readMap(plain, 0))
            return stream;
        QMap<QString, QDBusVariant> part;
        for (auto it = plain.cbegin(); it != plain.cend(); ++it)
            part.insert(it.key(), QDBusVariant(it.value()));
        parts.append(part);
    }

    bool isVCard = false;
    quint32 flags = 0;
    stream >> isVCard >> flags;
    if (!reader.ok())
        return stream;

    content.setAccount(account);
    content.setRemoteUid(remoteUid);
    content.setMessage(message);
    content.setMessageParts(parts);
    content.setIsVCard(isVCard);
    content.setFlags(flags);
    return stream;
}
