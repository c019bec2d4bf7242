#pragma once

#include <QString>

// The viewer's settings file, Config.ini in its Data folder.
namespace config {

QString configIniPath(const QString& dataFolder);
// The folder last chosen for a folder list, with its trailing separator; empty when none.
QString dicomListPath(const QString& dataFolder);
void setDicomListPath(const QString& dataFolder, const QString& folder);

} // namespace config
