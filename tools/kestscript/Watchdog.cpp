#include "Watchdog.h"

#include "ScriptRuntime.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::chrono::milliseconds InterruptGrace(300);
constexpr std::chrono::milliseconds ExitGrace(10000);

} // namespace

Watchdog::Watchdog(ScriptRuntime& runtime, double seconds)
    : m_runtime(runtime) {
    if (seconds > 0)
        m_thread = std::jthread([this, seconds](std::stop_token stop) { watch(stop, seconds); });
}

Watchdog::~Watchdog() {
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    m_thread.join();
}

bool Watchdog::pause(std::stop_token& stop, std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, stop, duration, [] { return false; }) && !stop.stop_requested();
}

void Watchdog::watch(std::stop_token stop, double seconds) {
    const auto timeout = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
    if (!pause(stop, timeout))
        return;
    m_runtime.timeoutDue();
    if (!pause(stop, InterruptGrace))
        return;
    if (!m_runtime.stopHandled())
        m_runtime.interrupt();
    if (!pause(stop, ExitGrace))
        return;
    std::fprintf(stderr,
                 "kestscript: stopped by --timeout after %g seconds; a member call did "
                 "not return\n",
                 seconds);
    std::fflush(stderr);
    std::_Exit(1);
}
