#pragma once

#include <chrono>
#include <functional>

// The UI thread's message pump: one pass handles every pending event, the
// input-discarding pass drops keyboard and mouse input instead of queueing it,
// as a modal wait must not act on clicks made while it waits.
namespace pump {

void processPending();
void processPendingDiscardingInput();

// Pumps until done() is true or the timeout passes; returns done().
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               bool discardInput = false);

// Blocks the thread without pumping.
void sleep(std::chrono::milliseconds duration);

} // namespace pump
