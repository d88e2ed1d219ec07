// SPDX-FileCopyrightText: 2026 libmessaging0 maintainers
//
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "watchdog.h"

#include "commands.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

Watchdog::Watchdog(std::chrono::milliseconds timeout, int timeoutSeconds, const std::string &stage)
    : m_deadline(std::chrono::steady_clock::now() + timeout)
    , m_stage(stage)
    , m_timeoutSeconds(timeoutSeconds)
    , m_thread(&Watchdog::run, this)
{
}

Watchdog::Watchdog(int timeoutSeconds, const std::string &stage)
    : Watchdog(std::chrono::seconds(timeoutSeconds) - std::chrono::milliseconds(programClock().elapsed()),
               timeoutSeconds, stage)
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Watchdog::setStage(const std::string &stage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stage = stage;
}

void Watchdog::extend(std::chrono::milliseconds grace)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deadline += grace;
    }
    m_wake.notify_all();
}

void Watchdog::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (m_wake.wait_until(lock, m_deadline) != std::cv_status::timeout)
            continue;
        if (m_stopping || std::chrono::steady_clock::now() < m_deadline)
            continue;
        // The main thread is stuck: nothing of it can run any more, so
        // leave without destructors.
        std::fprintf(stderr, "messaging: timed out after %d s waiting for %s\n", m_timeoutSeconds,
                     m_stage.c_str());
        std::fflush(stderr);
        std::fflush(stdout);
        std::_Exit(ExitTimeout);
    }
}

const QElapsedTimer &programClock()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock;
}

// Once the event loop runs, the command's own timer ends the run at its
// time-out; the watchdog stays behind it as a backstop.
constexpr std::chrono::milliseconds WatchdogGrace(3000);

bool sessionBusAvailable(Watchdog &watchdog)
{
    watchdog.setStage("the session bus");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    watchdog.extend(WatchdogGrace);
    if (bus.isConnected())
        return true;
    QTextStream(stderr) << "messaging: no D-Bus session bus: " << bus.lastError().message() << "\n";
    return false;
}
