#include "NativeWindow.h"

#include <QWidget>

namespace nativewindow {

std::int32_t handleOf(const QWidget* widget) {
    // internalWinId() answers without creating a window, unlike winId().
    return widget ? static_cast<std::int32_t>(widget->internalWinId()) : 0;
}

} // namespace nativewindow
