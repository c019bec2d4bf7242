#include "modRegistry.h"

#include "platform/automation/RegistrationStore.h"

#include <QStringList>

namespace registry {

QString readValue(const QString& keyPath, const QString& valueName) {
    static const QStringList roots = {
        QStringLiteral("HKEY_CLASSES_ROOT"),     QStringLiteral("HKEY_CURRENT_USER"),
        QStringLiteral("HKEY_LOCAL_MACHINE"),    QStringLiteral("HKEY_USERS"),
        QStringLiteral("HKEY_PERFORMANCE_DATA"), QStringLiteral("HKEY_CURRENT_CONFIG"),
        QStringLiteral("HKEY_DYN_DATA"),
    };
    if (!keyPath.startsWith(QLatin1String("HKEY_"), Qt::CaseInsensitive))
        return QStringLiteral("Incorrect Format:");
    const QString root = keyPath.section(QLatin1Char('\\'), 0, 0);
    if (!roots.contains(root, Qt::CaseInsensitive))
        return {};
    return RegistrationStore().value(keyPath, valueName);
}

} // namespace registry
