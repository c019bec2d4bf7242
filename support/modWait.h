#pragma once

#include <functional>

// Waits that keep the user interface alive while the viewer or the browser
// host waits for a page. Every wait runs the platform's one wait loop.
namespace waits {

// Processes pending events count times.
void pump(int count);
// Pumps events (keyboard and mouse input dropped with discardInput) until
// done() is true or the seconds pass; returns done(). A negative or zero
// time checks done() once.
bool waitUntil(const std::function<bool()>& done, double seconds, bool discardInput = false);
// Waits the given seconds, pumping events throughout with pumpEvents.
void waitSeconds(double seconds, bool pumpEvents);
// Waits the given seconds with the hourglass pointer, processing events.
void waitWithHourglass(double seconds);

} // namespace waits
