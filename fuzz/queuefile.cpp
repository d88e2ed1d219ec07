// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

// The send queue's file reader on arbitrary bytes: whatever it loads must
// save and load again to the same records. Crashes, leaks, over-allocation
// (libFuzzer's -malloc_limit_mb) and time-outs are the findings.

#include "messagerecord.h"
#include "queuefile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const QueueFile::Contents contents = QueueFile::decode(bytes);

    const QByteArray saved = QueueFile::encode(contents.messages);
    const QueueFile::Contents reloaded = QueueFile::decode(saved);
    if (reloaded.damaged || reloaded.messages.size() != contents.messages.size())
        std::abort();
    if (QueueFile::encode(reloaded.messages) != saved)
        std::abort();
    // An undamaged file holds exactly its records.
    if (!contents.damaged && contents.messages.isEmpty() && size != 4)
        std::abort();
    return 0;
}
