#pragma once

#include <QString>

// The browser host's own error numbers and the sources they are raised with.
namespace hosterr {

// The browser could not be started (source StartupSource).
constexpr int StartupFailed = 666;
// No runtime at all: neither the system's nor a fixed one (source StartupSource).
constexpr int NoRuntime = 1243;
// A script call was given more arguments than a page function takes (source ControlSource).
constexpr int TooManyScriptArguments = 5000;
// A member that needs the browser was called before it started (source ControlSource).
constexpr int BrowserNotStarted = 6666;
// The browser refused an address and automatic search is off (source NavigationSource).
constexpr int InvalidAddress = 6660;

inline const QString StartupSource = QStringLiteral("KestWebView2");
inline const QString ControlSource = QStringLiteral("KestWebView2 Control");
inline const QString NavigationSource = QStringLiteral("KestEdge");

} // namespace hosterr
