#include "modSpecialFolders.h"

#include "modOperationFichierSimple.h"
#include "platform/Environment.h"

#include <QStandardPaths>

namespace specialfolders {

QString path(int folder) {
    QString result;
    switch (folder) {
    case Desktop:
        result = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        break;
    case Documents:
        result = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        break;
    case AppData:
        result = env::configFolder();
        break;
    case LocalAppData:
        result = env::localAppData();
        break;
    case CommonAppData:
        result = env::allUsersProfile();
        break;
    case Pictures:
        result = env::picturesFolder();
        break;
    default:
        return {};
    }
    return files::withoutTrailingSeparator(result.left(260));
}

} // namespace specialfolders
