#pragma once

#include <cstdint>

class QWidget;

namespace nativewindow {

// The window handle of a widget as automation hosts see it: its native window
// id, or 0 while it has none. Reading it never makes the widget native.
std::int32_t handleOf(const QWidget* widget);

} // namespace nativewindow
