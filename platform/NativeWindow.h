#pragma once

#include <cstdint>

class QWidget;

namespace nativewindow {

// The window handle of a widget as automation hosts see it: the id of the
// native window that shows it, or 0 while there is none. Reading it never
// makes the widget native.
std::int32_t handleOf(const QWidget* widget);

} // namespace nativewindow
