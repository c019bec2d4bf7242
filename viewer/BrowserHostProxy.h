#pragma once

#include "platform/automation/Dispatch.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// A browser-host member the viewer calls, as the viewer calls it: by name,
// with the invocation kind and the most arguments it ever passes.
struct BrowserHostMember {
    const char* name;
    unsigned kind;
    int arguments;
};

// One inner browser host of the viewer, reached late-bound by member name as
// a container reaches its controls. Every member the viewer uses goes through
// one method here, so the names and argument counts live in one table that a
// test checks against the browser host's published members.
class BrowserHostProxy {
public:
    using EventHandler =
        std::function<void(BrowserHostProxy& host, const QString& event, QList<Variant>& args)>;

    // Places the host's widget on the parent and hands each of its events to the handler.
    BrowserHostProxy(QString name, DispatchPtr object, QWidget* parent, EventHandler events);
    ~BrowserHostProxy();
    BrowserHostProxy(const BrowserHostProxy&) = delete;
    BrowserHostProxy& operator=(const BrowserHostProxy&) = delete;

    // Every member the methods below call.
    static QList<BrowserHostMember> membersUsed();

    const QString& name() const { return m_name; }
    QWidget* widget() const { return m_widget; }
    // Set once the host has raised InitComplete.
    bool ready = false;

    bool isWebViewInit() const;
    double initTimeOut() const;
    QString documentTitle() const;
    void setHomeUrl(const QString& url);
    void setUseEdgeFixedVersion(bool value);
    void initEx(const QString& runtimeFolder, const QString& userDataFolder);
    void navigateToString(const QString& html);
    void navigateToFile(const QString& path);
    // Calls a page function with its arguments.
    Variant runJs(const QString& function, QList<Variant> args = {});
    // Saves the visible page as a picture: format 0 PNG, 1 JPEG.
    bool capturePreview(const QString& path, int format);
    // Copies a picture of the visible page to the clipboard.
    void capturePreviewToClipboard();
    // The browser's print dialog for the page shown.
    void showPrintDialog();

private:
    Variant invoke(const BrowserHostMember& member, QList<Variant> args) const;

    QString m_name;
    DispatchPtr m_object;
    QPointer<QWidget> m_widget;
    int m_cookie = 0;
};
