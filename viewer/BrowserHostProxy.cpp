#include "BrowserHostProxy.h"

#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"

namespace {

namespace member {
constexpr unsigned Get = InvokeFlags::PropertyGet;
constexpr unsigned Let = InvokeFlags::PropertyPut;
constexpr unsigned Call = InvokeFlags::Method;

constexpr BrowserHostMember IsWebViewInit{"IsWebViewInit", Get, 0};
constexpr BrowserHostMember InitTimeOut{"InitTimeOut", Get, 0};
constexpr BrowserHostMember DocumentTitle{"DocumentTitle", Get, 0};
constexpr BrowserHostMember HomeURL{"HomeURL", Let, 1};
constexpr BrowserHostMember UseEdgeFixedVersion{"UseEdgeFixedVersion", Let, 1};
constexpr BrowserHostMember InitEx{"InitEx", Call, 4};
constexpr BrowserHostMember NavigateToString{"NavigateToString", Call, 1};
constexpr BrowserHostMember NavigateToFile{"NavigateToFile", Call, 1};
// The function name and up to fifteen arguments.
constexpr BrowserHostMember RunJs{"RunJs", Call, 16};
constexpr BrowserHostMember CapturePreview{"CapturePreview", Call, 2};
constexpr BrowserHostMember CapturePreviewToClipBoard{"CapturePreviewToClipBoard", Call, 0};
constexpr BrowserHostMember ShowPrintDialog{"ShowPrintDialog", Call, 0};
} // namespace member

Variant text(const QString& value) {
    return Variant(value);
}

} // namespace

BrowserHostProxy::BrowserHostProxy(QString name, DispatchPtr object, QWidget* parent,
                                   EventHandler events)
    : m_name(std::move(name))
    , m_object(std::move(object)) {
    m_widget = m_object->control()->widget();
    m_widget->setParent(parent);
    m_widget->setObjectName(m_name);
    m_widget->show();
    m_cookie = m_object->eventSource()->advise(std::make_shared<FunctionEventSink>(
        [this, events = std::move(events)](DispId, const QString& event, QList<Variant>& args) {
            events(*this, event, args);
        }));
}

BrowserHostProxy::~BrowserHostProxy() {
    if (EventSource* source = m_object->eventSource())
        source->unadvise(m_cookie);
}

QList<BrowserHostMember> BrowserHostProxy::membersUsed() {
    return {member::IsWebViewInit,
            member::InitTimeOut,
            member::DocumentTitle,
            member::HomeURL,
            member::UseEdgeFixedVersion,
            member::InitEx,
            member::NavigateToString,
            member::NavigateToFile,
            member::RunJs,
            member::CapturePreview,
            member::CapturePreviewToClipBoard,
            member::ShowPrintDialog};
}

Variant BrowserHostProxy::invoke(const BrowserHostMember& member, QList<Variant> args) const {
    return m_object->invokeByName(QLatin1String(member.name), member.kind, args);
}

bool BrowserHostProxy::isWebViewInit() const {
    return invoke(member::IsWebViewInit, {}).toBool();
}

double BrowserHostProxy::initTimeOut() const {
    const Variant seconds = invoke(member::InitTimeOut, {});
    return seconds.isNumeric() ? seconds.toDouble() : 8.0;
}

QString BrowserHostProxy::documentTitle() const {
    return invoke(member::DocumentTitle, {}).toString();
}

void BrowserHostProxy::setHomeUrl(const QString& url) {
    invoke(member::HomeURL, {text(url)});
}

void BrowserHostProxy::setUseEdgeFixedVersion(bool value) {
    invoke(member::UseEdgeFixedVersion, {Variant(value)});
}

void BrowserHostProxy::initEx(const QString& runtimeFolder, const QString& userDataFolder) {
    invoke(member::InitEx, {text({}), Variant(false), text(runtimeFolder), text(userDataFolder)});
}

void BrowserHostProxy::navigateToString(const QString& html) {
    invoke(member::NavigateToString, {text(html)});
}

void BrowserHostProxy::navigateToFile(const QString& path) {
    invoke(member::NavigateToFile, {text(path)});
}

Variant BrowserHostProxy::runJs(const QString& function, QList<Variant> args) {
    args.prepend(text(function));
    return invoke(member::RunJs, std::move(args));
}

bool BrowserHostProxy::capturePreview(const QString& path, int format) {
    return invoke(member::CapturePreview, {text(path), Variant(std::int32_t(format))}).toBool();
}

void BrowserHostProxy::capturePreviewToClipboard() {
    invoke(member::CapturePreviewToClipBoard, {});
}

void BrowserHostProxy::showPrintDialog() {
    invoke(member::ShowPrintDialog, {});
}
