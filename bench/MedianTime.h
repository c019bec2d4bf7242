#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// The median wall time, in milliseconds, of `runs` runs of the work.
inline double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.empty() ? 0.0 : times[times.size() / 2];
}

} // namespace bench
