#pragma once

#include <QString>
#include <QStringList>

// The files the viewer prepares for its pages: the placeholder page, the
// deployed libraries, the page files filled from their templates, the file
// list the image page reads and the PDF document a file may encapsulate.
namespace pageassets {

// The page libraries, in deployment order.
const QStringList& libraryNames();

// The viewer's own page scripts, deployed beside the libraries.
const QStringList& pageScriptNames();

// The black placeholder page with "..." centred in yellow.
QString placeholderPage();

// Copies each library missing from the Bin folder out of the asset folder;
// with force, the Bin folder's files are deleted first. Raises error 53 for
// a library missing from the asset folder (the rest are then not copied).
// The page scripts are copied whenever the Bin folder's copy differs.
void deployLibraries(const QString& assetFolder, const QString& binFolder, bool force);

// Replaces #<prefix>1#, #<prefix>2#, ... by the keys <prefix>1, <prefix>2, ...
// of the language's Locale.ini section, stopping at the first empty key.
QString substituteCaptions(QString text, const QString& prefix, const QString& language,
                           const QString& localeIni);

// The script sources of the policy of a page in the instance folder: the Bin
// folder, and with the file list the instance's "liste.js" (not the folder,
// which holds the working copy). Percent-encoded file URL sources.
QString scriptSources(const QString& instanceFolder, bool withFileList);

// Writes the page file from its template unless it exists already; the root
// folder replaces "###ROOTDIR###" (escaped for HTML), its script sources
// "###SCRIPTSRC###", and captions are substituted when a prefix is given.
// Raises error 53 when the template is missing.
void writePageFile(const QString& templatePath, const QString& pagePath, const QString& rootFolder,
                   const QString& captionPrefix, const QString& language, const QString& localeIni);

// The DICOMDIR page from its template: every "###DICOMDIR###" replaced by
// the folder, escaped for HTML text and attributes (a folder name may hold
// quotes or markup; the page reads it back as plain text), and
// "###SCRIPTSRC###" by the script sources of the instance folder it is written in.
QString dicomdirPage(QString templateText, const QString& folder, const QString& instanceFolder);

// The text of "liste.js" naming the working copy.
QString fileListScript(const QString& workingCopyName);

// Extracts the first "%PDF" ... "%EOF" (and the character after it) of the
// file into instanceFolder/PDF.pdf; returns its path, or "" when the file
// holds no complete PDF document.
QString extractPdf(const QString& workingCopy, const QString& instanceFolder);

// The DICOM Part 10 test: "DICM" at byte offset 128.
bool isDicomFile(const QString& path);
// The same test for a name in the folder open as folderFd (or AT_FDCWD).
bool isDicomFileAt(int folderFd, const char* name);

} // namespace pageassets
