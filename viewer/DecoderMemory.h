#pragma once

#include <QtGlobal>

// The decoder process's address space is bounded by what the file in hand can
// need. A damaged or crafted value length makes the DICOM reader allocate and
// zero that many bytes before it finds the value runs past the end of the file:
// a 4 KB file can ask for 4 GiB. Bounded, the allocation fails at once, and the
// reader goes on as it does with any unreadable value.
namespace decodermemory {

// Bounds the process's address space to its present size plus what a file of
// this size may need: a fixed allowance and a multiple of the file, room for
// lossy frames that decode to many times their size. Does nothing in a build whose sanitizer
// reserves the address space itself. False when the bound could not be set.
bool limitFor(qint64 fileSize);

} // namespace decodermemory
