#pragma once

#include "platform/automation/Variant.h"

#include <QString>

#include <cstdint>

// Values and conversions the browser host's parts share.
namespace hostvalues {

// The even margin around the browser pane.
constexpr int PaneMarginTwips = 30;
// How long a navigation the host starts waits for its completion.
constexpr double NavigationWaitSeconds = 8;
inline const QString Crlf = QStringLiteral("\r\n");

double twipsPerPixel();
int toPixels(double twips);
// The browser takes only encoded addresses: blanks and accents in a file name
// are escaped.
QString fileAddress(const QString& path);

inline Variant text(const QString& value) {
    return Variant(value);
}

inline Variant longValue(std::int32_t value) {
    return Variant(value);
}

} // namespace hostvalues
