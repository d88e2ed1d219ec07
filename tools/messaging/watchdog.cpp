#include "watchdog.h"

#include "commands.h"

#include <cstdio>
#include <cstdlib>

Watchdog::Watchdog(std::chrono::milliseconds timeout, int timeoutSeconds, const std::string &stage)
    : m_deadline(std::chrono::steady_clock::now() + timeout)
    , m_stage(stage)
    , m_timeoutSeconds(timeoutSeconds)
    , m_thread(&Watchdog::run, this)
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
