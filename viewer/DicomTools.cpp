#include "DicomTools.h"

#include <array>

namespace tools {

namespace {

struct Entry {
    DicomTools tool;
    const char* enumerator;
    const char* command;
    const char* reported;
};

constexpr std::array<Entry, 17> table = {{
    {Tool_Wwwc, "Tool_Wwwc", "Wwwc", "Wwwc"},
    {Tool_Zoom, "Tool_Zoom", "Zoom", "Zoom"},
    {Tool_Pan, "Tool_Pan", "Pan", "Pan"},
    {Tool_Length, "Tool_Length", "Length", "Length"},
    {Tool_Angle, "Tool_Angle", "Angle", "Angle"},
    {Tool_Cobb, "Tool_Cobb", "Cobb", "Cobb"},
    {Tool_Rectangle, "Tool_Rectangle", "Rectangle", "Rectangle"},
    {Tool_Ellipse, "Tool_Ellipse", "Ellipse", "Ellipse"},
    {Tool_Probe, "Tool_Probe", "Probe", "Probe"},
    {Tool_Magnify, "Tool_Magnify", "Magnify", "Magnify"},
    {Tool_Invert, "Tool_Invert", "Invert", "Invert"},
    {Tool_Clear, "Tool_Clear", "Clear", "Clear"},
    {Tool_Reinit, "Tool_Reinit", "Reinit", "Reinit"},
    {Tool_FrameNext, "Tool_FrameNext", "FrameNext", "FrameNext"},
    {Tool_FramePrevious, "Tool_FramePrevious", "FramePrev", "FramePrev"},
    {Tool_Previous, "Tool_Previous", "Precedent", "Previous"},
    {Tool_Next, "Tool_Next", "Suivant", "Next"},
}};

} // namespace

std::optional<QString> pageCommand(int tool) {
    for (const Entry& entry : table) {
        if (entry.tool == tool)
            return QString::fromLatin1(entry.command);
    }
    return std::nullopt;
}

ReportedTool fromButton(const QString& button) {
    for (const Entry& entry : table) {
        if (button == QLatin1String(entry.command))
            return {QString::fromLatin1(entry.reported), entry.tool};
    }
    return {QStringLiteral("UnknownTool"), Tool_Unknown};
}

EnumInfo publishedEnum() {
    EnumInfo info{QStringLiteral("DicomTools"), {{QStringLiteral("Tool_Unknown"), Tool_Unknown}}};
    for (const Entry& entry : table)
        info.values.append({QString::fromLatin1(entry.enumerator), entry.tool});
    return info;
}

} // namespace tools
