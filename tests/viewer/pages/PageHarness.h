#pragma once

#include "tests/common/QtPrinters.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <ostream>

class QWebEngineView;
class QWebEngineProfile;

namespace testing_support {

// One message a page sent through vbHost.RaiseMessageEvent.
struct PageMessage {
    QString name;
    QString content;
};

// The folders of one viewer instance, as the control lays them out: the Bin
// folder with the six libraries, and the instance folder two levels below it
// holding the filled pages, the working copy and liste.js.
class InstanceFolder {
public:
    // The folders under a temporary folder, below a folder of that name when one is given.
    explicit InstanceFolder(const QString& parentName = QString());

    // The instance folder in the form that replaces ###ROOTDIR###.
    QString root() const;
    QString path(const QString& fileName) const;

    // Fills a template of the asset folder as the control does and writes it
    // as pageName; captionKey ("Tool", "Tag" or empty) names the Locale.ini
    // keys substituted for the #KeyN# placeholders, from the given section.
    QString fillPage(const QString& templateName, const QString& pageName,
                     const QString& captionKey, const QString& language = QStringLiteral("en"));
    // Copies the file into the instance folder under the given name and
    // writes liste.js naming it.
    void setWorkingCopy(const QString& sourcePath, const QString& name = QString());
    // Fills a DICOMDIR template as a DICOMDIR load does: the folder holding the DICOMDIR
    // replaces every "###DICOMDIR###", escaped for HTML; written as KDVAX_DICOMDIR.html.
    QString fillDicomdirPage(const QString& templateName, const QString& dicomdirFolder);
    void writeList(const QString& name);

private:
    QTemporaryDir m_dir;
    QString m_instance;
};

QString assetFolder();
QString readText(const QString& path);

// A headless page view whose documents get a recording host object, as the
// browser runtime injects it at document creation.
class PageView {
public:
    PageView();
    ~PageView();
    PageView(const PageView&) = delete;
    PageView& operator=(const PageView&) = delete;

    bool load(const QString& filePath);
    // Waits until a message of that name arrives (or any of the names).
    bool waitForMessage(const QString& name, int timeoutMs = 15000);
    bool waitForAnyMessage(const QStringList& names, int timeoutMs = 15000);
    QList<PageMessage> messages() const;
    QList<PageMessage> messages(const QString& name) const;
    QString lastContent(const QString& name) const;
    void clearMessages();
    // Runs script in the page and returns its result.
    QVariant run(const QString& script);
    QString bodyText();
    // Input as the user gives it: a key pressed and released in the focused page, and a
    // left click at a point of the view.
    void pressKey(Qt::Key key);
    void click(const QPoint& point);
    QStringList consoleErrors() const;
    void pump(int ms);

private:
    void collectMessages();

    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<QWebEngineView> m_view;
    QList<PageMessage> m_messages;
    std::shared_ptr<QStringList> m_console;
};

// Prepares the process for Qt WebEngine with the switches of the viewer's
// browser hosts; call before the first PageView.
void initWebEngine();

// The value of the key in the field of a JSON page message, as text.
QString jsonField(const QString& content, const QString& key);

} // namespace testing_support
