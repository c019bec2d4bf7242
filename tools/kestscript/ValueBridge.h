#pragma once

#include "Prelude.h"

#include "platform/automation/Variant.h"

#include <QJSEngine>
#include <QJSValue>

#include <functional>

// Converts between script values and automation values:
//   number   -> Long when integral and within 32 bits, else Double
//   boolean  -> Boolean; string -> String; null -> Null; undefined -> Empty
//   Date     -> Date; Array -> array of Variant; ArrayBuffer, typed array -> Byte array
//   automation object -> Object
// and back, where every numeric type (Currency and LongLong included) becomes
// a number, a Byte array a Uint8Array and an error value undefined.
// A script value with no automation counterpart raises error 13.
class ValueBridge {
public:
    using Wrap = std::function<QJSValue(DispatchPtr)>;

    ValueBridge(QJSEngine& engine, const Prelude& prelude, Wrap wrap);

    Variant toVariant(const QJSValue& value) const;
    QJSValue toScript(const Variant& value) const;

    // The automation object behind a wrapped script object, or null.
    static DispatchPtr objectOf(const QJSValue& value);

private:
    Variant toVariant(const QJSValue& value, int depth) const;
    QJSValue arrayToScript(const Variant& value) const;

    QJSEngine& m_engine;
    const Prelude& m_prelude;
    Wrap m_wrap;
};
