// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MESSAGING_TOOL_WATCHDOG_H
#define MESSAGING_TOOL_WATCHDOG_H

#include <QElapsedTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Ends the process with the time-out exit code when the run outlives its
// deadline although the event loop cannot notice: connecting to the session
// bus blocks, and a bus that accepts the connection but never answers keeps
// it blocked for good. Runs on a thread of its own from construction until
// destruction.
class Watchdog
{
public:
    // The deadline is the time-out counted from the program's start.
    explicit Watchdog(int timeoutSeconds, const std::string &stage = "the session bus");
    Watchdog(std::chrono::milliseconds timeout, int timeoutSeconds, const std::string &stage);
    ~Watchdog();

    // What the run waits for now, named in the time-out message.
    void setStage(const std::string &stage);
    // The deadline moves this much later: once the event loop runs, the
    // program's own timer ends the run in order and this is only the
    // backstop.
    void extend(std::chrono::milliseconds grace);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::chrono::steady_clock::time_point m_deadline;
    std::string m_stage;
    int m_timeoutSeconds;
    bool m_stopping = false;
    std::thread m_thread; // last: started once everything above is set
};

// The program's start, from which every time-out of the run counts; started
// by the first call.
const QElapsedTimer &programClock();

// Connects to the session bus, bounded by the watchdog; false with a
// diagnostic when there is no bus.
bool sessionBusAvailable(Watchdog &watchdog);

#endif // MESSAGING_TOOL_WATCHDOG_H
