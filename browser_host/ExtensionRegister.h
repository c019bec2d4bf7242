#pragma once

#include <QString>

// The host's register of installed extensions: Extensions.ini in the
// extension root, one section per attribute with the extension ID as key.
class ExtensionRegister {
public:
    struct Entry {
        QString folder;
        QString optionsPage;
        QString iconPath;
        QString popupPage;
        QString name;
    };

    // root: the extension root, with a trailing "/".
    explicit ExtensionRegister(QString root);
    QString path() const;

    // The entry of an unpacked extension, from the manifest.json of its folder.
    static Entry fromFolder(const QString& folder, const QString& name);
    // Creates the root when needed.
    void write(const QString& id, const Entry& entry) const;
    Entry read(const QString& id) const;
    // Keeps the keys, with empty values.
    void clear(const QString& id) const;

private:
    QString m_root;
};
