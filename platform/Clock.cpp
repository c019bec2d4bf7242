#include "Clock.h"

#include <QTime>

#include <chrono>

namespace timing {

double counterSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double secondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

} // namespace timing
