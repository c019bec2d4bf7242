#pragma once

#include "platform/automation/Dispatch.h"

// The dispatch and event interfaces of the browser host control.
const TypeInfo& kestWebviewKDTypeInfo();

// The most arguments RunJs and RunJsAsync take after the function name; the
// page function itself accepts at most 15 of them.
inline constexpr int RunJsArgumentSlots = 59;
