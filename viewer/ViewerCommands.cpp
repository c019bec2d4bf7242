// View commands: tools, zoom, scripts, the tags page and the sidebar.

#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "ViewerSurface.h"
#include "ViewerValues.h"

#include "platform/MessagePump.h"
#include "platform/automation/AutomationError.h"

using viewervalues::flag;
using viewervalues::text;

Variant KestDicomViewAX::callPage(const QString& function, QList<Variant> args) {
    return m_image->runJs(function, std::move(args));
}

void KestDicomViewAX::bringToFront(BrowserHostProxy& host) {
    if (host.widget()) {
        host.widget()->show();
        host.widget()->raise();
    }
    // The tags page behind the image is hidden from the engine, which then
    // neither draws it nor keeps its pictures (about 15 MiB). The image page is
    // never hidden: it draws only while visible, and it answers a load once
    // drawn. A browser still starting stays visible: it starts in a shown pane.
    if (&host == m_image.get() && m_tags->ready && m_tags->widget())
        m_tags->widget()->hide();
    if (m_surface->isWaitVisible())
        m_surface->raiseWaitPicture();
}

void KestDicomViewAX::ResetDICOMProperty() {
    m_document = DocumentState::afterReset();
}

void KestDicomViewAX::SelectTool(int tool) {
    if (const auto command = tools::pageCommand(tool))
        callPage(QStringLiteral("PressButton"), {text(*command)});
}

void KestDicomViewAX::SetScale1() {
    callPage(QStringLiteral("SetZoom"), {text(QStringLiteral("100"))});
    callPage(QStringLiteral("PressButton"), {text(QStringLiteral("Pan"))});
}

void KestDicomViewAX::setZoomFactor(std::int16_t percent) {
    try {
        callPage(QStringLiteral("SetZoom"), {text(QString::number(percent))});
    } catch (const AutomationError&) {
        // The zoom request is best effort: the page answers with its own zoom.
    }
}

void KestDicomViewAX::RunJs(const QString& script, const QList<Variant>& params) {
    // Parameters are passed up to the first missing one.
    QList<Variant> args;
    for (const Variant& param : params) {
        if (param.isMissing())
            break;
        args.append(param);
    }
    m_image->runJs(script, std::move(args));
}

void KestDicomViewAX::setDisplayDicomTags(VBool value) {
    m_displayDicomTags = value;
    if (value == VTrue)
        showTags();
    else
        hideTags();
}

void KestDicomViewAX::showTags() {
    // Tags still due are loaded now; those of the previous file are never shown.
    loadDueTags();
    const bool loaded = m_tagsPage == TagsPage::Current && waitForTagsPage();
    bringToFront(loaded ? *m_tags : *m_image);
    m_displayDicomTags = toVBool(loaded);
    raise(QStringLiteral("TagsStatusChange"), {flag(loaded)});
}

// The tags page has its title once it has loaded. On the first load the tags
// browser still showed its placeholder page's title when the navigation's wait
// had ended, so the title is waited for, within the time a navigation is given.
bool KestDicomViewAX::waitForTagsPage() {
    return pump::waitUntil(
        [this] { return m_tags->documentTitle() == QLatin1String("DICOM Tags"); },
        std::chrono::seconds(8));
}

void KestDicomViewAX::hideTags() {
    bringToFront(*m_image);
    m_displayDicomTags = VFalse;
    raise(QStringLiteral("TagsStatusChange"), {flag(false)});
}

void KestDicomViewAX::setSideBarVisible(VBool value) {
    m_sideBarVisible = value;
    if (value)
        showSidebar();
    else
        hideSidebar();
    markChanged(QStringLiteral("SideBarVisible"));
}

void KestDicomViewAX::showSidebar() {
    callPage(QStringLiteral("showSidebar"));
    m_sideBarVisible = VTrue;
    raise(QStringLiteral("SidebarStatusChange"), {flag(true)});
}

void KestDicomViewAX::hideSidebar() {
    callPage(QStringLiteral("hideSidebar"));
    m_sideBarVisible = VFalse;
    raise(QStringLiteral("SidebarStatusChange"), {flag(false)});
}
