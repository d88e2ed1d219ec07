// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TESTHELPERS_H
#define MESSAGING_TESTHELPERS_H

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QtTest>

namespace Tp {
class PendingOperation;
}

// Waits until spy has recorded at least count signals, or timeoutMs passed.
bool waitFor(QSignalSpy &spy, int count = 1, int timeoutMs = 5000);

// Serves the event loop until done() holds or timeoutMs passed; returns done().
// For what QSignalSpy cannot record (Telepathy-Qt types that are no meta-types).
template<typename Predicate>
bool waitUntil(Predicate done, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Waits for a Telepathy operation to finish; true when it succeeded, else a
// warning with its error. The operation deletes itself: do not touch it
// afterwards.
bool expectSuccessfulCall(Tp::PendingOperation *operation, int timeoutMs = 10000);

// Like expectSuccessfulCall, but expects a failure and gives its error name
// (empty when the operation succeeded or timed out).
QString expectFailedCall(Tp::PendingOperation *operation, int timeoutMs = 10000);

#endif
