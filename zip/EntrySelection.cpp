#include "zip/EntrySelection.h"

#include "zip/EntryPath.h"

#include <algorithm>
#include <numeric>

namespace EntrySelection {

namespace {

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

bool sameName(const ZipEntry& entry, const QString& name) {
    return entry.fileName.compare(name, Qt::CaseInsensitive) == 0;
}

QList<int> selectByPattern(const QList<ZipEntry>& entries, QString pattern) {
    pattern.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folder = pattern.left(slash + 1);
    const QString name = pattern.mid(slash + 1);
    QList<int> selected;
    for (int i = 0; i < entries.size(); ++i) {
        const QString& entryName = entries[i].fileName;
        const QString baseName = entryName.mid(entryName.lastIndexOf(QLatin1Char('/')) + 1);
        if (!folder.isEmpty() &&
            (!EntryPath::matchesWildcard(entryName, folder + QLatin1Char('*')) ||
             EntryPath::matchesWildcard(entryName, folder + QLatin1String("*/*"))))
            continue;
        if (!name.isEmpty() && !EntryPath::matchesFileSpec(baseName, name))
            continue;
        selected.append(i);
    }
    return selected;
}

QList<int> selectByItems(const QList<ZipEntry>& entries, const QVariantList& items) {
    QList<int> selected;
    for (int i = 0; i < entries.size(); ++i) {
        const bool hit = std::any_of(items.begin(), items.end(), [&](const QVariant& item) {
            return isText(item) ? sameName(entries[i], item.toString()) : item.toInt() == i;
        });
        if (hit)
            selected.append(i);
    }
    return selected;
}

} // namespace

qsizetype indexOf(const QList<ZipEntry>& entries, const QVariant& file) {
    if (isText(file)) {
        const QString name = file.toString();
        const auto found = std::find_if(entries.begin(), entries.end(), [&](const ZipEntry& entry) {
            return sameName(entry, name);
        });
        return found == entries.end() ? -1 : found - entries.begin();
    }
    bool ok = false;
    const qsizetype index = file.toLongLong(&ok);
    return ok && index >= 0 && index < entries.size() ? index : -1;
}

QList<int> select(const QList<ZipEntry>& entries, const QVariant& filter) {
    if (!filter.isValid() || filter.isNull()) {
        QList<int> all(entries.size());
        std::iota(all.begin(), all.end(), 0);
        return all;
    }
    if (isText(filter))
        return selectByPattern(entries, filter.toString());
    const bool isList = filter.canConvert<QVariantList>() && filter.typeId() != QMetaType::Int &&
                        filter.typeId() != QMetaType::LongLong;
    return selectByItems(entries, isList ? filter.toList() : QVariantList{filter});
}

} // namespace EntrySelection
