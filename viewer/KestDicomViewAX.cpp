#include "KestDicomViewAX.h"

#include "BrowserHostProxy.h"
#include "DecoderProcess.h"
#include "PageAssets.h"
#include "ViewerLayout.h"
#include "ViewerSurface.h"
#include "ViewerTypeInfo.h"
#include "ViewerValues.h"

#include "platform/BrowserRuntime.h"
#include "platform/Environment.h"
#include "platform/ModulePath.h"
#include "platform/automation/AutomationError.h"
#include "support/modGUID.h"
#include "support/modLocalisation.h"
#include "support/modOperationFichierSimple.h"
#include "support/modSHFileOperation.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>

#include <cmath>

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
    return modulepath::folderOf(reinterpret_cast<const void*>(&libraryFolder));
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

} // namespace

using viewervalues::flag;
using viewervalues::text;

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
        DispatchPtr object = m_factory();
        Control* control = object->control();
        control->setControlSite(this);
        PropertyBag design;
        design.write(QStringLiteral("search_url"), text({}));
        design.write(QStringLiteral("isscriptenabled"), flag(false));
        design.write(QStringLiteral("useedgefixedversion"), flag(true));
        design.write(QStringLiteral("backcolor"), Variant(std::int32_t(0)));
        design.write(QStringLiteral("allowinteractivecontentlocally"), flag(true));
        control->load(design);
        return std::make_unique<BrowserHostProxy>(
            QLatin1String(name), std::move(object), parent,
            [this](BrowserHostProxy& host, const QString& event, QList<Variant>& args) {
                onHostEvent(host, event, args);
            });
    };
    m_image = makeHost("KestWebViewKD1", m_surface);
    m_tags = makeHost("KestWebViewKD2", m_surface);
    m_dicomDir = makeHost("KestWebViewDD3", m_surface->dicomDirPane());
    QObject::connect(m_surface->fileList(), &QListWidget::itemSelectionChanged, m_surface,
                     [this] { onFileListSelection(); });
    m_surface->raiseWaitPicture();
    layout();
}

KestDicomViewAX::~KestDicomViewAX() {
    // A decoding under way answers no page any more.
    m_decoder.reset();
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
    const bool present = browserruntime::isRuntimeFolder(privateRuntimeFolder());
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
    m_stackMode = false;
    m_cacheSizeMB = DefaultCacheSizeMB;
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
    m_stackMode = bag.read("StackMode", flag(false)).toBool();
    // A stored size that is not a number in range (a hand-edited store) falls back to the default.
    m_cacheSizeMB = DefaultCacheSizeMB;
    try {
        const std::int32_t cache = bag.read("CacheSizeMB", Variant(DefaultCacheSizeMB)).toLong();
        if (isCacheSize(cache))
            m_cacheSizeMB = cache;
    } catch (const AutomationError&) {
    }
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
    write("StackMode", flag(m_stackMode), flag(false));
    write("CacheSizeMB", Variant(m_cacheSizeMB), Variant(DefaultCacheSizeMB));
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
    for (BrowserHostProxy* host : {m_image.get(), m_tags.get()}) {
        if (host->widget())
            host->widget()->setGeometry(pixels(result.pages));
    }
    if (m_dicomDir->widget())
        m_dicomDir->widget()->setGeometry(0, 0, result.dicomDirWidth / tpp, m_surface->height());
    m_surface->placeWaitPicture(pixels(result.waitPicture), result.waitIconLeft / tpp);
    bringToFront(m_displayDicomTags == VTrue ? *m_tags : *m_image);
    raise(QStringLiteral("Resize"));
}
