#pragma once

#include <QString>
#include <QStringList>

// The per-user registration store, the counterpart of the registry's class
// registrations: an INI file whose sections are key paths
// ("HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32") and whose keys are value
// names, "@" standing for a key's default value.
class RegistrationStore {
public:
    // The store of the current user: $XDG_CONFIG_HOME/KestDicomView/registry.ini.
    RegistrationStore();
    explicit RegistrationStore(QString path);

    const QString& path() const { return m_path; }

    QString value(const QString& keyPath, const QString& valueName = {}) const;
    bool hasKey(const QString& keyPath) const;
    // Creates the store's folder when needed.
    bool setValue(const QString& keyPath, const QString& valueName, const QString& value);
    // Removes the key and every key below it.
    void removeTree(const QString& keyPath);
    // The keys directly below a key path.
    QStringList subKeys(const QString& keyPath) const;

    static QString defaultPath();

private:
    QString m_path;
};
