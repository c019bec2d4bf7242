#include "modConfig.h"

#include "modIni.h"
#include "modOperationFichierSimple.h"

namespace config {

namespace {
const QString section = QStringLiteral("Dicom");
const QString key = QStringLiteral("DicomListPath");
} // namespace

QString configIniPath(const QString& dataFolder) {
    return files::withTrailingSeparator(dataFolder) + QStringLiteral("Config.ini");
}

QString dicomListPath(const QString& dataFolder) {
    return ini::readValue(section, key, {}, configIniPath(dataFolder));
}

void setDicomListPath(const QString& dataFolder, const QString& folder) {
    ini::writeValue(section, key, files::withTrailingSeparator(folder), configIniPath(dataFolder));
}

} // namespace config
