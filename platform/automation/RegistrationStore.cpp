#include "RegistrationStore.h"

#include "platform/Environment.h"
#include "platform/PrivateProfile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString valueKey(const QString& valueName) {
    return valueName.isEmpty() ? QStringLiteral("@") : valueName;
}

bool isBelow(const QString& section, const QString& keyPath) {
    return section.compare(keyPath, Qt::CaseInsensitive) == 0 ||
           section.startsWith(keyPath + QLatin1Char('\\'), Qt::CaseInsensitive);
}

} // namespace

RegistrationStore::RegistrationStore()
    : m_path(defaultPath()) {
}

RegistrationStore::RegistrationStore(QString path)
    : m_path(std::move(path)) {
}

QString RegistrationStore::defaultPath() {
    return env::configFolder() + QStringLiteral("/KestDicomView/registry.ini");
}

QString RegistrationStore::value(const QString& keyPath, const QString& valueName) const {
    return profile::readString(keyPath, valueKey(valueName), QString(), m_path);
}

bool RegistrationStore::hasKey(const QString& keyPath) const {
    const QStringList sections = profile::sectionNames(m_path);
    return std::any_of(sections.begin(), sections.end(),
                       [&](const QString& section) { return isBelow(section, keyPath); });
}

bool RegistrationStore::setValue(const QString& keyPath, const QString& valueName,
                                 const QString& value) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return profile::writeString(keyPath, valueKey(valueName), value, m_path);
}

void RegistrationStore::removeTree(const QString& keyPath) {
    for (const QString& section : profile::sectionNames(m_path)) {
        if (isBelow(section, keyPath))
            profile::writeString(section, std::nullopt, std::nullopt, m_path);
    }
}

QStringList RegistrationStore::subKeys(const QString& keyPath) const {
    QStringList keys;
    const QString prefix = keyPath + QLatin1Char('\\');
    for (const QString& section : profile::sectionNames(m_path)) {
        if (!section.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString child = section.mid(prefix.size()).section(QLatin1Char('\\'), 0, 0);
        if (!keys.contains(child, Qt::CaseInsensitive))
            keys.append(child);
    }
    return keys;
}
