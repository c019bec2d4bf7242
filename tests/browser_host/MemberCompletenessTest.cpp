// Every published member of the browser host is served, or is on the list of
// members absent on this platform, each with its reason.

#include "browser_host/KestWebviewKD.h"

#include "tests/common/TestApp.h"
#include "webview2_binding/cWebView2.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// Members the runtime reports among the facilities it lacks (named as it names them).
const QStringList runtimeAbsent = {
    "PreferredTrackingPreventionLevel", // Qt WebEngine has no tracking prevention
    "IsGeneralAutofillEnabled",         // nor form autofill
    "IsPasswordAutosaveEnabled",        // nor a password store
    "OpenTaskManagerWindow",            // nor a task manager window
    // Nor serving a folder under a host name of its own.
    "SetVirtualHostNameToFolderMapping",
    "ClearVirtualHostNameToFolderMapping",
    // Nor a download dialog of the browser's own.
    "IsDefaultDownloadDialogOpen",
    "OpenDefaultDownloadDialog",
    "CloseDefaultDownloadDialog",
};

// Members absent for other reasons.
const QStringList otherAbsent = {
    // Built-in browser pages Qt WebEngine 6.4 cannot serve: it has no history,
    // downloads, flags or reserved-address pages.
    "GoHystory",
    "GoDownloads",
    "GoOptions",
    "GoListEdgeUrls",
    // No extension can be installed into the runtime, and it serves no
    // extension pages: there is no popup, options or extension page to show.
    "ShowBrowserExtensionPopup",
    "ShowBrowserExtensionOption",
    "ExploreBrowserExtension",
    // The automation layer has no picture object to return an icon in.
    "LoadBrowserExtensionIconPicture",
};

QString kindName(unsigned kind) {
    switch (kind) {
    case InvokeFlags::Method:
        return "method";
    case InvokeFlags::PropertyGet:
        return "get";
    default:
        return "put";
    }
}

} // namespace

TEST(MemberCompleteness, EveryMemberHasAHandlerOrIsListedAbsent) {
    testing_support::app();
    const auto host = KestWebviewKD::create();
    const TypeInfo& info = *host->typeInfo();
    QSet<QString> unserved;
    QStringList missing;
    for (const MemberInfo& member : info.members) {
        if (host->hasHandler(member.id, member.kind))
            continue;
        unserved.insert(member.name);
        if (!runtimeAbsent.contains(member.name) && !otherAbsent.contains(member.name))
            missing << member.name + " (" + kindName(member.kind) + ")";
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
    // The list holds only members that are really absent.
    for (const QString& name : runtimeAbsent + otherAbsent)
        EXPECT_TRUE(unserved.contains(name)) << name.toStdString() << " has a handler";
}

TEST(MemberCompleteness, MembersAbsentForTheRuntimeAreOnItsList) {
    testing_support::app();
    cWebView2::setLibraryFolder(qEnvironmentVariable("KEST_BIN_DIR"));
    const QStringList facilities = cWebView2::AbsentFacilities();
    for (const QString& name : runtimeAbsent)
        EXPECT_TRUE(facilities.contains(name)) << name.toStdString();
}
