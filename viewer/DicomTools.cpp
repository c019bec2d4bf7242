#include "DicomTools.h"

#include <array>

namespace tools {

namespace {

struct Entry {
    DicomTools tool;
    const char* command;
    const char* reported;
};

constexpr std::array<Entry, 17> table = {{
    {Tool_Wwwc, "Wwwc", "Wwwc"},
    {Tool_Zoom, "Zoom", "Zoom"},
    {Tool_Pan, "Pan", "Pan"},
    {Tool_Length, "Length", "Length"},
    {Tool_Angle, "Angle", "Angle"},
    {Tool_Cobb, "Cobb", "Cobb"},
    {Tool_Rectangle, "Rectangle", "Rectangle"},
    {Tool_Ellipse, "Ellipse", "Ellipse"},
    {Tool_Probe, "Probe", "Probe"},
    {Tool_Magnify, "Magnify", "Magnify"},
    {Tool_Invert, "Invert", "Invert"},
    {Tool_Clear, "Clear", "Clear"},
    {Tool_Reinit, "Reinit", "Reinit"},
    {Tool_FrameNext, "FrameNext", "FrameNext"},
    {Tool_FramePrevious, "FramePrev", "FramePrev"},
    {Tool_Previous, "Precedent", "Previous"},
    {Tool_Next, "Suivant", "Next"},
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

} // namespace tools
