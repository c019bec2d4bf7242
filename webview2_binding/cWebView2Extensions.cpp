#include "cWebView2.h"

#include "Collection.h"

// ---------------------------------------------------------------- browser extensions
//
// The runtime has no extension interface on its profile (it lists
// "AreBrowserExtensionsEnabled" among its absent facilities): it installs no
// extension and lists none. The members answer as for an empty list.

QString cWebView2::AddBrowserExtension(const QString& /*extensionFolderPath*/,
                                       double /*secondsToWait*/) {
    return {};
}

Variant cWebView2::GetBrowserExtensions(double /*secondsToWait*/) {
    return Variant(DispatchPtr(Collection::create()));
}

std::int32_t cWebView2::GetBrowserExtensionState(const QString& extensionIdOrName,
                                                 double secondsToWait) {
    const QString wanted = extensionIdOrName.trimmed();
    const auto list = Collection::from(GetBrowserExtensions(secondsToWait));
    if (wanted.isEmpty() || !list)
        return -1;
    for (const char* key : {"Id", "Name"}) {
        for (int i = 1; i <= list->count(); ++i) {
            const auto item = Collection::from(list->item(i));
            if (item && item->item(QLatin1String(key))
                                .toString()
                                .trimmed()
                                .compare(wanted, Qt::CaseInsensitive) == 0)
                return item->item(QStringLiteral("IsEnabled")).toBool() ? 1 : 0;
        }
    }
    return -1;
}

// Without the interface no extension can be enabled, disabled or removed.
bool cWebView2::EnableBrowserExtension(const QString& /*extensionIdOrName*/, bool /*isEnabled*/,
                                       double /*secondsToWait*/) {
    return false;
}

bool cWebView2::RemoveBrowserExtension(const QString& /*extensionIdOrName*/,
                                       double /*secondsToWait*/) {
    return false;
}
