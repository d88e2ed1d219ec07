// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "testhelpers.h"

#include <TelepathyQt/PendingOperation>

#include <QDeadlineTimer>
#include <QPointer>

namespace {

struct Outcome {
    bool finished = false;
    bool failed = false;
    QString errorName;
    QString errorMessage;
};

Outcome waitForOperation(Tp::PendingOperation *operation, int timeoutMs)
{
    Outcome outcome;
    if (!operation) {
        outcome.finished = true;
        outcome.failed = true;
        outcome.errorName = QStringLiteral("(null operation)");
        return outcome;
    }
    // Read the result at once: the operation deletes itself afterwards.
    QObject::connect(operation, &Tp::PendingOperation::finished, [&outcome](Tp::PendingOperation *op) {
        outcome.finished = true;
        outcome.failed = op->isError();
        outcome.errorName = op->errorName();
        outcome.errorMessage = op->errorMessage();
    });
    QPointer<Tp::PendingOperation> guard(operation);
    QDeadlineTimer deadline(timeoutMs);
    while (!outcome.finished && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (!outcome.finished && guard)
        QObject::disconnect(guard.data(), &Tp::PendingOperation::finished, nullptr, nullptr);
    return outcome;
}

} // namespace

bool waitFor(QSignalSpy &spy, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (spy.count() < count) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !spy.wait(int(left)))
            return spy.count() >= count;
    }
    return true;
}

bool expectSuccessfulCall(Tp::PendingOperation *operation, int timeoutMs)
{
    const Outcome outcome = waitForOperation(operation, timeoutMs);
    if (!outcome.finished) {
        qWarning("Telepathy operation did not finish within %d ms", timeoutMs);
        return false;
    }
    if (outcome.failed) {
        qWarning("Telepathy operation failed: %s: %s", qPrintable(outcome.errorName), qPrintable(outcome.errorMessage));
        return false;
    }
    return true;
}

QString expectFailedCall(Tp::PendingOperation *operation, int timeoutMs)
{
    const Outcome outcome = waitForOperation(operation, timeoutMs);
    if (!outcome.finished)
        qWarning("Telepathy operation did not finish within %d ms", timeoutMs);
    else if (!outcome.failed)
        qWarning("Telepathy operation succeeded where a failure was expected");
    return outcome.failed ? outcome.errorName : QString();
}
