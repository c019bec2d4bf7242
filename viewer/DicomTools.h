#pragma once

#include "platform/automation/Dispatch.h"

#include <QString>

#include <optional>

// The viewer's tools, with their public values; the values jump from 15 to 100.
enum DicomTools : int {
    Tool_Unknown = 0,
    Tool_Wwwc = 1,
    Tool_Zoom = 2,
    Tool_Pan = 3,
    Tool_Length = 4,
    Tool_Angle = 5,
    Tool_Cobb = 6,
    Tool_Rectangle = 7,
    Tool_Ellipse = 8,
    Tool_Probe = 9,
    Tool_Magnify = 10,
    Tool_Invert = 11,
    Tool_Clear = 12,
    Tool_Reinit = 13,
    Tool_FrameNext = 14,
    Tool_FramePrevious = 15,
    Tool_Previous = 100,
    Tool_Next = 101,
};

namespace tools {

// The page command ("PressButton" argument and button name) of a tool; none
// for Tool_Unknown and values outside the enumeration.
std::optional<QString> pageCommand(int tool);

struct ReportedTool {
    QString name;
    DicomTools number;
};
// What a "buttonClicked" name is reported as: "Suivant" is ("Next", 101),
// names not in the table are ("UnknownTool", 0).
ReportedTool fromButton(const QString& button);

// The enumeration as the type information publishes it, in value order.
EnumInfo publishedEnum();

} // namespace tools
