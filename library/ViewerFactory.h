#pragma once

#include "platform/automation/Dispatch.h"

// A new viewer control with its inner browser hosts.
DispatchPtr createViewer();
