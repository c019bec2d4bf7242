#include "modWait.h"

#include "platform/MessagePump.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace waits {

namespace {

// Beyond any wait a caller means; keeps the conversion clear of overflow.
constexpr double LongestWaitSeconds = 1e9;

std::chrono::milliseconds toMilliseconds(double seconds) {
    if (!(seconds > 0))
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::llround(std::min(seconds, LongestWaitSeconds) * 1000));
}

bool never() {
    return false;
}

} // namespace

void pump(int count) {
    for (int i = 0; i < count; ++i)
        ::pump::processPending();
}

bool waitUntil(const std::function<bool()>& done, double seconds, bool discardInput) {
    return ::pump::waitUntil(done, toMilliseconds(seconds), discardInput);
}

void waitSeconds(double seconds, bool pumpEvents) {
    if (pumpEvents)
        waitUntil(never, seconds);
    else
        ::pump::sleep(toMilliseconds(seconds));
}

void waitWithHourglass(double seconds) {
    const ui::WaitCursor hourglass;
    waitUntil(never, seconds);
}

} // namespace waits
