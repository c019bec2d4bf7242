#pragma once

// When entry names and comments are written in UTF-8 with the UTF-8 flag.
enum class Utf8Mode {
    // In the code page; a non-ASCII name also goes into the Unicode path field for readers that
    // know it. Readers that know neither the flag nor the field still read code page names.
    // Debian's unzip 6.0 takes that field in the local header of an entry with a data
    // descriptor (traditional encryption) for overlapping data and stops.
    Never,
    Always,
    // For an entry whose name or comment is not ASCII: current readers (Info-ZIP, 7-Zip,
    // Python's zipfile) all read the flag, and ASCII names need no flag at all.
    WhenNeeded
};

// When Zip64 fields are written.
enum class Zip64Mode {
    Never, // fails when a size, offset or entry count does not fit
    Always,
    WhenNeeded
};
