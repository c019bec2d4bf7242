#pragma once

#include <QString>
#include <QUrl>

// The reference page: one Cornerstone element on a page that loads the six
// libraries the viewer's pages load, from the same folder, and shows a file
// with nothing else around it. Each rendering sets the title to
// "r:TOKEN:COUNT", so its host sees when the page has drawn.
namespace barepage {

// Writes a page at path with the six libraries, taken from libraryFolder, and
// one Cornerstone element ("element", the loader set up as the viewer's pages
// set it up), followed by script; returns path, or nothing when it cannot be written.
QString writePage(const QString& path, const QString& libraryFolder, const QString& script);

// Writes the page into folder, its scripts taken from libraryFolder; returns its path.
QString write(const QString& folder, const QString& libraryFolder);

// The page showing file (frame given for a multi-frame file, -1 for none),
// with the token its renderings report.
QUrl address(const QString& page, const QString& file, const QString& token, int frame = -1);

// Script that shows a file in the running page, the caches emptied first, as a
// fresh load would find them.
QString showScript(const QString& file, const QString& token, int frame = -1);

// The title the page sets at its first rendering for that token.
QString renderedTitle(const QString& token);

} // namespace barepage
