#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

class ScriptRuntime;

// Ends a run whose time is up. At the deadline the runtime learns that the
// time-out is due (a host call or wait then stops the script at its current
// line); script code that makes no host call is interrupted a moment later;
// and a process still running long after that (stuck in a member that never
// returns) is ended with exit code 1.
class Watchdog {
public:
    // No time-out for seconds <= 0.
    Watchdog(ScriptRuntime& runtime, double seconds);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void watch(std::stop_token stop, double seconds);
    // False when the watchdog was stopped first.
    bool pause(std::stop_token& stop, std::chrono::milliseconds duration);

    ScriptRuntime& m_runtime;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::jthread m_thread;
};
