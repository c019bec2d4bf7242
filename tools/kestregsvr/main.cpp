// kestregsvr: registers or unregisters an in-process server library in the
// per-user registration store, as regsvr32 does.
//   kestregsvr [/u] [/s] LIBRARY     register (or unregister with /u); /s: no output
//   kestregsvr /l                    list the registered classes

#include "platform/automation/ObjectFactory.h"
#include "platform/automation/RegistrationStore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

int listClasses() {
    const RegistrationStore store;
    const QString clsidRoot = QStringLiteral("HKEY_CLASSES_ROOT\\CLSID");
    for (const QString& clsid : store.subKeys(clsidRoot)) {
        const QString key = clsidRoot + QLatin1Char('\\') + clsid;
        std::printf("%s %s %s\n", qPrintable(clsid),
                    qPrintable(store.value(key + QStringLiteral("\\ProgID"))),
                    qPrintable(store.value(key + QStringLiteral("\\InprocServer32"))));
    }
    std::printf("store: %s\n", qPrintable(store.path()));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    bool unregister = false;
    bool silent = false;
    QString library;
    for (const QString& arg : app.arguments().mid(1)) {
        const QString flag = arg.toLower();
        if (flag == QLatin1String("/u") || flag == QLatin1String("-u"))
            unregister = true;
        else if (flag == QLatin1String("/s") || flag == QLatin1String("-s"))
            silent = true;
        else if (flag == QLatin1String("/l") || flag == QLatin1String("-l"))
            return listClasses();
        else
            library = arg;
    }
    if (library.isEmpty()) {
        std::fprintf(stderr, "usage: kestregsvr [/u] [/s] LIBRARY | kestregsvr /l\n");
        return 2;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    QString error;
    const HRESULT result = automation::callServerEntryPoint(library, entry, &error);
    if (hr::failed(result)) {
        std::fprintf(stderr, "kestregsvr: %s failed in %s (0x%08x)%s%s\n", entry,
                     qPrintable(library), static_cast<unsigned>(result),
                     error.isEmpty() ? "" : ": ", qPrintable(error));
        return 1;
    }
    if (!silent)
        std::printf("%s succeeded in %s\n", entry, qPrintable(library));
    return 0;
}
