#pragma once

#include <QString>
#include <QStringList>

// The reference stack page: the bare page's element with cornerstoneTools'
// stack state holding the images of a series, its StackScrollMouseWheelTool
// (one wheel notch, one image) and its stackPrefetch filling cornerstone's
// image cache. Its title becomes "opened:TOKEN" once the first image is shown.
namespace barestackpage {

// Writes the page into folder, its scripts taken from libraryFolder; returns its path.
QString write(const QString& folder, const QString& libraryFolder);

// Script that opens the files as a stack at its first image, the caches
// emptied first and cornerstone's cache given the budget, in bytes.
QString openScript(const QStringList& files, qint64 cacheBytes, const QString& token);

// The title the page sets once the stack opened with that token shows its first image.
QString openedTitle(const QString& token);

// Scripts that start cornerstoneTools' clip at a rate, and stop it.
QString playScript(double framesPerSecond);
QString stopScript();

} // namespace barestackpage
