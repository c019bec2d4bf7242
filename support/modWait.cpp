#include "modWait.h"

#include "platform/Clock.h"
#include "platform/MessagePump.h"
#include "platform/UiServices.h"

namespace waits {

// The deadline is taken on the monotonic clock: a time-of-day deadline would
// never be reached when a wait crosses midnight.

void pump(int count) {
    for (int i = 0; i < count; ++i)
        ::pump::processPending();
}

void waitSeconds(double seconds, bool pumpEvents) {
    const double deadline = timing::counterSeconds() + seconds;
    while (timing::counterSeconds() < deadline) {
        if (pumpEvents)
            pump(20);
        ::pump::sleep(std::chrono::milliseconds(1));
    }
}

void waitWithHourglass(double seconds) {
    const ui::WaitCursor hourglass;
    const double deadline = timing::counterSeconds() + seconds;
    while (timing::counterSeconds() < deadline) {
        ::pump::processPending();
        ::pump::sleep(std::chrono::milliseconds(1));
    }
}

} // namespace waits
