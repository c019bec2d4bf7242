#include "KestDicomViewAX.h"

#include "PageAssets.h"
#include "PageMessage.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerTypeInfo.h"

#include "dialogs/CmnDialogEx.h"
#include "platform/Environment.h"
#include "platform/MessagePump.h"
#include "platform/NativeWindow.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "support/frmAbout.h"
#include "support/modCompatFunctions.h"
#include "support/modGUID.h"
#include "support/modLocalisation.h"
#include "support/modOperationFichierSimple.h"
#include "support/modSHFileOperation.h"
#include "support/modSpecialFolders.h"
#include "support/modWait.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QScreen>
#include <QUrl>

#include <cmath>
#include <dlfcn.h>
#include <filesystem>

namespace {

constexpr std::uint32_t DefaultBackColor = 0x8000000F;

// The browser folders are shared by every viewer of the process.
QString& runtimeFolder() {
    static QString folder;
    return folder;
}

QString& userDataFolder() {
    static QString folder;
    return folder;
}

QString libraryFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&libraryFolder), &info) || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

QString privateRuntimeFolder() {
    return files::withTrailingSeparator(env::allUsersProfile()) +
           QStringLiteral("KestDicomViewAx/WebView2");
}

QString sharedUserDataFolder() {
    return files::withTrailingSeparator(env::allUsersProfile()) +
           QStringLiteral("KestDicomViewAx/Data");
}

QString localFolder(const char* name) {
    return files::withTrailingSeparator(env::localAppData()) +
           QStringLiteral("Tarnwell/KestDicomAx/") + QLatin1String(name) + QLatin1Char('/');
}

Variant text(const QString& value) {
    return Variant(value);
}

// A Boolean for automation: -1 or 0.
Variant flag(bool value) {
    return Variant(value);
}

} // namespace

// One inner browser host and what the viewer keeps of it.
struct KestDicomViewAX::Host {
    QString name;
    DispatchPtr object;
    QPointer<QWidget> widget;
    bool ready = false;
    int cookie = 0;

    Variant get(const QString& member) const { return object->get(member); }
    Variant call(const QString& member, QList<Variant> args = {}) const {
        return object->call(member, std::move(args));
    }
    void put(const QString& member, const Variant& value) const { object->put(member, value); }
    bool initialised() const { return get(QStringLiteral("IsWebViewInit")).toBool(); }
};

QString KestDicomViewAX::version() {
    return QStringLiteral(KEST_VERSION);
}

QString KestDicomViewAX::browserRuntimeFolder() {
    return runtimeFolder();
}

QString KestDicomViewAX::browserUserDataFolder() {
    return userDataFolder();
}

KestDicomViewAX::KestDicomViewAX(BrowserHostFactory browserHostFactory)
    : DispatchObject(viewerTypeInfo())
    , m_factory(std::move(browserHostFactory))
    , m_events(viewerTypeInfo()) {
    m_instanceId = guidtext::newGuid(true, true);
    m_surface = new ViewerSurface;
    m_surface->onResize = [this] {
        layout();
    };
    m_surface->onInputEvent = [this](const QString& event, QList<Variant>& args) {
        m_events.raise(event, args);
    };
    bindMembers();
    ReInit(false);
    const auto makeHost = [this](const char* name, QWidget* parent) {
        auto host = std::make_unique<Host>();
        host->name = QLatin1String(name);
        host->object = m_factory();
        Control* control = host->object->control();
        control->setControlSite(this);
        PropertyBag design;
        design.write(QStringLiteral("search_url"), text({}));
        design.write(QStringLiteral("isscriptenabled"), flag(false));
        design.write(QStringLiteral("useedgefixedversion"), flag(true));
        design.write(QStringLiteral("backcolor"), Variant(std::int32_t(0)));
        design.write(QStringLiteral("allowinteractivecontentlocally"), flag(true));
        control->load(design);
        host->widget = control->widget();
        host->widget->setParent(parent);
        host->widget->setObjectName(host->name);
        host->widget->show();
        Host* raw = host.get();
        host->cookie = host->object->eventSource()->advise(std::make_shared<FunctionEventSink>(
            [this, raw](DispId, const QString& event, QList<Variant>& args) {
                onHostEvent(*raw, event, args);
            }));
        return host;
    };
    m_image = makeHost("KestWebViewKD1", m_surface);
    m_tags = makeHost("KestWebViewKD2", m_surface);
    m_dicomDir = makeHost("KestWebViewDD3", m_surface->dicomDirPane());
    m_surface->raiseWaitPicture();
    layout();
}

KestDicomViewAX::~KestDicomViewAX() {
    for (Host* host : {m_image.get(), m_tags.get(), m_dicomDir.get()}) {
        if (host && host->object->eventSource())
            host->object->eventSource()->unadvise(host->cookie);
    }
    // The hosts go before the surface that holds their widgets.
    m_image.reset();
    m_tags.reset();
    m_dicomDir.reset();
    delete m_surface.data();
    shellfiles::deletePath(files::withoutTrailingSeparator(m_instanceFolder));
}

QWidget* KestDicomViewAX::widget() {
    return m_surface;
}

// ---------------------------------------------------------------- folders and assets

void KestDicomViewAX::ReInit(bool force) {
    m_binFolder = localFolder("Bin");
    m_dataFolder = localFolder("Data");
    m_tempFolder = localFolder("Temp");
    m_instanceFolder = m_tempFolder + m_instanceId + QLatin1Char('/');
    files::createFolderTree(m_binFolder);
    files::createFolderTree(m_tempFolder);
    m_assetFolder = files::withTrailingSeparator(libraryFolder()) + QStringLiteral("KestDicomAx/");
    pageassets::deployLibraries(m_assetFolder, m_binFolder, force);
    m_placeholderPage = pageassets::placeholderPage();
    files::writeTextFile(m_placeholderPage, m_binFolder + QStringLiteral("AboutBlack.html"), false);
}

void KestDicomViewAX::applyBrowserFolders() {
    runtimeFolder() = m_useEvergreen ? QString() : privateRuntimeFolder();
    userDataFolder() = m_useEvergreen ? QString() : sharedUserDataFolder();
}

// The private runtime is used only when it is installed; otherwise the
// property turns itself to the system's runtime.
void KestDicomViewAX::chooseRuntime() {
    setUseEvergreenWebview2(m_useEvergreen);
}

void KestDicomViewAX::setUseEvergreenWebview2(bool value) {
    const bool before = m_useEvergreen;
    const bool present =
        files::fileExists(privateRuntimeFolder() + QStringLiteral("/QtWebEngineProcess"));
    if (value || !present) {
        m_useEvergreen = true;
        runtimeFolder().clear();
        userDataFolder().clear();
    } else {
        m_useEvergreen = false;
        runtimeFolder() = privateRuntimeFolder();
        userDataFolder() = sharedUserDataFolder();
        files::createFolderTree(userDataFolder() + QLatin1Char('/'));
    }
    // Only a real change makes the container save its properties again.
    if (m_useEvergreen != before)
        markChanged(QStringLiteral("UseEvergreenWebview2"));
}

QString KestDicomViewAX::localeIni() const {
    return m_assetFolder + QStringLiteral("Locale.ini");
}

QString KestDicomViewAX::languageCode() const {
    return m_language.isEmpty() ? localisation::chooseLanguage({}, localeIni()) : m_language;
}

// ---------------------------------------------------------------- persistence

void KestDicomViewAX::setControlSite(ControlSite* site) {
    m_site = site;
}

void KestDicomViewAX::markChanged(const QString& name) {
    if (m_site)
        m_site->propertyChanged(name);
}

void KestDicomViewAX::initNew() {
    if (m_site)
        m_surface->setFont(m_site->ambientProperties().font);
    m_invertOnLoad = false;
    m_useEvergreen = false;
    m_showTagsOnLoad = VFalse;
    m_showSidebarOnLoad = VFalse;
}

void KestDicomViewAX::load(const PropertyBag& bag) {
    m_surface->setBackColor(static_cast<std::uint32_t>(
        bag.read("BackColor", Variant(std::int32_t(DefaultBackColor))).toLongLong()));
    m_surface->setEnabled(bag.read("Enabled", flag(true)).toBool());
    m_borderStyle = bag.read("BorderStyle", Variant(std::int16_t(0))).toInteger();
    m_surface->setBorderStyle(m_borderStyle);
    m_invertOnLoad = bag.read("InvertOnLoad", flag(false)).toBool();
    m_useEvergreen = bag.read("UseEvergreenWebview2", flag(false)).toBool();
    m_sideBarVisible = bag.read("SideBarVisible", flag(false)).toVBool();
    m_language = bag.read("Language", text({})).toString();
    applyBrowserFolders();
    m_showTagsOnLoad = bag.read("ShowTagsOnLoad", flag(false)).toVBool();
    m_showSidebarOnLoad = bag.read("ShowSidebarOnLoad", flag(false)).toVBool();
}

void KestDicomViewAX::save(PropertyBag& bag) {
    // A value equal to its default is not written.
    const auto write = [&bag](const char* key, const Variant& value, const Variant& defaultValue) {
        if (value.toString() != defaultValue.toString())
            bag.write(QLatin1String(key), value);
        else
            bag.remove(QLatin1String(key));
    };
    write("BackColor", Variant(std::int32_t(m_surface->backColor())),
          Variant(std::int32_t(DefaultBackColor)));
    write("Enabled", flag(m_surface->isEnabled()), flag(true));
    write("BorderStyle", Variant(std::int16_t(m_borderStyle)), Variant(std::int16_t(0)));
    write("InvertOnLoad", flag(m_invertOnLoad), flag(false));
    write("UseEvergreenWebview2", flag(m_useEvergreen), flag(false));
    write("SideBarVisible", flag(m_sideBarVisible != 0), flag(false));
    write("Language", text(m_language), text({}));
    applyBrowserFolders();
    write("ShowTagsOnLoad", flag(m_showTagsOnLoad != 0), flag(false));
    write("ShowSidebarOnLoad", flag(m_showSidebarOnLoad != 0), flag(false));
}

// ---------------------------------------------------------------- automation surface

void KestDicomViewAX::bindMembers() {
    bindProperties();
    bindMethods();
}

void KestDicomViewAX::bindProperties() {
    const auto getter = [this](const char* name, std::function<Variant()> read) {
        bind(QLatin1String(name), InvokeFlags::PropertyGet,
             [read = std::move(read)](QList<Variant>&) { return read(); });
    };
    const auto letter = [this](const char* name, std::function<void(const Variant&)> write) {
        bind(QLatin1String(name), InvokeFlags::PropertyPut,
             [write = std::move(write)](QList<Variant>& a) {
                 write(a[0]);
                 return Variant();
             });
    };
    getter("dcmZoomFactor", [this] { return Variant(m_zoomFactor); });
    letter("dcmZoomFactor", [this](const Variant& v) { setZoomFactor(v.toInteger()); });
    getter("dcmModality", [this] { return text(m_modality); });
    getter("dcmPixelHeight", [this] { return Variant(m_pixelHeight); });
    getter("dcmPixelWidth", [this] { return Variant(m_pixelWidth); });
    // Width and height are kept as the page's text and converted on each read.
    getter("dcmImageWidth", [this] { return Variant(Variant(m_widthText).toLong()); });
    getter("dcmImageHeight", [this] { return Variant(Variant(m_heightText).toLong()); });
    getter("dcmExamDate", [this] { return text(m_examDate); });
    getter("dcmPatientBirthDate", [this] { return text(m_birthDate); });
    getter("dcmPatientName", [this] { return text(m_patientName); });
    getter("dcmFrame", [this] { return Variant(m_frame); });
    getter("dcmFrames", [this] { return Variant(m_frames); });
    getter("dcmFileName", [this] { return text(m_fileName); });
    getter("dcmFile", [this] { return text(m_dcmFile); });
    getter("ShowSidebarOnLoad", [this] { return Variant(m_showSidebarOnLoad != 0); });
    letter("ShowSidebarOnLoad", [this](const Variant& v) {
        m_showSidebarOnLoad = v.toVBool();
        markChanged(QStringLiteral("ShowSidebarOnLoad"));
    });
    getter("ShowTagsOnLoad", [this] { return Variant(m_showTagsOnLoad != 0); });
    letter("ShowTagsOnLoad", [this](const Variant& v) {
        m_showTagsOnLoad = v.toVBool();
        markChanged(QStringLiteral("ShowTagsOnLoad"));
    });
    getter("Language", [this] { return text(m_language); });
    letter("Language", [this](const Variant& v) {
        m_language = v.toString();
        markChanged(QStringLiteral("Language"));
    });
    getter("UseEvergreenWebview2", [this] { return flag(m_useEvergreen); });
    letter("UseEvergreenWebview2",
           [this](const Variant& v) { setUseEvergreenWebview2(v.toBool()); });
    getter("DisplayDicomTags", [this] { return Variant(m_displayDicomTags != 0); });
    // Only exactly True (-1) shows the tags: 1 hides them.
    letter("DisplayDicomTags", [this](const Variant& v) { setDisplayDicomTags(v.toVBool()); });
    getter("BackColor", [this] { return Variant(std::int32_t(m_surface->backColor())); });
    letter("BackColor", [this](const Variant& v) {
        m_surface->setBackColor(static_cast<std::uint32_t>(v.toLongLong()));
        markChanged(QStringLiteral("BackColor"));
    });
    getter("Enabled", [this] { return flag(m_surface->isEnabled()); });
    letter("Enabled", [this](const Variant& v) {
        m_surface->setEnabled(v.toBool());
        markChanged(QStringLiteral("Enabled"));
    });
    getter("BorderStyle", [this] { return Variant(std::int16_t(m_borderStyle)); });
    letter("BorderStyle", [this](const Variant& v) {
        m_borderStyle = v.toInteger();
        m_surface->setBorderStyle(m_borderStyle);
        markChanged(QStringLiteral("BorderStyle"));
    });
    getter("ContainerHwnd",
           [this] { return Variant(nativewindow::handleOf(m_surface->parentWidget())); });
    getter("hwnd", [this] { return Variant(nativewindow::handleOf(m_surface.data())); });
    getter("InvertOnLoad", [this] { return flag(m_invertOnLoad); });
    letter("InvertOnLoad", [this](const Variant& v) {
        m_invertOnLoad = v.toBool();
        markChanged(QStringLiteral("InvertOnLoad"));
    });
    getter("SideBarVisible", [this] { return Variant(m_sideBarVisible != 0); });
    letter("SideBarVisible", [this](const Variant& v) { setSideBarVisible(v.toVBool()); });
}

void KestDicomViewAX::bindMethods() {
    const auto method = [this](const char* name, Handler handler) {
        bind(QLatin1String(name), InvokeFlags::Method, std::move(handler));
    };
    method("About", [this](QList<Variant>&) {
        static QPointer<frmAbout> box;
        if (!box)
            box = new frmAbout; // kept for the life of the process, as the about box is reused
        box->load(version(), !runtimeFolder().isEmpty());
        if (!ui::isUnattended())
            box->exec();
        return Variant();
    });
    method("ReInit", [this](QList<Variant>& a) {
        ReInit(a[0].toBool());
        return Variant();
    });
    method("LoadSelectedDicomFile",
           [this](QList<Variant>& a) { return flag(LoadSelectedDicomFile(a[0].toString())); });
    method("LoadDicomFile",
           [this](QList<Variant>& a) { return flag(LoadDicomFile(a[0].toString())); });
    method("Refresh", [](QList<Variant>&) { return Variant(); });
    method("Cls", [](QList<Variant>&) { return Variant(); });
    method("SaveImage", [this](QList<Variant>& a) {
        QString path = a[0].toString();
        const bool result = SaveImage(path, a[1].toBool());
        a[0] = text(path);
        return flag(result);
    });
    method("SaveCanvas", [this](QList<Variant>& a) {
        QString path = a[0].toString();
        const bool result = SaveCanvas(path, a[1].toBool());
        a[0] = text(path);
        return flag(result);
    });
    method("GetImageSize", [this](QList<Variant>&) {
        GetImageSize();
        return Variant();
    });
    method("ResetDICOMProperty", [this](QList<Variant>&) {
        ResetDICOMProperty();
        return Variant();
    });
    method("SelectTool", [this](QList<Variant>& a) {
        SelectTool(a[0].toInteger());
        return Variant();
    });
    method("SetScale1", [this](QList<Variant>&) {
        SetScale1();
        return Variant();
    });
    method("RunJs", [this](QList<Variant>& a) {
        RunJs(a[0].toString(), a.mid(1));
        return Variant();
    });
    method("IsDicomFile", [this](QList<Variant>& a) { return flag(IsDicomFile(a[0].toString())); });
}

// ---------------------------------------------------------------- loading

bool KestDicomViewAX::IsDicomFile(const QString& path) const {
    return pageassets::isDicomFile(path);
}

bool KestDicomViewAX::LoadDicomFile(const QString& path) {
    m_surface->setListTag(QStringLiteral("0"));
    m_surface->setDicomDirTag(QStringLiteral("0"));
    if (m_instanceFolder.isEmpty() || !files::fileExists(path) || !IsDicomFile(path))
        return false;
    showWait(true);
    if (m_image->initialised())
        m_image->call(QStringLiteral("NavigateToString"), {text(m_placeholderPage)});
    pump::processPending();
    layout();
    return loadProcedure(path);
}

bool KestDicomViewAX::LoadSelectedDicomFile(const QString& searchPath) {
    CmnDialogEx dialog;
    dialog.Clear();
    dialog.setFlagsDialog(CmnDialogEx::OFN_PATHMUSTEXIST | CmnDialogEx::OFN_FILEMUSTEXIST);
    if (!searchPath.isEmpty())
        dialog.setInitDir(searchPath);
    dialog.setFilter(localisation::openDialogFilter(languageCode(), localeIni()));
    if (!dialog.ShowOpen(m_surface))
        return false;
    return LoadDicomFile(dialog.FileName());
}

void KestDicomViewAX::showWait(bool visible) {
    m_surface->setWaitVisible(visible);
    if (visible)
        m_surface->raiseWaitPicture();
}

void KestDicomViewAX::startHost(Host& host) {
    // With the system's runtime chosen, the host is not sent looking for a
    // fixed runtime first: that would warn on every start that none is installed.
    if (runtimeFolder().isEmpty())
        host.put(QStringLiteral("UseEdgeFixedVersion"), flag(false));
    host.put(QStringLiteral("HomeURL"),
             text(QUrl::fromLocalFile(m_binFolder + QStringLiteral("AboutBlack.html")).toString()));
    host.call(QStringLiteral("InitEx"),
              {text({}), flag(false), text(runtimeFolder()), text(userDataFolder())});
}

// Waits until each host has reported that it is ready. A host that cannot
// start never reports it: the wait then ends with its start-up time-out.
bool KestDicomViewAX::waitForHosts(std::initializer_list<Host*> hosts) {
    double seconds = 8;
    for (Host* host : hosts) {
        const Variant timeout = host->get(QStringLiteral("InitTimeOut"));
        seconds = std::max(seconds, timeout.isNumeric() ? timeout.toDouble() : 8.0);
    }
    const auto allReady = [hosts] {
        return std::all_of(hosts.begin(), hosts.end(),
                           [](const Host* host) { return host->ready; });
    };
    return pump::waitUntil(allReady,
                           std::chrono::milliseconds(static_cast<int>((seconds + 2) * 1000)));
}

namespace {

bool isSameFile(const QString& a, const QString& b) {
    std::error_code error;
    return std::filesystem::equivalent(QFile::encodeName(a).toStdString(),
                                       QFile::encodeName(b).toStdString(), error);
}

} // namespace

bool KestDicomViewAX::loadProcedure(const QString& path) {
    if (m_instanceFolder.isEmpty() || !files::fileExists(path) || !IsDicomFile(path))
        return false;
    chooseRuntime();
    m_documentPath.clear();
    m_inverted = false;
    raise(QStringLiteral("BeforeLoading"));
    if (!m_image->initialised())
        startHost(*m_image);
    if (m_tags->initialised())
        m_tags->call(QStringLiteral("NavigateToString"), {text(m_placeholderPage)});
    else
        startHost(*m_tags);
    const bool ready = waitForHosts({m_image.get(), m_tags.get()});
    showWait(false);
    if (!ready)
        return false;
    files::createFolderTree(m_instanceFolder);
    preparePages(languageCode());
    const QString name = files::fileNamePart(path);
    const QString workingCopy = m_instanceFolder + name;
    // The file asked for may be the working copy itself (a host reloading
    // dcmFile's file): it then stays where it is and is never deleted.
    if (!m_dcmFile.isEmpty() && !isSameFile(path, m_instanceFolder + m_dcmFile))
        files::deleteFile(m_instanceFolder + m_dcmFile);
    m_dcmFile.clear();
    if (!isSameFile(path, workingCopy)) {
        QFile::remove(workingCopy);
        if (!QFile::copy(path, workingCopy))
            throw AutomationError::standard(75);
    }
    m_dcmFile = name;
    m_documentPath = pageassets::extractPdf(workingCopy, m_instanceFolder);
    files::writeTextFile(pageassets::fileListScript(name),
                         m_instanceFolder + QStringLiteral("liste.js"), false);
    const bool tagsInFront = m_showTagsOnLoad == VTrue;
    m_displayDicomTags = toVBool(tagsInFront);
    bringToFront(tagsInFront ? *m_tags : *m_image);
    m_image->call(QStringLiteral("NavigateToFile"),
                  {text(m_instanceFolder + QStringLiteral("KDVAX_MONO.html"))});
    m_tags->call(QStringLiteral("NavigateToFile"),
                 {text(m_instanceFolder + QStringLiteral("KDVAX_TAGS.html"))});
    layout();
    raise(QStringLiteral("TagsStatusChange"), {flag(tagsInFront)});
    return true;
}

void KestDicomViewAX::preparePages(const QString& language) {
    // The instance folder in forward-slash form, without its final separator.
    const QString root = files::withoutTrailingSeparator(m_instanceFolder);
    const QString ini = localeIni();
    pageassets::writePageFile(m_assetFolder + QStringLiteral("KDVAX_MONO.dll"),
                              m_instanceFolder + QStringLiteral("KDVAX_MONO.html"), root,
                              QStringLiteral("Tool"), language, ini);
    const QString report = language == QLatin1String("fr") ? QStringLiteral("KDVAX_SR_FR.dll")
                                                           : QStringLiteral("KDVAX_SR.dll");
    pageassets::writePageFile(m_assetFolder + report,
                              m_instanceFolder + QStringLiteral("KDVAX_SR.html"), root, {},
                              language, ini);
    pageassets::writePageFile(m_assetFolder + QStringLiteral("KDVAX_TAGS.dll"),
                              m_instanceFolder + QStringLiteral("KDVAX_TAGS.html"), root,
                              QStringLiteral("Tag"), language, ini);
}

// ---------------------------------------------------------------- page protocol

void KestDicomViewAX::raise(const QString& event, std::initializer_list<Variant> args) {
    m_events.raise(event, args);
}

void KestDicomViewAX::onHostEvent(Host& host, const QString& name, QList<Variant>& args) {
    if (name == QLatin1String("InitComplete")) {
        host.ready = true;
        return;
    }
    if (&host != m_image.get())
        return; // the tags page's messages have no effect
    if (name == QLatin1String("NavigationStarting"))
        m_imagePresent = false;
    else if (name == QLatin1String("JSMessage") && args.size() >= 2)
        onPageMessage(args[0].toString(), args[1].toString());
}

void KestDicomViewAX::onPageMessage(const QString& name, const QString& content) {
    // A value that cannot be read or converted ends the message's handling.
    try {
        if (name == QLatin1String("imageChanged"))
            onImageChanged(content);
        else if (name == QLatin1String("imageClicked"))
            onImageClicked(content);
        else if (name == QLatin1String("zoomChanged"))
            onZoomChanged(content);
        else if (name == QLatin1String("buttonClicked"))
            onButtonClicked(content);
        else if (name == QLatin1String("saveImage"))
            onSaveImage(content);
        else if (name == QLatin1String("saveImageError"))
            showSaveError(content);
        else if (name == QLatin1String("imageDimensions"))
            onImageDimensions(content);
        else if (name == QLatin1String("imageDimensionsError"))
            ui::messageBox(QStringLiteral("Erreur: ") + content);
        else if (name == QLatin1String("offsetChanged"))
            onOffsetChanged(content);
        else if (name == QLatin1String("NoImage"))
            onNoImage();
    } catch (const AutomationError&) {
    }
}

namespace {

// The value of a key, or an error that ends the message's handling.
QString valueOf(const QString& content, const char* key) {
    const auto value = pagemessage::value(content, QLatin1String(key));
    if (!value)
        throw AutomationError::standard(vberr::TypeMismatch);
    return *value;
}

template <typename T> T required(const std::optional<T>& value) {
    if (!value)
        throw AutomationError::standard(vberr::TypeMismatch);
    return *value;
}

QString zeroIfEmpty(const QString& value) {
    return value.isEmpty() ? QStringLiteral("0") : value;
}

} // namespace

void KestDicomViewAX::onImageChanged(const QString& content) {
    m_patientName = valueOf(content, "nom");
    m_birthDate = valueOf(content, "naissance");
    m_examDate = valueOf(content, "dateExamen");
    m_widthText = valueOf(content, "largeur");
    m_heightText = valueOf(content, "hauteur");
    m_fileName = valueOf(content, "fileName");
    m_modality = valueOf(content, "modality");
    m_multiFrame = valueOf(content, "multiFrame") == QLatin1String("true");
    m_frame = required(pagemessage::toInteger(valueOf(content, "frame")));
    m_frames = required(pagemessage::toInteger(valueOf(content, "totalFrames")));
    m_pixelSpacingText = valueOf(content, "pixelSpacing");
    if (!m_pixelSpacingText.contains(QLatin1String("//"))) {
        m_pixelHeight = -1.0;
        m_pixelWidth = -1.0;
    } else {
        const QStringList parts = m_pixelSpacingText.split(QStringLiteral("//"));
        m_pixelHeight = required(pagemessage::toDouble(parts.value(0)));
        m_pixelWidth = required(pagemessage::toDouble(parts.value(1)));
    }
    m_widthText = zeroIfEmpty(m_widthText);
    m_heightText = zeroIfEmpty(m_heightText);
    m_imagePresent = required(pagemessage::toLong(m_heightText)) >= 1 &&
                     required(pagemessage::toLong(m_widthText)) >= 1;
    if (m_invertOnLoad)
        callPage(QStringLiteral("PressButton"), {text(QStringLiteral("Invert"))});
    else
        raise(QStringLiteral("InvertStatusChange"), {flag(m_inverted)});
    m_sideBarVisible = m_showSidebarOnLoad;
    if (m_sideBarVisible)
        showSidebar();
    else
        hideSidebar();
    raiseImageLoaded(!m_imagePresent);
    if (m_imagePresent)
        raise(QStringLiteral("ToolSelected"),
              {text(QStringLiteral("Wwwc")), Variant(std::int32_t(Tool_Wwwc))});
    m_noImage = !m_imagePresent;
}

void KestDicomViewAX::raiseImageLoaded(bool noImage) {
    if (noImage) {
        raise(QStringLiteral("ImageLoaded"),
              {text(m_fileName), Variant(0), Variant(0), text(m_modality), text(m_patientName),
               text(m_birthDate), text(m_examDate), flag(false), Variant(std::int16_t(0)),
               Variant(std::int16_t(0)), Variant(-1.0), Variant(-1.0), flag(true)});
        return;
    }
    raise(QStringLiteral("ImageLoaded"),
          {text(m_fileName), Variant(required(pagemessage::toLong(m_widthText))),
           Variant(required(pagemessage::toLong(m_heightText))), text(m_modality),
           text(m_patientName), text(m_birthDate), text(m_examDate), flag(m_multiFrame),
           Variant(m_frame), Variant(m_frames), Variant(m_pixelHeight), Variant(m_pixelWidth),
           flag(false)});
}

void KestDicomViewAX::onImageClicked(const QString& content) {
    const std::int32_t x = required(pagemessage::toLong(valueOf(content, "pixelX")));
    const std::int32_t y = required(pagemessage::toLong(valueOf(content, "pixelY")));
    const double value = required(pagemessage::toDouble(valueOf(content, "pixelValue")));
    const double width = required(pagemessage::toDouble(m_widthText));
    const double height = required(pagemessage::toDouble(m_heightText));
    if (x >= 0 && x <= width && y >= 0 && y <= height)
        raise(QStringLiteral("ImagePixelClic"), {Variant(x), Variant(y), Variant(value)});
}

void KestDicomViewAX::onZoomChanged(const QString& content) {
    m_zoomFactor = required(pagemessage::toInteger(content));
    raise(QStringLiteral("ZoomChanged"), {Variant(m_zoomFactor)});
}

void KestDicomViewAX::onButtonClicked(const QString& button) {
    const tools::ReportedTool tool = tools::fromButton(button);
    if (button == QLatin1String("Invert")) {
        m_inverted = !m_inverted;
        raise(QStringLiteral("InvertStatusChange"), {flag(m_inverted)});
    } else if (tool.number == Tool_FrameNext || tool.number == Tool_FramePrevious) {
        followFrameStep(tool.number == Tool_FrameNext ? 1 : -1);
    } else if (button == QLatin1String("Reinit")) {
        m_inverted = false;
        if (m_image->get(QStringLiteral("DocumentTitle")).toString() ==
                QLatin1String("Console DICOM") &&
            m_invertOnLoad)
            callPage(QStringLiteral("PressButton"), {text(QStringLiteral("Invert"))});
        else
            raise(QStringLiteral("InvertStatusChange"), {flag(false)});
    }
    raise(QStringLiteral("ToolSelected"), {text(tool.name), Variant(std::int32_t(tool.number))});
}

// The page reports a frame step as its button; it steps only within the
// document's frames, and so does the frame index kept here.
void KestDicomViewAX::followFrameStep(int step) {
    const int frame = m_frame + step;
    if (m_imagePresent && frame >= 0 && frame < m_frames)
        m_frame = static_cast<std::int16_t>(frame);
}

void KestDicomViewAX::onSaveImage(const QString& content) {
    QString target = valueOf(content, "fileName");
    target.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    const auto picture = QByteArray::fromBase64Encoding(valueOf(content, "base64").toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& bytes = picture.decoded;
    const bool clipboard = target == QLatin1String("ClipBoard.jpg");
    if (clipboard || target == QLatin1String("Print.jpg"))
        target = m_tempFolder + target;
    // A missing or broken picture must not empty the target, and a failed
    // write must not pass in silence: the existing file stays as it was.
    if (!picture || bytes.isEmpty()) {
        showSaveError(QStringLiteral("no picture was received for ") + target);
        return;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showSaveError(target + QStringLiteral(": ") + file.errorString());
        return;
    }
    if (clipboard) {
        QApplication::clipboard()->setImage(QImage(target));
        ui::beep();
    }
}

void KestDicomViewAX::showSaveError(const QString& reason) {
    ui::messageBox(QStringLiteral("Erreur lors de la sauvegarde : ") + reason);
}

void KestDicomViewAX::onImageDimensions(const QString& content) {
    m_heightText = zeroIfEmpty(valueOf(content, "hauteur"));
    m_widthText = zeroIfEmpty(valueOf(content, "largeur"));
}

void KestDicomViewAX::onOffsetChanged(const QString& content) {
    const double dpr = pagemessage::numericPrefix(valueOf(content, "dpr"));
    const auto scaled = [&](const char* key) {
        return Variant(std::nearbyint(pagemessage::numericPrefix(valueOf(content, key)) * dpr))
            .toLong();
    };
    const auto whole = [&](const char* key) {
        return Variant(required(pagemessage::toLong(valueOf(content, key))));
    };
    QList<Variant> args{
        whole("imageX"),  whole("imageY"),  Variant(scaled("screenX")), Variant(scaled("screenY")),
        whole("originX"), whole("originY"), whole("viewportLeft"),      whole("viewportTop"),
        Variant(dpr)};
    m_events.raise(QStringLiteral("OffsetChanged"), args);
}

void KestDicomViewAX::onNoImage() {
    m_modality.clear();
    const bool report = m_documentPath.isEmpty();
    m_image->call(
        QStringLiteral("NavigateToFile"),
        {text(report ? m_instanceFolder + QStringLiteral("KDVAX_SR.html") : m_documentPath)});
    m_modality = report ? QStringLiteral("SR") : QStringLiteral("DOC");
    m_imagePresent = false;
    m_noImage = true;
    raise(QStringLiteral("ImageLoaded"),
          {text(m_fileName), Variant(0), Variant(0), text(m_modality), text({}), text({}), text({}),
           flag(false), Variant(std::int16_t(0)), Variant(std::int16_t(0)), Variant(-1.0),
           Variant(-1.0), flag(true)});
    bringToFront(*m_image);
}

// ---------------------------------------------------------------- view commands

Variant KestDicomViewAX::callPage(const QString& function, QList<Variant> args) {
    args.prepend(text(function));
    return m_image->call(QStringLiteral("RunJs"), std::move(args));
}

void KestDicomViewAX::bringToFront(Host& host) {
    if (host.widget)
        host.widget->raise();
    if (m_surface->isWaitVisible())
        m_surface->raiseWaitPicture();
}

void KestDicomViewAX::ResetDICOMProperty() {
    m_modality.clear();
    m_patientName.clear();
    m_birthDate.clear();
    m_examDate.clear();
    m_fileName.clear();
    m_dcmFile.clear();
    m_widthText = QStringLiteral("0");
    m_heightText = QStringLiteral("0");
    m_pixelHeight = -1.0;
    m_pixelWidth = -1.0;
    m_multiFrame = false;
    m_frame = 0;
    m_frames = 0;
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
    QList<Variant> args{text(script)};
    for (const Variant& param : params) {
        if (param.isMissing())
            break;
        args.append(param);
    }
    m_image->call(QStringLiteral("RunJs"), args);
}

void KestDicomViewAX::setDisplayDicomTags(VBool value) {
    m_displayDicomTags = value;
    if (value == VTrue)
        showTags();
    else
        hideTags();
}

void KestDicomViewAX::showTags() {
    const bool loaded =
        m_tags->get(QStringLiteral("DocumentTitle")).toString() == QLatin1String("DICOM Tags");
    bringToFront(loaded ? *m_tags : *m_image);
    m_displayDicomTags = toVBool(loaded);
    raise(QStringLiteral("TagsStatusChange"), {flag(loaded)});
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

// ---------------------------------------------------------------- image output

void KestDicomViewAX::GetImageSize() {
    callPage(QStringLiteral("getCurrentImageDimensions"));
}

namespace {

QString pageFunctionFor(const QString& extension) {
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return QStringLiteral("saveCurrentImageJpeg");
    if (extension == QLatin1String("png"))
        return QStringLiteral("saveCurrentImage");
    return {};
}

} // namespace

// The save dialog of the image outputs; an empty name proposes
// DicomImage.jpg in the user's pictures folder. False when cancelled.
bool KestDicomViewAX::chooseSaveFile(QString& fileNameAndPath) {
    if (fileNameAndPath.isEmpty())
        fileNameAndPath =
            files::withTrailingSeparator(specialfolders::path(specialfolders::Pictures)) +
            QStringLiteral("DicomImage.jpg");
    CmnDialogEx dialog;
    dialog.Clear();
    dialog.setFlagsDialog(CmnDialogEx::OFN_OVERWRITEPROMPT | CmnDialogEx::OFN_PATHMUSTEXIST |
                          CmnDialogEx::OFN_NOREADONLYRETURN);
    dialog.setFilter(QStringLiteral("Jpeg or Png|*.jpg;*.jpeg;*.png"));
    dialog.setDefaultExt(QStringLiteral("jpg"));
    dialog.setFileName(fileNameAndPath);
    if (!dialog.ShowSave(m_surface))
        return false;
    fileNameAndPath = dialog.FileName();
    return true;
}

// The page renders the image at its own pixel size and sends the encoded
// picture back ("saveImage"), which is written then.
bool KestDicomViewAX::SaveImage(QString& fileNameAndPath, bool forceSelect) {
    if (!m_image->ready || !m_imagePresent)
        return false;
    if ((forceSelect || fileNameAndPath.isEmpty()) && !chooseSaveFile(fileNameAndPath))
        return false;
    const QString function = pageFunctionFor(files::extension(fileNameAndPath).toLower());
    if (function.isEmpty())
        return false;
    const bool sidebarShown = m_sideBarVisible != 0;
    if (sidebarShown)
        hideSidebar();
    showWait(true);
    waits::pump(20);
    // One screen pixel per image pixel, behind the wait picture. The browser
    // host keeps its page 30 twips inside its edges: the page gets the image's
    // size when the host is that much larger.
    const int hostMargin = 2 * (30 / twipsPerPixel());
    if (m_image->widget)
        m_image->widget->resize(Variant(m_widthText).toLong() + hostMargin,
                                Variant(m_heightText).toLong() + hostMargin);
    waits::waitSeconds(2, true);
    callPage(function, {text(fileNameAndPath)});
    if (sidebarShown)
        showSidebar();
    else
        hideSidebar();
    layout();
    bringToFront(*m_image);
    waits::pump(20);
    showWait(false);
    return true;
}

bool KestDicomViewAX::SaveCanvas(QString& fileNameAndPath, bool forceSelect) {
    if (!m_image->ready || m_surface->dicomDirTag() == QLatin1String("2"))
        return false;
    if ((forceSelect || fileNameAndPath.isEmpty()) && !chooseSaveFile(fileNameAndPath))
        return false;
    const QString extension = files::extension(fileNameAndPath).toLower();
    int format = -1;
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        format = 1;
    else if (extension == QLatin1String("png"))
        format = 0;
    if (format < 0)
        return false;
    const bool sidebarShown = m_sideBarVisible != 0;
    if (sidebarShown)
        hideSidebar();
    waits::pump(20);
    Host& front = m_displayDicomTags == VTrue ? *m_tags : *m_image;
    QList<Variant> args{text(fileNameAndPath), Variant(std::int32_t(format))};
    front.object->invokeByName(QStringLiteral("CapturePreview"), InvokeFlags::Method, args);
    ui::beep();
    if (sidebarShown)
        showSidebar();
    bringToFront(front);
    waits::pump(20);
    return true;
}

// ---------------------------------------------------------------- layout

int KestDicomViewAX::twipsPerPixel() const {
    const QScreen* screen =
        m_surface->screen() ? m_surface->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return std::max(1, static_cast<int>(std::lround(1440.0 / dpi)));
}

void KestDicomViewAX::layout() {
    if (!m_surface || !m_image)
        return;
    const int tpp = twipsPerPixel();
    ViewerLayoutInput input;
    input.innerWidth = m_surface->contentsRect().width() * tpp;
    input.outerWidth = m_surface->width() * tpp;
    input.outerHeight = m_surface->height() * tpp;
    input.margin = m_surface->pageMargin() * tpp;
    input.listTag = m_surface->listTag();
    input.dicomDirTag = m_surface->dicomDirTag();
    input.listFileTop = m_surface->listFileTop() * tpp;
    input.waitIconWidth = m_surface->waitIconWidth() * tpp;
    const ViewerLayoutResult result = computeViewerLayout(input);
    const auto pixels = [tpp](const QRect& twips) {
        return QRect(twips.x() / tpp, twips.y() / tpp, std::max(0, twips.width() / tpp),
                     std::max(0, twips.height() / tpp));
    };
    m_surface->applyPanes(result.listTag, result.dicomDirTag, result.listWidth / tpp,
                          result.dicomDirWidth / tpp, pixels(result.listFile));
    for (Host* host : {m_image.get(), m_tags.get()}) {
        if (host->widget)
            host->widget->setGeometry(pixels(result.pages));
    }
    if (m_dicomDir->widget)
        m_dicomDir->widget->setGeometry(0, 0, result.dicomDirWidth / tpp, m_surface->height());
    m_surface->placeWaitPicture(pixels(result.waitPicture), result.waitIconLeft / tpp);
    bringToFront(m_displayDicomTags == VTrue ? *m_tags : *m_image);
    raise(QStringLiteral("Resize"));
}
