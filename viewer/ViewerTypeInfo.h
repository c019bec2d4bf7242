#pragma once

#include "platform/automation/Dispatch.h"

// The public surface of KestDicomViewAX: properties, methods and events with
// their dispatch identifiers, argument names, types, directions, declared
// defaults and help strings.
const TypeInfo& viewerTypeInfo();
