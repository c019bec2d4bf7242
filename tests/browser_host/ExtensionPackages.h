#pragma once

// Extension packages made for the tests: a ZIP archive of an extension's
// files wrapped in a version 2 or version 3 package header.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace extensionpackages {

using Files = QList<QPair<QString, QByteArray>>;

// A manifest with options page, popup and icons, and the files it names.
Files sampleExtension();
QByteArray zipOf(const Files& files);
// The ZIP with a package header before it; the version 3 header's own
// bytes (a stand-in for its signed header) have the given length.
QByteArray crx3(const QByteArray& zip, int headerBytes = 258);
QByteArray crx2(const QByteArray& zip, int keyBytes = 162, int signatureBytes = 128);

} // namespace extensionpackages
