#pragma once

#include <QJSEngine>
#include <QJSValue>

// The script side of the host: the `Ref` class, the proxy that makes an
// automation object's members read, written and called by name, and the
// byte-array helpers. Installed once per engine.
struct Prelude {
    QJSValue refClass;
    QJSValue refPrototype;
    // wrap(scriptObject) -> the proxy scripts see.
    QJSValue wrap;
    // bytesOf(value) -> a copy of the bytes of an ArrayBuffer or typed array, or undefined.
    QJSValue bytesOf;
    // makeBytes(arrayBuffer) -> a Uint8Array over it.
    QJSValue makeBytes;
    // callSafely(function, argsArray) -> {threw, value}.
    QJSValue callSafely;
    // originalError(value) -> the error that the engine's TypeError replaced when a
    // member read threw during a call, else the value itself.
    QJSValue originalError;

    static Prelude install(QJSEngine& engine);
    bool isRef(const QJSValue& value) const;
};
