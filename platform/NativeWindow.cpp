#include "NativeWindow.h"

#include <QWidget>

namespace nativewindow {

std::int32_t handleOf(const QWidget* widget) {
    // effectiveWinId() answers with the native window that shows the widget
    // (its own or its native parent's) without creating one, unlike winId().
    return widget ? static_cast<std::int32_t>(widget->effectiveWinId()) : 0;
}

} // namespace nativewindow
