#include "ComServer.h"

#include "RegistrationStore.h"

#include "platform/ModulePath.h"

namespace {

const QString classesRoot = QStringLiteral("HKEY_CLASSES_ROOT\\");

QString clsidKey(const Guid& clsid) {
    return classesRoot + QStringLiteral("CLSID\\") + clsid.toString();
}

QString typeLibKey(const Guid& libId) {
    return classesRoot + QStringLiteral("TypeLib\\") + libId.toString();
}

} // namespace

ClassFactory::~ClassFactory() = default;

class ComServer::Factory : public ClassFactory {
public:
    Factory(ClassRegistration registration, std::shared_ptr<std::atomic<int>> live)
        : m_registration(std::move(registration))
        , m_live(std::move(live)) {}

    const ClassRegistration& registration() const { return m_registration; }

    // The object comes back wrapped so that its release is counted.
    DispatchPtr createInstance() override {
        DispatchPtr object = m_registration.create();
        if (!object)
            return nullptr;
        ++*m_live;
        Dispatch* raw = object.get();
        return DispatchPtr(raw, [held = std::move(object), live = m_live](Dispatch*) mutable {
            held.reset();
            --*live;
        });
    }

private:
    ClassRegistration m_registration;
    std::shared_ptr<std::atomic<int>> m_live;
};

ComServer::ComServer()
    : m_live(std::make_shared<std::atomic<int>>(0)) {
}

ComServer::~ComServer() = default;

void ComServer::addClass(ClassRegistration registration) {
    m_factories.push_back(std::make_unique<Factory>(std::move(registration), m_live));
}

HRESULT ComServer::registerServer(const void* moduleAddress) {
    const QString path = modulepath::pathOf(moduleAddress);
    if (path.isEmpty())
        return hr::SELFREG_E_CLASS;
    RegistrationStore store;
    bool ok = true;
    for (const auto& factory : m_factories) {
        const ClassRegistration& reg = factory->registration();
        const QString key = clsidKey(reg.clsid);
        ok &= store.setValue(classesRoot + reg.progId, {}, reg.className);
        ok &= store.setValue(classesRoot + reg.progId + QStringLiteral("\\CLSID"), {},
                             reg.clsid.toString());
        ok &= store.setValue(key, {}, reg.className);
        ok &= store.setValue(key + QStringLiteral("\\InprocServer32"), {}, path);
        ok &= store.setValue(key + QStringLiteral("\\InprocServer32"),
                             QStringLiteral("ThreadingModel"), QStringLiteral("Apartment"));
        ok &= store.setValue(key + QStringLiteral("\\ProgID"), {}, reg.progId);
        if (reg.isControl)
            ok &= store.setValue(key + QStringLiteral("\\Control"), {}, {});
        if (reg.typeLibId.isNull())
            continue;
        ok &= store.setValue(key + QStringLiteral("\\TypeLib"), {}, reg.typeLibId.toString());
        ok &= store.setValue(key + QStringLiteral("\\Version"), {}, reg.typeLibVersion);
        const QString lib = typeLibKey(reg.typeLibId) + QLatin1Char('\\') + reg.typeLibVersion;
        ok &= store.setValue(lib, {}, reg.typeLibName);
        ok &= store.setValue(lib + QStringLiteral("\\0\\linux64"), {}, path);
    }
    return ok ? hr::S_OK : hr::SELFREG_E_CLASS;
}

HRESULT ComServer::unregisterServer() {
    RegistrationStore store;
    for (const auto& factory : m_factories) {
        const ClassRegistration& reg = factory->registration();
        store.removeTree(classesRoot + reg.progId);
        store.removeTree(clsidKey(reg.clsid));
        if (!reg.typeLibId.isNull())
            store.removeTree(typeLibKey(reg.typeLibId));
    }
    return hr::S_OK;
}

HRESULT ComServer::getClassObject(const Guid* clsid, const Guid* iid, void** factory) {
    if (!factory)
        return hr::E_POINTER;
    *factory = nullptr;
    if (!clsid || !iid)
        return hr::E_INVALIDARG;
    if (*iid != IID_IClassFactory && *iid != IID_IUnknown)
        return hr::E_NOINTERFACE;
    for (const auto& candidate : m_factories) {
        if (candidate->registration().clsid == *clsid) {
            *factory = static_cast<ClassFactory*>(candidate.get());
            return hr::S_OK;
        }
    }
    return hr::CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ComServer::canUnloadNow() const {
    return m_live->load() == 0 ? hr::S_OK : hr::S_FALSE;
}
