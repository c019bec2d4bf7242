#include "Collection.h"

#include "platform/automation/AutomationError.h"

namespace {

constexpr int DuplicateKey = 457;

const TypeInfo& collectionType() {
    static const TypeInfo info{
        QStringLiteral("_Collection"),
        {},
        {
            {0x60030001,
             "Add",
             InvokeFlags::Method,
             VarType::Empty,
             {{"Item"},
              {"Key", VarType::Variant, false, true},
              {"Before", VarType::Variant, false, true},
              {"After", VarType::Variant, false, true}}},
            {0x60030002, "Count", InvokeFlags::PropertyGet, VarType::Long},
            {dispid::Value, "Item", InvokeFlags::Method, VarType::Variant, {{"Index"}}},
            {dispid::Value, "Item", InvokeFlags::PropertyGet, VarType::Variant, {{"Index"}}},
            {0x60030003, "Remove", InvokeFlags::Method, VarType::Empty, {{"Index"}}},
        },
        {},
    };
    return info;
}

} // namespace

Collection::Collection()
    : DispatchObject(collectionType()) {
    bind("Add", InvokeFlags::Method, [this](QList<Variant>& a) {
        add(a[0], a[1].isMissing() ? QString() : a[1].toString());
        return Variant();
    });
    bind("Count", InvokeFlags::PropertyGet, [this](QList<Variant>&) { return Variant(count()); });
    const Handler itemHandler = [this](QList<Variant>& a) {
        return m_items[indexOfVariant(a[0])].value;
    };
    bind(dispid::Value, InvokeFlags::Method, itemHandler);
    bind(dispid::Value, InvokeFlags::PropertyGet, itemHandler);
    bind("Remove", InvokeFlags::Method, [this](QList<Variant>& a) {
        m_items.removeAt(indexOfVariant(a[0]));
        return Variant();
    });
}

std::shared_ptr<Collection> Collection::from(const Variant& value) {
    return value.isObject() ? std::dynamic_pointer_cast<Collection>(value.toObject()) : nullptr;
}

void Collection::add(const Variant& item, const QString& key) {
    if (!key.isEmpty() && contains(key))
        throw AutomationError(DuplicateKey, QStringLiteral("This key is already associated with an "
                                                           "element of this collection"));
    m_items.append({key, item});
}

const Variant& Collection::item(int index) const {
    return m_items[checkedIndex(index)].value;
}

const Variant& Collection::item(const QString& key) const {
    const qsizetype index = indexOf(key);
    if (index < 0)
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    return m_items[index].value;
}

QString Collection::key(int index) const {
    return m_items[checkedIndex(index)].key;
}

QStringList Collection::keys() const {
    QStringList keys;
    for (const Entry& entry : m_items)
        keys.append(entry.key);
    return keys;
}

void Collection::remove(int index) {
    m_items.removeAt(checkedIndex(index));
}

void Collection::remove(const QString& key) {
    const qsizetype index = indexOf(key);
    if (index < 0)
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    m_items.removeAt(index);
}

qsizetype Collection::indexOf(const QString& key) const {
    if (key.isEmpty())
        return -1;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

qsizetype Collection::checkedIndex(int index) const {
    if (index < 1 || index > m_items.size())
        throw AutomationError::standard(vberr::SubscriptOutOfRange);
    return index - 1;
}

qsizetype Collection::indexOfVariant(const Variant& index) const {
    if (index.isString()) {
        const qsizetype found = indexOf(index.toString());
        if (found < 0)
            throw AutomationError::standard(vberr::InvalidProcedureCall);
        return found;
    }
    return checkedIndex(index.toLong());
}
