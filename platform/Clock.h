#pragma once

// Clocks: the high-resolution counter and the time of day in seconds.
namespace timing {

// Seconds on a monotonic high-resolution clock, from an arbitrary origin.
double counterSeconds();
// Seconds since local midnight, with fractions (the runtime's Timer).
double secondsSinceMidnight();

} // namespace timing
