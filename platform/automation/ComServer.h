#pragma once

#include "Dispatch.h"
#include "platform/Guid.h"
#include "platform/HResult.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

inline constexpr Guid IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// What DllGetClassObject hands out: creates objects of one class.
class ClassFactory {
public:
    virtual ~ClassFactory();
    virtual DispatchPtr createInstance() = 0;
};

// One class a library serves, with the identities it registers.
struct ClassRegistration {
    Guid clsid;
    QString progId;
    QString className;
    bool isControl = false;
    Guid typeLibId;
    QString typeLibName;
    QString typeLibVersion = QStringLiteral("1.0");
    std::function<DispatchPtr()> create;
};

// The in-process server of one library: its classes, their registration in
// the store, their class factories and the count of live objects.
class ComServer {
public:
    ComServer();
    ~ComServer();

    void addClass(ClassRegistration registration);

    // moduleAddress is any address inside the library, to find its file.
    HRESULT registerServer(const void* moduleAddress);
    HRESULT unregisterServer();
    HRESULT getClassObject(const Guid* clsid, const Guid* iid, void** factory);
    HRESULT canUnloadNow() const;
    int liveObjects() const { return m_live->load(); }

private:
    class Factory;

    std::vector<std::unique_ptr<Factory>> m_factories;
    std::shared_ptr<std::atomic<int>> m_live;
};

// Defines the four exported entry points of a library over its server, which
// serverFunction() returns.
#define KEST_COM_SERVER_ENTRY_POINTS(serverFunction)                                               \
    extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {                \
        return serverFunction().registerServer(reinterpret_cast<const void*>(&DllRegisterServer)); \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {              \
        return serverFunction().unregisterServer();                                                \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(                   \
        const Guid* clsid, const Guid* iid, void** factory) {                                      \
        return serverFunction().getClassObject(clsid, iid, factory);                               \
    }                                                                                              \
    extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {                  \
        return serverFunction().canUnloadNow();                                                    \
    }
