// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// MessageContent as a value and as a stored record, and the send queue's
// file reader on valid, cut, crafted and random input. No bus needed.

#include "messagerecord.h"
#include "queuefile.h"

#include <QDataStream>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>

// The reader must never allocate more than the input can hold: every
// allocation made while g_tracking is set is measured.
namespace {
std::atomic<bool> g_tracking{false};
std::atomic<size_t> g_largest{0};
void track(size_t size)
{
    if (g_tracking.load(std::memory_order_relaxed) && size > g_largest.load(std::memory_order_relaxed))
        g_largest = size;
}
} // namespace

#if defined(__SANITIZE_ADDRESS__)
#define MESSAGING_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MESSAGING_TEST_ASAN 1
#endif
#endif

#ifdef MESSAGING_TEST_ASAN
// AddressSanitizer owns malloc (a replacement here would run before it is
// set up); its allocation hook sees every allocation, operator new, realloc
// and calloc included.
// Declared here: gcc does not install the header that has it
// (sanitizer/allocator_interface.h); its runtime exports it all the same.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void *, size_t),
                                                          void (*freeHook)(const volatile void *));
namespace {
void onAllocation(const volatile void *, size_t size)
{
    track(size);
}
void onFree(const volatile void *)
{
}
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocation, onFree);
} // namespace
#else
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_calloc(size_t count, size_t size);
void *malloc(size_t size)
{
    track(size);
    return __libc_malloc(size);
}
void *realloc(void *pointer, size_t size)
{
    track(size);
    return __libc_realloc(pointer, size);
}
void *calloc(size_t count, size_t size)
{
    track(count * size);
    return __libc_calloc(count, size);
}
}
#endif

namespace {

const QString Cellular = QStringLiteral("/org/freedesktop/Telepathy/Account/tala/tel/tala");

QMap<QString, QDBusVariant> part(std::initializer_list<std::pair<QString, QVariant>> entries)
{
    QMap<QString, QDBusVariant> map;
    for (const auto &entry : entries)
        map.insert(entry.first, QDBusVariant(entry.second));
    return map;
}

QByteArray record(const MessageContent &content)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(12);
    stream << content;
    return bytes;
}

struct Decoded
{
    QueueFile::Contents contents;
    size_t largestAllocation = 0;
};

Decoded decode(const QByteArray &bytes)
{
    Decoded result;
    g_largest = 0;
    g_tracking = true;
    result.contents = QueueFile::decode(bytes);
    g_tracking = false;
    result.largestAllocation = g_largest;
    return result;
}

// What any allocation of the reader may take: the input, plus room for
// containers of the records it really holds.
size_t allocationLimit(const QByteArray &bytes)
{
    return size_t(bytes.size()) * 2 + 4096;
}

QList<MessageContent> sampleMessages()
{
    return {MessageContent(Cellular, QStringLiteral("+358401000002"), QStringLiteral("first"), false, 1),
            MessageContent(Cellular, QStringLiteral("+358401000003"),
                           MsgPartsList{part({}), part({{QStringLiteral("content-type"), QStringLiteral("text/plain")},
                                                        {QStringLiteral("content"), QStringLiteral("second")},
                                                        {QStringLiteral("size"), 6}})},
                           2),
            MessageContent(Cellular, QString(), QStringLiteral("/home/u/card.vcf"), true, 0xFFFFFFFFu)};
}

} // namespace

class MessageContentTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultValueIsNullAndEmpty();
    void copiesShareUntilChanged();
    void partsConstructorLeavesMessageNullAndFlagFalse();

    void recordIsLaidOutByteForByte();
    void recordWithoutPartsHasPartCountZero();
    void roundTripKeepsEveryField_data();
    void roundTripKeepsEveryField();
    void queueFileIsCountThenRecords();

    void emptyQueueAndMissingCountLoad();
    void readerAllocationsAreMeasured();
    void cutFileKeepsCompleteRecordsAtEveryOffset();
    void craftedFileNeitherAllocatesNorCrashes_data();
    void craftedFileNeitherAllocatesNorCrashes();
    void randomAndMutatedBytesAreSafe();
};

void MessageContentTest::defaultValueIsNullAndEmpty()
{
    const MessageContent content;
    QVERIFY(content.account().isNull());
    QVERIFY(content.remoteUid().isNull());
    QVERIFY(content.message().isNull());
    QVERIFY(content.messageParts().isEmpty());
    QVERIFY(!content.isVCard());
    QCOMPARE(content.flags(), 0u);
}

void MessageContentTest::copiesShareUntilChanged()
{
    MessageContent original(Cellular, QStringLiteral("+358401"), QStringLiteral("hi"), false, 3);
    MessageContent copy(original);
    MessageContent assigned;
    assigned = original;
    assigned = assigned;
    copy.setMessage(QStringLiteral("changed"));
    copy.setFlags(9);
    copy.setMessageParts({part({{QStringLiteral("a"), 1}})});
    assigned.setIsVCard(true);
    QCOMPARE(original.message(), QStringLiteral("hi"));
    QCOMPARE(original.flags(), 3u);
    QVERIFY(original.messageParts().isEmpty());
    QVERIFY(!original.isVCard());
    QCOMPARE(copy.message(), QStringLiteral("changed"));
    QCOMPARE(assigned.message(), QStringLiteral("hi"));
    QVERIFY(assigned.isVCard());
}

void MessageContentTest::partsConstructorLeavesMessageNullAndFlagFalse()
{
    const MsgPartsList parts{part({}), part({{QStringLiteral("content"), QStringLiteral("x")}})};
    const MessageContent content(Cellular, QStringLiteral("+358401"), parts, 5);
    QVERIFY(content.message().isNull());
    QVERIFY(!content.isVCard());
    QCOMPARE(content.messageParts().size(), 2);
    QCOMPARE(content.flags(), 5u);
}

void MessageContentTest::recordIsLaidOutByteForByte()
{
    const MessageContent content(
        QStringLiteral("a"), QString(),
        MsgPartsList{part({{QStringLiteral("a"), QStringLiteral("x")},
                           {QStringLiteral("b"), 7},
                           {QStringLiteral("c"), QByteArray("xyz")}})},
        0xDEADBEEF);
    MessageContent withEmptyMessage = content;
    withEmptyMessage.setMessage(QLatin1String(""));

    // Built by hand from Qt's version-12 encodings, big-endian:
    const QByteArray expected = QByteArray::fromHex(
        "00000002" "0061"          // account "a"
        "ffffffff"                 // remote uid: null
        "00000000"                 // message: empty, not null
        "00000001"                 // one part
        "00000003"                 // three entries, largest key first
        "00000002" "0063" "0000000c" "00" "00000003" "78797a" // "c": byte array "xyz"
        "00000002" "0062" "00000002" "00" "00000007"          // "b": int 7
        "00000002" "0061" "0000000a" "00" "00000002" "0078"   // "a": string "x"
        "00"                       // not a vCard
        "deadbeef");               // flags
    QCOMPARE(record(withEmptyMessage).toHex(), expected.toHex());

    MessageContent readBack;
    QDataStream in(expected);
    in.setVersion(12);
    in >> readBack;
    QCOMPARE(in.status(), QDataStream::Ok);
    QVERIFY(in.atEnd());
    QVERIFY(sameMessageContent(readBack, withEmptyMessage));
    QVERIFY(!sameMessageContent(readBack, content)); // null and empty message differ
}

void MessageContentTest::recordWithoutPartsHasPartCountZero()
{
    const QByteArray bytes = record(MessageContent(QString(), QString(), QStringLiteral("v"), true, 1));
    QCOMPARE(bytes.toHex(), QByteArray::fromHex("ffffffff" "ffffffff" "00000002" "0076" "00000000" "01" "00000001").toHex());
}

void MessageContentTest::roundTripKeepsEveryField_data()
{
    QTest::addColumn<MessageContent>("content");
    QTest::newRow("defaults") << MessageContent();
    QTest::newRow("empty strings") << MessageContent(QLatin1String(""), QLatin1String(""), QLatin1String(""), false, 0);
    QTest::newRow("text, all flag bits")
        << MessageContent(Cellular, QStringLiteral("+358 40 123"), QStringLiteral("Hyvää päivää \U0001F600"), false, 0xFFFFFFFFu);
    QTest::newRow("vCard path") << MessageContent(Cellular, QStringLiteral("bob@loop.test"), QStringLiteral("/tmp/a.vcf"), true, 7);
    QTest::newRow("parts of every plain type")
        << MessageContent(Cellular, QStringLiteral("+358401"),
                          MsgPartsList{part({}),
                                       part({{QStringLiteral("content"), QStringLiteral("x")},
                                             {QStringLiteral("size"), -5},
                                             {QStringLiteral("u"), 5u},
                                             {QStringLiteral("big"), qlonglong(1) << 40},
                                             {QStringLiteral("d"), 2.5},
                                             {QStringLiteral("flag"), true},
                                             {QStringLiteral("list"), QStringList{QStringLiteral("a"), QString()}},
                                             {QStringLiteral("bytes"), QByteArray("\0\1\2", 3)},
                                             {QStringLiteral("nested"), QVariantMap{{QStringLiteral("k"), QVariantList{1, QStringLiteral("s")}}}},
                                             {QStringLiteral("empty"), QByteArray()}})},
                          42);
}

void MessageContentTest::roundTripKeepsEveryField()
{
    QFETCH(MessageContent, content);
    const QByteArray bytes = record(content);
    MessageContent readBack(QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("old"), true, 1);
    QDataStream in(bytes);
    in.setVersion(12);
    in >> readBack;
    QCOMPARE(in.status(), QDataStream::Ok);
    QVERIFY(in.atEnd());
    QVERIFY(sameMessageContent(readBack, content));
    QCOMPARE(record(readBack), bytes);
}

void MessageContentTest::queueFileIsCountThenRecords()
{
    const QList<MessageContent> messages = sampleMessages();
    QByteArray expected = QByteArray::fromHex("00000003");
    for (const MessageContent &message : messages)
        expected += record(message);
    const QByteArray file = QueueFile::encode(messages);
    QCOMPARE(file, expected);

    const QueueFile::Contents contents = QueueFile::decode(file);
    QVERIFY(!contents.damaged);
    QCOMPARE(contents.messages.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(sameMessageContent(contents.messages.at(i), messages.at(i)));
}

void MessageContentTest::emptyQueueAndMissingCountLoad()
{
    QCOMPARE(QueueFile::encode({}), QByteArray::fromHex("00000000"));
    const QueueFile::Contents empty = QueueFile::decode(QByteArray::fromHex("00000000"));
    QVERIFY(!empty.damaged);
    QVERIFY(empty.messages.isEmpty());
    // An empty or 3-byte file is not a queue: nothing to load, kept aside.
    QVERIFY(QueueFile::decode(QByteArray()).damaged);
    QVERIFY(QueueFile::decode(QByteArray::fromHex("000000")).damaged);
    // Bytes after the last counted record.
    QVERIFY(QueueFile::decode(QueueFile::encode(sampleMessages()) + '\0').damaged);
}

// The limits below mean something only if the measuring works, in the
// sanitizer build (allocation hook) as in the normal one (malloc).
void MessageContentTest::readerAllocationsAreMeasured()
{
    const QList<MessageContent> messages = sampleMessages();
    const Decoded decoded = decode(QueueFile::encode(messages));
    QCOMPARE(decoded.contents.messages.size(), messages.size());
    QVERIFY(decoded.largestAllocation > 0);
}

void MessageContentTest::cutFileKeepsCompleteRecordsAtEveryOffset()
{
    const QList<MessageContent> messages = sampleMessages();
    const QByteArray file = QueueFile::encode(messages);
    QList<int> recordEnds;
    int end = 4;
    for (const MessageContent &message : messages)
        recordEnds << (end += record(message).size());

    for (int cut = 0; cut < file.size(); ++cut) {
        const QByteArray bytes = file.left(cut);
        const Decoded decoded = decode(bytes);
        const int complete = int(std::count_if(recordEnds.cbegin(), recordEnds.cend(),
                                               [cut](int recordEnd) { return recordEnd <= cut; }));
        QVERIFY2(decoded.contents.damaged, qPrintable(QString::number(cut)));
        QCOMPARE(decoded.contents.messages.size(), complete);
        for (int i = 0; i < complete; ++i)
            QVERIFY(sameMessageContent(decoded.contents.messages.at(i), messages.at(i)));
        QVERIFY2(decoded.largestAllocation <= allocationLimit(bytes),
                 qPrintable(QStringLiteral("cut %1: %2 bytes").arg(cut).arg(decoded.largestAllocation)));
    }
}

void MessageContentTest::craftedFileNeitherAllocatesNorCrashes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("complete");

    const QByteArray good = record(sampleMessages().at(0));
    const QByteArray header = QByteArray::fromHex("00000002") + good; // one good record, a second one crafted
    const QByteArray strings = QByteArray::fromHex("00000002" "0061" "ffffffff" "00000000");

    QTest::newRow("record count 0xFFFFFFFF") << QByteArray::fromHex("ffffffff") + good + good << 2;
    QTest::newRow("part count 0xFFFFFFFF") << header + strings + QByteArray::fromHex("ffffffff") << 1;
    QTest::newRow("entry count 0xFFFFFFFF")
        << header + strings + QByteArray::fromHex("00000001" "ffffffff" "00000002" "0061") << 1;
    QTest::newRow("string length 0x7FFFFFFE") << header + QByteArray::fromHex("7ffffffe" "0061") << 1;
    QTest::newRow("byte array length 0xFFFFFFF0")
        << header + strings + QByteArray::fromHex("00000001" "00000001" "00000002" "0061" "0000000c" "00" "fffffff0") << 1;
    QTest::newRow("variant list count 0xFFFFFFFF")
        << header + strings + QByteArray::fromHex("00000001" "00000001" "00000002" "0061" "00000009" "00" "ffffffff") << 1;
    QTest::newRow("string list count 0xFFFFFFFF")
        << header + strings + QByteArray::fromHex("00000001" "00000001" "00000002" "0061" "0000000b" "00" "ffffffff") << 1;
    QTest::newRow("odd string length") << header + QByteArray::fromHex("00000003" "006100") << 1;
    QTest::newRow("type that is not plain data (user type)")
        << header + strings + QByteArray::fromHex("00000001" "00000001" "00000002" "0061" "0000007f" "00" "00000005" "51496d616700") << 1;
    QByteArray deep = header + strings + QByteArray::fromHex("00000001" "00000001" "00000002" "0061");
    for (int i = 0; i < 100000; ++i)
        deep += QByteArray::fromHex("00000009" "00" "00000001");
    QTest::newRow("lists nested 100,000 deep") << deep << 1;
}

void MessageContentTest::craftedFileNeitherAllocatesNorCrashes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, complete);
    const Decoded decoded = decode(bytes);
    QVERIFY(decoded.contents.damaged);
    QCOMPARE(decoded.contents.messages.size(), complete);
    QVERIFY(sameMessageContent(decoded.contents.messages.first(), sampleMessages().at(0)));
    QVERIFY2(decoded.largestAllocation <= allocationLimit(bytes),
             qPrintable(QString::number(decoded.largestAllocation)));
}

void MessageContentTest::randomAndMutatedBytesAreSafe()
{
    QRandomGenerator random(12);
    const QByteArray valid = QueueFile::encode(sampleMessages());
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        if (round % 2) {
            bytes.resize(int(random.bounded(300)));
            for (char &byte : bytes)
                byte = char(random.bounded(256));
        } else {
            bytes = valid;
            for (int flips = int(random.bounded(1, 6)); flips > 0; --flips)
                bytes[int(random.bounded(bytes.size()))] = char(random.bounded(256));
        }
        const Decoded decoded = decode(bytes);
        QVERIFY2(decoded.largestAllocation <= allocationLimit(bytes),
                 qPrintable(QStringLiteral("%1: %2").arg(QString::fromLatin1(bytes.toHex())).arg(decoded.largestAllocation)));
        // Whatever loads is written back the same way.
        const QueueFile::Contents again = QueueFile::decode(QueueFile::encode(decoded.contents.messages));
        QVERIFY(!again.damaged);
        QCOMPARE(again.messages.size(), decoded.contents.messages.size());
    }
}

QTEST_GUILESS_MAIN(MessageContentTest)
#include "tst_messagecontent.moc"
