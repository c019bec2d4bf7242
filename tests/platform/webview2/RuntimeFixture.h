// The fixture of the runtime tests: the runtime loaded as the control library
// loads it, with dlopen after the QApplication exists, and one browser in a
// real window.
#pragma once

#include "platform/MessagePump.h"
#include "platform/webview2/WebView2.h"
#include "tests/common/TestApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace std::chrono_literals;

namespace {

struct Loader {
    CreateCoreWebView2EnvironmentWithOptionsFn create = nullptr;
    GetAvailableCoreWebView2BrowserVersionStringFn version = nullptr;
};

const Loader& loader() {
    static const Loader loaded = [] {
        testing_support::app();
        const QByteArray path = qgetenv("KEST_BIN_DIR") + "/KestDicomAx/libWebView2Loader.so";
        void* library = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        Loader result;
        if (!library)
            return result;
        result.create = reinterpret_cast<CreateCoreWebView2EnvironmentWithOptionsFn>(
            dlsym(library, "CreateCoreWebView2EnvironmentWithOptions"));
        result.version = reinterpret_cast<GetAvailableCoreWebView2BrowserVersionStringFn>(
            dlsym(library, "GetAvailableCoreWebView2BrowserVersionString"));
        return result;
    }();
    return loaded;
}

template <typename Predicate>
bool waitFor(Predicate done, std::chrono::milliseconds timeout = 15s) {
    return pump::waitUntil(done, timeout);
}

class RuntimeTest : public ::testing::Test {
protected:
    // Puts the keyboard focus into the page, in an active window.
    bool focusIntoView() {
        QApplication::setActiveWindow(window.get());
        controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
        return waitFor([&] {
            QWidget* focus = QApplication::focusWidget();
            return focus && window->isAncestorOf(focus) && !qobject_cast<QLineEdit*>(focus);
        });
    }

    void SetUp() override {
        ASSERT_TRUE(loader().create) << "libWebView2Loader.so did not load";
        window = std::make_unique<QWidget>();
        window->resize(400, 300);
        window->show();
    }

    void TearDown() override {
        if (controller)
            controller->Close();
    }

    ComPtr<ICoreWebView2Environment> createEnvironment(const QString& runtimeFolder,
                                                       HRESULT* created = nullptr) {
        ComPtr<ICoreWebView2Environment> environment;
        bool done = false;
        const HRESULT result =
            loader().create(runtimeFolder, data.path(), nullptr,
                            makeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
                                [&](HRESULT, ICoreWebView2Environment* env) {
                                    environment = env;
                                    done = true;
                                    return hr::S_OK;
                                })
                                .get());
        if (created)
            *created = result;
        if (hr::succeeded(result))
            waitFor([&] { return done; });
        return environment;
    }

    // A line edit below the page, where the focus can go when it leaves the page.
    QLineEdit* addFieldBelowThePage() {
        auto* field = new QLineEdit(window.get());
        field->move(0, 260);
        field->show();
        return field;
    }

    // Appends the reason of each MoveFocusRequested the controller raises.
    void recordFocusMoves(QList<int>& reasons) {
        EventRegistrationToken token;
        controller->add_MoveFocusRequested(
            makeHandler<ICoreWebView2MoveFocusRequestedEventHandler>(
                [&reasons](ICoreWebView2Controller*,
                           ICoreWebView2MoveFocusRequestedEventArgs* args) {
                    COREWEBVIEW2_MOVE_FOCUS_REASON reason =
                        COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
                    args->get_Reason(&reason);
                    reasons.append(reason);
                    return hr::S_OK;
                })
                .get(),
            &token);
    }

    void open() {
        auto environment = createEnvironment({});
        ASSERT_TRUE(environment);
        ASSERT_EQ(environment->CreateCoreWebView2Controller(
                      window.get(),
                      makeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
                          [&](HRESULT result, ICoreWebView2Controller* created) {
                              EXPECT_EQ(result, hr::S_OK);
                              controller = created;
                              return hr::S_OK;
                          })
                          .get()),
                  hr::S_OK);
        ASSERT_TRUE(waitFor([&] { return bool(controller); }));
        ASSERT_EQ(controller->put_Bounds(RECT{0, 0, 320, 240}), hr::S_OK);
        ASSERT_EQ(controller->get_CoreWebView2(webview.put()), hr::S_OK);
        EventRegistrationToken token;
        webview->add_NavigationCompleted(
            makeHandler<ICoreWebView2NavigationCompletedEventHandler>(
                [this](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
                    bool ok = false;
                    args->get_IsSuccess(&ok);
                    completions.append(ok);
                    return hr::S_OK;
                })
                .get(),
            &token);
    }

    // Navigates and waits for the navigation's completion; returns its success.
    bool load(const std::function<void()>& navigate) {
        const auto before = completions.size();
        navigate();
        if (!waitFor([&] { return completions.size() > before; }))
            return false;
        return completions.last();
    }

    bool loadHtml(const QString& html) {
        return load([&] { webview->NavigateToString(html); });
    }

    QString writePage(const QString& name, const QByteArray& html) {
        QFile file(data.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(html);
        return QUrl::fromLocalFile(file.fileName()).toString();
    }

    QString execute(const QString& script) {
        QString json;
        bool done = false;
        webview->ExecuteScript(
            script,
            makeHandler<ICoreWebView2ExecuteScriptCompletedHandler>([&](HRESULT result,
                                                                        const QString& text) {
                EXPECT_EQ(result, hr::S_OK);
                json = text;
                done = true;
                return hr::S_OK;
            }).get());
        EXPECT_TRUE(waitFor([&] { return done; }));
        return json;
    }

    QTemporaryDir data;
    std::unique_ptr<QWidget> window;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    QList<bool> completions;
};

} // namespace
