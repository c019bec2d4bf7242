#pragma once

#include "platform/automation/Dispatch.h"

#include <QList>
#include <QString>

#include <memory>

// A keyed, insertion-ordered collection numbered from 1, as JSON objects and
// argument bundles are passed to containers. Keys are unique, compared
// without regard to case; an item added without a key has an empty key.
// Late-bound callers use Add, Count, Item (the default member) and Remove.
class Collection : public DispatchObject {
public:
    Collection();

    static std::shared_ptr<Collection> create() { return std::make_shared<Collection>(); }
    // The collection behind a variant, or null when it holds none.
    static std::shared_ptr<Collection> from(const Variant& value);

    // Raises 457 when the key is already used.
    void add(const Variant& item, const QString& key = {});
    int count() const { return static_cast<int>(m_items.size()); }
    bool contains(const QString& key) const { return indexOf(key) >= 0; }
    // 1-based; raises 9 when out of range.
    const Variant& item(int index) const;
    // Raises 5 for an unknown key.
    const Variant& item(const QString& key) const;
    QString key(int index) const;
    QStringList keys() const;
    void remove(int index);
    void remove(const QString& key);

private:
    struct Entry {
        QString key;
        Variant value;
    };

    qsizetype indexOf(const QString& key) const;
    qsizetype checkedIndex(int index) const;
    qsizetype indexOfVariant(const Variant& index) const;

    QList<Entry> m_items;
};
