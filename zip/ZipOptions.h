#pragma once

// When entry names are written with the UTF-8 flag.
enum class Utf8Mode {
    Never,
    Always,
    WhenNeeded // only for names that the code page cannot hold
};

// When Zip64 fields are written.
enum class Zip64Mode {
    Never, // fails when a size, offset or entry count does not fit
    Always,
    WhenNeeded
};
