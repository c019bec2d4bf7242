#pragma once

#include <QString>

class QWebEngineView;

// Where a page's load went, read from the page's own Navigation and Resource
// Timing entries once it has shown its image: when its document arrived, when
// each script had run, when parsing ended and when its content was
// loaded, in milliseconds from the start of its navigation.
namespace pagetimeline {

// Notes, from the next document of the view on, when the parser reaches each
// script element and when the script has run (its load event).
void watch(QWebEngineView& view);

// One line per mark and per script, "" when the page could not be read.
QString read(QWebEngineView& view);

} // namespace pagetimeline
