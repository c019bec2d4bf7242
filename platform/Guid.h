#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// A GUID with the Windows memory layout, so it can cross the C entry points.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // A random version-4 GUID.
    static Guid createRandom();
    // A time-ordered GUID: a per-process counter over a random base, so that
    // successive values sort in creation order.
    static Guid createSequential();
    // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", with or without braces.
    static std::optional<Guid> fromString(const QString& text);

    // Upper-case registry form, with or without the braces.
    QString toString(bool braces = true) const;
    bool isNull() const { return *this == Guid{}; }

    friend bool operator==(const Guid&, const Guid&) = default;
};
