#pragma once

// Waits that keep the user interface alive while the viewer or the browser
// host waits for a page.
namespace waits {

// Processes pending events count times.
void pump(int count);
// Waits the given seconds; with pumpEvents, 20 pump passes per round.
void waitSeconds(double seconds, bool pumpEvents);
// Waits the given seconds with the hourglass pointer, processing events.
void waitWithHourglass(double seconds);

} // namespace waits
