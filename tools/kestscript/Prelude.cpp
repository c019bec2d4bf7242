#include "Prelude.h"

namespace {

// kindOf answers 0 for an unknown name, 1 for a value (a property read
// without arguments) and 2 for something called (a method, or a property
// with arguments). Names the language itself asks for (conversions,
// promise checks) are not members: they get ordinary answers instead of
// error 438, so that String(obj) and `await obj` behave.
const char* const Source = R"js(
(function () {
    "use strict";
    function Ref(value) {
        if (!(this instanceof Ref))
            return new Ref(value);
        this.value = value;
    }
    Ref.prototype.toString = function () { return "Ref(" + String(this.value) + ")"; };

    const languageNames = new Set(["toString", "valueOf", "toJSON", "then", "constructor",
                                   "inspect", "toLocaleString", "prototype", "length", "name"]);

    // The engine loses an error thrown while it looks up the method of a call
    // (`obj.Name(...)`): it throws a TypeError of its own in its place, with the
    // text "Property 'Name' of object <the error as text> is not a function".
    // Errors that member reads throw are kept under that text, so that such a
    // TypeError reads as the error it replaced: its number, description and
    // source, and its text where the host reports it.
    const replaced = new Map();
    const maxReplaced = 256;

    function throwFromRead(name, error) {
        if (replaced.size >= maxReplaced)
            replaced.clear();
        replaced.set("Property '" + name + "' of object " + String(error) + " is not a function",
                     error);
        throw error;
    }

    function originalError(error) {
        if (!(error instanceof TypeError))
            return error;
        const original = replaced.get(error.message);
        return original === undefined ? error : original;
    }

    for (const key of ["number", "description", "source"]) {
        Object.defineProperty(TypeError.prototype, key, {
            configurable: true,
            get() {
                const original = originalError(this);
                return original === this ? undefined : original[key];
            },
            set(value) {
                Object.defineProperty(this, key, { value: value, writable: true,
                                                   enumerable: true, configurable: true });
            },
        });
    }

    function read(object, name) {
        try {
            return object.get(name);
        } catch (error) {
            return throwFromRead(name, error);
        }
    }

    function wrap(object) {
        let proxy = null;
        const on = function (event, handler) { object.on(String(event), handler); return proxy; };
        const describe = function () { return object.describe(); };
        proxy = new Proxy(Object.create(null), {
            get(target, name) {
                if (typeof name === "symbol")
                    return undefined;
                if (name === "__kestObject")
                    return object;
                if (name === "on")
                    return on;
                const kind = object.kindOf(name);
                if (kind === 1)
                    return read(object, name);
                if (kind === 2)
                    return function (...args) { return object.invoke(name, args); };
                if (languageNames.has(name))
                    return name === "toString" ? describe : undefined;
                return read(object, name);
            },
            set(target, name, value) {
                if (typeof name === "symbol")
                    return false;
                object.put(name, value);
                return true;
            },
            has(target, name) {
                return typeof name === "string" && object.kindOf(name) !== 0;
            },
        });
        return proxy;
    }

    function bytesOf(value) {
        if (value instanceof ArrayBuffer)
            return value.slice(0);
        if (ArrayBuffer.isView(value))
            return value.buffer.slice(value.byteOffset, value.byteOffset + value.byteLength);
        return undefined;
    }

    function makeBytes(buffer) { return new Uint8Array(buffer); }

    // Calls a script function and tells what it threw, whatever its type.
    function callSafely(fn, args) {
        try {
            return { threw: false, value: fn.apply(null, args) };
        } catch (error) {
            return { threw: true, value: error };
        }
    }

    return { Ref: Ref, wrap: wrap, bytesOf: bytesOf, makeBytes: makeBytes,
             callSafely: callSafely, originalError: originalError };
})()
)js";

} // namespace

Prelude Prelude::install(QJSEngine& engine) {
    const QJSValue parts =
        engine.evaluate(QString::fromUtf8(Source), QStringLiteral("kestscript:prelude"));
    Prelude prelude;
    prelude.refClass = parts.property(QStringLiteral("Ref"));
    prelude.refPrototype = prelude.refClass.property(QStringLiteral("prototype"));
    prelude.wrap = parts.property(QStringLiteral("wrap"));
    prelude.bytesOf = parts.property(QStringLiteral("bytesOf"));
    prelude.makeBytes = parts.property(QStringLiteral("makeBytes"));
    prelude.callSafely = parts.property(QStringLiteral("callSafely"));
    prelude.originalError = parts.property(QStringLiteral("originalError"));
    engine.globalObject().setProperty(QStringLiteral("Ref"), prelude.refClass);
    return prelude;
}

bool Prelude::isRef(const QJSValue& value) const {
    return value.isObject() && value.prototype().strictlyEquals(refPrototype);
}
