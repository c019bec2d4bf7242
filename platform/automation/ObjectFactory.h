#pragma once

#include "Dispatch.h"
#include "RegistrationStore.h"
#include "platform/Guid.h"
#include "platform/HResult.h"

#include <optional>

// Creating registered objects, as CreateObject does: the programmatic
// identifier gives the class identifier, the store gives the library, the
// library's DllGetClassObject gives the class factory. Failures raise error
// 429 with the reason.
namespace automation {

std::optional<Guid> clsidFromProgId(const QString& progId,
                                    const RegistrationStore& store = RegistrationStore());
DispatchPtr createObject(const QString& progId,
                         const RegistrationStore& store = RegistrationStore());
DispatchPtr createInstance(const Guid& clsid, const RegistrationStore& store = RegistrationStore());

// Loads a library (once per process) and calls one of its parameterless entry
// points, as the registration tool does with DllRegisterServer.
HRESULT callServerEntryPoint(const QString& libraryPath, const char* entryPoint,
                             QString* errorText = nullptr);

} // namespace automation
