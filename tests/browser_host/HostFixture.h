#pragma once

// One browser host control in a window, on the real binding and runtime, with
// the events it raises recorded.

#include "browser_host/KestWebviewKD.h"

#include "platform/MessagePump.h"
#include "platform/UiServices.h"
#include "tests/common/TempEnvironment.h"
#include "tests/common/TestApp.h"
#include "webview2_binding/cWebView2.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>

using namespace std::chrono_literals;

class Site : public ControlSite {
public:
    AmbientProperties ambientProperties() const override {
        AmbientProperties a;
        a.localeId = localeId;
        a.userMode = userMode;
        return a;
    }
    std::uint32_t localeId = 1033;
    bool userMode = true;
};

// One control in a window, with every event it raises recorded by name.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        testing_support::app();
        cWebView2::setLibraryFolder(qEnvironmentVariable("KEST_BIN_DIR"));
        env.setFolder("LOCALAPPDATA", "local");
        temp = env.setFolder("TEMP", "temp");
        env.setFolder("ALLUSERSPROFILE", "common");
        ui::setMessageBoxHook([this](const ui::MessageBoxRequest& r) {
            boxes << r.prompt;
            return int(ui::MsgBox::Ok);
        });
        host = KestWebviewKD::create();
        host->setControlSite(&site);
        host->initNew();
        host->events().advise(std::make_shared<FunctionEventSink>(
            [this](DispId, const QString& name, QList<Variant>& args) {
                events << name;
                if (onEvent)
                    onEvent(name, args);
            }));
        host->resize(400, 300);
    }
    void TearDown() override {
        host.reset();
        ui::setMessageBoxHook(nullptr);
    }

    bool start(QList<Variant> initEx = {text(""), Variant(false), text(""), text("")}) {
        host->show();
        host->call("InitEx", std::move(initEx));
        return pump::waitUntil([this] { return host->IsWebViewInit(); }, 20s);
    }
    static Variant text(const char* value) { return Variant(QString::fromUtf8(value)); }
    QString navigationTarget(QString address) {
        QString target;
        onEvent = [&target](const QString& name, QList<Variant>& args) {
            if (name == "NavigationStarting" && target.isEmpty())
                target = args[2].toString();
        };
        QList<Variant> args{Variant(address)};
        host->invokeByName("Navigate", InvokeFlags::Method, args);
        pump::waitUntil([&target] { return !target.isEmpty(); }, 5s);
        onEvent = nullptr;
        return target;
    }

    // The arguments of the next event of that name raised within the wait.
    std::optional<QList<Variant>> nextEvent(const QString& wanted,
                                            const std::function<void()>& action,
                                            std::chrono::milliseconds wait = 10s) {
        std::optional<QList<Variant>> seen;
        onEvent = [&](const QString& name, QList<Variant>& args) {
            if (name == wanted && !seen)
                seen = args;
        };
        action();
        pump::waitUntil([&seen] { return seen.has_value(); }, wait);
        onEvent = nullptr;
        return seen;
    }
    // Starts a navigation that the container cancels from NavigationStarting,
    // pumping for the given time before the container stops cancelling.
    void navigateCancelledByTheContainer(std::chrono::milliseconds settle = {}) {
        onEvent = [](const QString& name, QList<Variant>& args) {
            if (name == "NavigationStarting")
                args[3] = Variant(true);
        };
        host->call("NavigateToString", {text("<html><title>New</title></html>"), Variant(2.0)});
        if (settle.count() > 0)
            pump::waitUntil([] { return false; }, settle);
        onEvent = nullptr;
    }

    QString pageFile(const QString& name, const QString& html) {
        const QString path = temp + "/" + name;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(html.toUtf8());
        return path;
    }
    QString bodyText() {
        return host->call("jsProp", {text("document.body.innerText")}).toString();
    }
    // A fixed runtime folder that names its version.
    QString fixedFolderOf(const QString& version) {
        const QString folder = env.root() + "/fixed/" + version;
        QDir().mkpath(folder);
        QFile(folder + "/" + version + ".manifest").open(QIODevice::WriteOnly);
        return folder;
    }
    static int errorNumber(const std::function<void()>& action) {
        try {
            action();
        } catch (const AutomationError& error) {
            return error.number();
        }
        return 0;
    }

    testing_support::TempEnvironment env;
    QString temp;
    Site site;
    std::shared_ptr<KestWebviewKD> host;
    QStringList events;
    QStringList boxes;
    std::function<void(const QString&, QList<Variant>&)> onEvent;
};
