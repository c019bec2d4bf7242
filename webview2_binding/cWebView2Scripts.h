#pragma once

#include <QString>

// The scripts every document of the browser receives.
namespace bindingscripts {

// Gives every document vbH(), the accessor of the host object, and reports
// the page's context menu to the host.
QString hostAccessorScript();
// The script bridge: page functions through which the host calls functions,
// members and properties of the page and gets each answer, with its token,
// through RaiseResultEvent.
QString bridgeScript();

} // namespace bindingscripts
