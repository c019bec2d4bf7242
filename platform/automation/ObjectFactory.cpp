#include "ObjectFactory.h"

#include "AutomationError.h"
#include "ComServer.h"

#include <QFileInfo>
#include <QHash>

#include <dlfcn.h>

namespace automation {

namespace {

using GetClassObjectFunction = HRESULT (*)(const Guid*, const Guid*, void**);
using EntryPointFunction = HRESULT (*)();

[[noreturn]] void cannotCreate(const QString& reason) {
    throw AutomationError(vberr::CannotCreateObject,
                          AutomationError::standardDescription(vberr::CannotCreateObject) +
                              QStringLiteral(": ") + reason);
}

// Libraries stay loaded for the life of the process: objects they created may
// outlive any one caller.
void* loadLibrary(const QString& path, QString* errorText) {
    static QHash<QString, void*> loaded;
    const QString key = QFileInfo(path).absoluteFilePath();
    if (void* handle = loaded.value(key))
        return handle;
    void* handle = dlopen(key.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (errorText)
            *errorText = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    loaded.insert(key, handle);
    return handle;
}

} // namespace

std::optional<Guid> clsidFromProgId(const QString& progId, const RegistrationStore& store) {
    return Guid::fromString(
        store.value(QStringLiteral("HKEY_CLASSES_ROOT\\") + progId + QStringLiteral("\\CLSID")));
}

DispatchPtr createObject(const QString& progId, const RegistrationStore& store) {
    const auto clsid = clsidFromProgId(progId, store);
    if (!clsid)
        cannotCreate(QStringLiteral("\"%1\" is not registered").arg(progId));
    return createInstance(*clsid, store);
}

DispatchPtr createInstance(const Guid& clsid, const RegistrationStore& store) {
    const QString path = store.value(QStringLiteral("HKEY_CLASSES_ROOT\\CLSID\\") +
                                     clsid.toString() + QStringLiteral("\\InprocServer32"));
    if (path.isEmpty())
        cannotCreate(QStringLiteral("class %1 has no registered library").arg(clsid.toString()));
    QString error;
    void* library = loadLibrary(path, &error);
    if (!library)
        cannotCreate(QStringLiteral("cannot load %1: %2").arg(path, error));
    auto getClassObject =
        reinterpret_cast<GetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
    if (!getClassObject)
        cannotCreate(QStringLiteral("%1 exports no DllGetClassObject").arg(path));
    void* factory = nullptr;
    const HRESULT result = getClassObject(&clsid, &IID_IClassFactory, &factory);
    if (hr::failed(result) || !factory)
        cannotCreate(QStringLiteral("%1 does not serve class %2 (0x%3)")
                         .arg(path, clsid.toString())
                         .arg(static_cast<std::uint32_t>(result), 8, 16, QLatin1Char('0')));
    DispatchPtr object = static_cast<ClassFactory*>(factory)->createInstance();
    if (!object)
        cannotCreate(
            QStringLiteral("the class factory of %1 made no object").arg(clsid.toString()));
    return object;
}

HRESULT callServerEntryPoint(const QString& libraryPath, const char* entryPoint,
                             QString* errorText) {
    void* library = loadLibrary(libraryPath, errorText);
    if (!library)
        return hr::E_FAIL;
    auto function = reinterpret_cast<EntryPointFunction>(dlsym(library, entryPoint));
    if (!function) {
        if (errorText)
            *errorText = QStringLiteral("%1 exports no %2")
                             .arg(libraryPath, QString::fromLatin1(entryPoint));
        return hr::E_FAIL;
    }
    return function();
}

} // namespace automation
