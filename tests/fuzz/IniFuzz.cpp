// The INI engine on an arbitrary file: every listed key reads a value, the library's reader
// keeps its 254-character limit, and adding then removing a section leaves every other
// section and key as it was.

#include "FuzzSupport.h"

#include "platform/PrivateProfile.h"
#include "support/modIni.h"

namespace {

const QString Missing = QStringLiteral("\x01missing");
const QString FuzzSection = QStringLiteral("kest fuzz section");
constexpr int MaxSections = 16;
constexpr int MaxKeys = 8;

bool containsName(const QStringList& names, const QString& name) {
    return names.contains(name, Qt::CaseInsensitive);
}

// Section names with their key names, as the engine lists them.
QList<QStringList> layoutOf(const QString& path) {
    QList<QStringList> layout;
    for (const QString& section : profile::sectionNames(path).mid(0, MaxSections))
        layout << (QStringList{section} + profile::keyNames(section, path));
    return layout;
}

void checkListedKeysRead(const QList<QStringList>& layout, const QString& path) {
    for (const QStringList& section : layout) {
        for (const QString& key : section.mid(1, MaxKeys)) {
            fuzz::require(profile::readString(section[0], key, Missing, path) != Missing,
                          "a listed key reads a value");
            fuzz::require(ini::readValue(section[0], key, QString(), path).size() <= 254,
                          "the library's reader returns at most 254 characters");
        }
    }
}

void checkWriteKeepsOthers(const QList<QStringList>& layout, const QString& path) {
    if (containsName(profile::sectionNames(path), FuzzSection))
        return;
    const QString value = QStringLiteral("written value");
    fuzz::require(profile::writeString(FuzzSection, QStringLiteral("key"), value, path),
                  "a key can be written");
    fuzz::require(profile::readString(FuzzSection, QStringLiteral("key"), Missing, path) == value,
                  "a written key reads back");
    fuzz::require(profile::writeString(FuzzSection, std::nullopt, std::nullopt, path),
                  "a section can be removed");
    fuzz::require(layoutOf(path) == layout,
                  "adding and removing a section keeps the other sections and keys");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::ScratchFolder folder;
    const QString path = folder.write(QStringLiteral("fuzz.ini"), fuzz::bytesOf(data, size));
    const QList<QStringList> layout = layoutOf(path);
    checkListedKeysRead(layout, path);
    checkWriteKeepsOthers(layout, path);
    return 0;
}
