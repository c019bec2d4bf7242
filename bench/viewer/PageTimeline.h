#pragma once

#include <QString>

class QWebEngineView;

// Where a page's load went, once it has shown its image: when its document
// arrived, when the parser reached each script and when the script had run
// (file URLs give no Resource Timing entries, so a script injected at the
// document's creation notes them), when parsing ended and when its content
// was loaded, in milliseconds from the start of its navigation (Navigation
// Timing).
namespace pagetimeline {

// Notes, from the next document of the view on, when the parser reaches each
// script element and when the script has run (its load event).
void watch(QWebEngineView& view);

// One line per mark and per script, "" when the page could not be read.
QString read(QWebEngineView& view);

} // namespace pagetimeline
