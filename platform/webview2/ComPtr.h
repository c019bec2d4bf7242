#pragma once

#include "platform/Guid.h"
#include "platform/HResult.h"

#include <atomic>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

// The reference-counted object model of the browser runtime: an IUnknown
// counterpart, an owning smart pointer and a base class that implements both
// for any set of interfaces.

struct IUnknown {
    static constexpr Guid IID{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

    virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Owns one reference, like WRL's ComPtr.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to an existing object.
    ComPtr(T* object)
        : m_ptr(object) {
        addRef();
    }
    ComPtr(const ComPtr& other)
        : m_ptr(other.m_ptr) {
        addRef();
    }
    ComPtr(ComPtr&& other) noexcept
        : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& other)
        : m_ptr(other.get()) {
        addRef();
    }
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    // Adopts a reference the caller already owns (a freshly created object).
    static ComPtr attach(T* object) {
        ComPtr result;
        result.m_ptr = object;
        return result;
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    void reset() {
        if (T* old = std::exchange(m_ptr, nullptr))
            old->Release();
    }
    // Releases the current object and gives the address for an out parameter.
    T** put() {
        reset();
        return &m_ptr;
    }
    // Hands the reference to an out parameter (which then owns it).
    void copyTo(T** out) const {
        *out = m_ptr;
        addRef();
    }

    // QueryInterface into another ComPtr; E_NOINTERFACE when absent.
    template <typename U> HRESULT as(ComPtr<U>* out) const {
        if (!m_ptr)
            return hr::E_POINTER;
        return m_ptr->QueryInterface(U::IID, reinterpret_cast<void**>(out->put()));
    }
    template <typename U> ComPtr<U> query() const {
        ComPtr<U> result;
        as(&result);
        return result;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_ptr == b.m_ptr; }

private:
    void addRef() const {
        if (m_ptr)
            m_ptr->AddRef();
    }

    T* m_ptr = nullptr;
};

namespace comdetail {

template <typename T, typename = void> struct HasBase : std::false_type {};
template <typename T> struct HasBase<T, std::void_t<typename T::Base>> : std::true_type {};

// Whether iid names T or one of the interfaces T extends (declared with `using Base`).
template <typename T> constexpr bool implements(const Guid& iid) {
    if (iid == T::IID)
        return true;
    if constexpr (HasBase<T>::value)
        return implements<typename T::Base>(iid);
    return false;
}

} // namespace comdetail

// Implements IUnknown for a class that derives from the given interfaces;
// every interface a listed one extends answers QueryInterface too. Objects are
// created with make() and die when their last reference is released.
template <typename... Interfaces> class ComObject : public Interfaces... {
public:
    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out)
            return hr::E_POINTER;
        *out = nullptr;
        if (iid == IUnknown::IID)
            *out = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        else
            (void)(tryInterface<Interfaces>(iid, out) || ...);
        if (!*out)
            return hr::E_NOINTERFACE;
        AddRef();
        return hr::S_OK;
    }
    std::uint32_t AddRef() override { return ++m_refs; }
    std::uint32_t Release() override {
        const std::uint32_t left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;

private:
    using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    template <typename I> bool tryInterface(const Guid& iid, void** out) {
        if (!comdetail::implements<I>(iid))
            return false;
        *out = static_cast<I*>(this);
        return true;
    }

    std::atomic<std::uint32_t> m_refs{1};
};

// Creates a Derived (a ComObject subclass) holding its first reference.
template <typename Derived, typename... Args> ComPtr<Derived> makeCom(Args&&... args) {
    return ComPtr<Derived>::attach(new Derived(std::forward<Args>(args)...));
}

namespace comdetail {

template <typename Method> struct InvokeArgs;
template <typename Class, typename... Args> struct InvokeArgs<HRESULT (Class::*)(Args...)> {
    using Tuple = std::tuple<Args...>;
};

template <typename Handler, typename Function, typename Tuple> class LambdaHandler;
template <typename Handler, typename Function, typename... Args>
class LambdaHandler<Handler, Function, std::tuple<Args...>> : public ComObject<Handler> {
public:
    explicit LambdaHandler(Function function)
        : m_function(std::move(function)) {}
    HRESULT Invoke(Args... args) override { return m_function(args...); }

private:
    Function m_function;
};

} // namespace comdetail

// A handler object whose Invoke calls the given function, which must take the
// handler's Invoke arguments and return an HRESULT.
template <typename Handler, typename Function> ComPtr<Handler> makeHandler(Function function) {
    using Object =
        comdetail::LambdaHandler<Handler, Function,
                                 typename comdetail::InvokeArgs<decltype(&Handler::Invoke)>::Tuple>;
    return ComPtr<Handler>(makeCom<Object>(std::move(function)));
}
