#include "TempEnvironment.h"

#include <QDir>

namespace testing_support {

TempEnvironment::TempEnvironment() = default;

TempEnvironment::~TempEnvironment() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second.first)
            qputenv(it->first.constData(), it->second.second);
        else
            qunsetenv(it->first.constData());
    }
}

void TempEnvironment::remember(const char* variable) {
    m_saved.append({variable, {qEnvironmentVariableIsSet(variable), qgetenv(variable)}});
}

QString TempEnvironment::setFolder(const char* variable, const QString& subfolder) {
    const QString path = m_dir.filePath(subfolder);
    QDir().mkpath(path);
    set(variable, path.toLocal8Bit());
    return path;
}

void TempEnvironment::set(const char* variable, const QByteArray& value) {
    remember(variable);
    qputenv(variable, value);
}

void TempEnvironment::unset(const char* variable) {
    remember(variable);
    qunsetenv(variable);
}

} // namespace testing_support
