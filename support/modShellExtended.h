#pragma once

#include <QString>

#include <functional>

class QUrl;
class QWidget;

namespace shellopen {

// Opens a document with the program the desktop associates with its type (xdg-open through
// QDesktopServices). Nothing is ever executed here, also not a file with an execute bit: a
// download or an extracted file is a document, and whether it may run is the desktop's
// decision. A text holding a program and its arguments ("prog.exe -x") names the program
// file; the desktop's handlers take no arguments, so `parameters` are not passed on. A text
// that is no existing file but an address with a scheme ("https://...") is handed over as
// it is. True when the desktop accepted it.
bool open(const QString& file, const QString& parameters = {}, QWidget* owner = nullptr);

// The step that needs a desktop and a person: hands a URL to the desktop's handler. Tests and
// unattended hosts install their own; an empty function restores QDesktopServices.
using DesktopHandler = std::function<bool(const QUrl&)>;
void setDesktopHandler(DesktopHandler handler);

} // namespace shellopen
