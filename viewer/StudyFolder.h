#pragma once

#include <QString>
#include <QStringList>

// The files a study folder or a DICOMDIR refers to, as the browsing members
// see them on a Linux file system.
namespace studyfolder {

// True when the folder holds at least one ordinary file (hidden names left out).
bool holdsFiles(const QString& folder);

// The names of the DICOM files directly in the folder, sorted as a person
// expects (case-insensitively, numbers in numeric order). Only ordinary files
// count, links to them included: hidden names (a leading "."), folders, links
// to folders and special files (FIFOs, sockets, devices) are left out, and
// none of them is ever opened.
QStringList dicomFileNames(const QString& folder);

// The listing order: case-insensitive, runs of digits compared by value,
// exact text as the last resort so that the order is total.
bool naturalLess(const QString& a, const QString& b);

// The native path of a file URL the DICOMDIR page sends: "file://" removed,
// nothing decoded (the page writes its characters plainly).
QString pathFromPageUrl(const QString& url);

// The path itself when it exists; otherwise the path whose every component
// matches, without regard to case, an entry on disk (a CD copied with
// lower-case names). An absolute path that cannot be matched comes back unchanged.
QString resolveIgnoringCase(const QString& path);

} // namespace studyfolder
