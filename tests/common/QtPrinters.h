#pragma once

#include <QString>

#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

#include "platform/automation/Variant.h"

// Readable failure messages for automation values: their type and text.
inline void PrintTo(const Variant& value, std::ostream* out) {
    *out << value.typeName().toStdString();
    if (value.isArray() || value.type() == VarType::Object)
        return;
    try {
        *out << '(' << value.toString().toStdString() << ')';
    } catch (...) {
        *out << "(?)";
    }
}
