#include "ViewerFixture.h"

#include "platform/MessagePump.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/DicomFiles.h"
#include "tests/common/TestApp.h"

#include <QApplication>
#include <QDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <memory>
#include <optional>

void ViewerFixture::SetUpTestSuite() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing_support::app();
}

void ViewerFixture::SetUp() {
    environment.setFolder("XDG_CONFIG_HOME", "config");
    environment.setFolder("LOCALAPPDATA", "local");
    environment.setFolder("ALLUSERSPROFILE", "common");
    environment.setFolder("TEMP", "temp");
    ASSERT_EQ(automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer"), hr::S_OK);
    viewer = automation::createObject("KestDicomViewControl.KestDicomViewAX");
    viewer->control()->initNew();
    viewer->control()->widget()->setParent(&window);
    viewer->control()->widget()->resize(800, 600);
    window.resize(800, 600);
    window.show();
    cookie = viewer->eventSource()->advise(std::make_shared<FunctionEventSink>(
        [this](DispId, const QString& name, QList<Variant>& args) {
            if (name != "Paint" && name != "Resize" && name != "MouseMove")
                raised.append({name, args});
        }));
}

void ViewerFixture::TearDown() {
    viewer->eventSource()->unadvise(cookie);
    viewer->control()->widget()->setParent(nullptr);
    viewer.reset();
    pump::processPending();
}

bool ViewerFixture::loadFile(const QString& path) {
    raised.clear();
    if (!viewer->call("LoadDicomFile", {Variant(path)}).toBool())
        return false;
    return waitFor("ImageLoaded");
}

bool ViewerFixture::loadDemo() {
    return loadFile(testing_support::pydicomFile("CT_small.dcm"));
}

void ViewerFixture::post(const QString& name, const QString& content) {
    raised.clear();
    viewer->call("RunJs", {Variant("vbHost.RaiseMessageEvent"), Variant(name), Variant(content)});
    settle();
}

// The page's messages are handled in order: once a marker button posted after
// them has come back as ToolSelected("UnknownTool"), everything before it was
// handled. The marker's own event is dropped.
void ViewerFixture::settle() {
    viewer->call("RunJs", {Variant("vbHost.RaiseMessageEvent"), Variant("buttonClicked"),
                           Variant("KestTestMarker")});
    const auto isMarker = [](const Raised& r) {
        return r.name == "ToolSelected" &&
               r.args.value(0) == Variant(QStringLiteral("UnknownTool"));
    };
    const bool seen =
        pump::waitUntil([&] { return std::any_of(raised.begin(), raised.end(), isMarker); },
                        std::chrono::seconds(20));
    ASSERT_TRUE(seen) << "the page's messages were not handled";
    raised.removeIf(isMarker);
}

bool ViewerFixture::waitFor(const QString& event) {
    return pump::waitUntil([&] { return find(event) != nullptr; }, std::chrono::seconds(60));
}

const Raised* ViewerFixture::find(const QString& event) const {
    for (const Raised& r : raised) {
        if (r.name == event)
            return &r;
    }
    return nullptr;
}

QString ViewerFixture::instanceFolder() const {
    const QString temp = environment.root() + "/local/Tarnwell/KestDicomAx/Temp/";
    const QStringList folders = QDir(temp).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return folders.size() == 1 ? temp + folders.first() + '/' : QString();
}

QWebEnginePage* ViewerFixture::browserPage(const char* hostName) const {
    QWidget* host = viewer->control()->widget()->findChild<QWidget*>(QLatin1String(hostName));
    auto* view = host ? host->findChild<QWebEngineView*>() : nullptr;
    return view ? view->page() : nullptr;
}

QVariant ViewerFixture::evaluate(QWebEnginePage* page, const QString& script) {
    // The answer may come after the wait has given up: it then lands in shared state.
    const auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [answer](const QVariant& value) { *answer = value; });
    pump::waitUntil([&] { return answer->has_value(); }, std::chrono::seconds(10));
    return answer->value_or(QVariant());
}
