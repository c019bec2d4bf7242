#include "frmMain.h"

#include "MainMenu.h"
#include "MeasurementList.h"
#include "ToolPanel.h"
#include "ViewerSite.h"

#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"

#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QMenuBar>

#include <algorithm>

frmMain::frmMain(DispatchPtr viewer, QString programFolder, const QString& settingsFile)
    : m_viewer(std::move(viewer))
    , m_programFolder(std::move(programFolder))
    , m_clientArea(new QWidget(this)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QLatin1String(StartCaption));
    setCentralWidget(m_clientArea);
    m_panel = new ToolPanel(m_programFolder + QStringLiteral("/TestIcons"), m_clientArea);
    connect(m_panel, &ToolPanel::optionClicked, this, &frmMain::optionClicked);
    connect(m_panel, &ToolPanel::commandClicked, this, &frmMain::commandClicked);
    m_measurements = new MeasurementListDock(this);
    addDockWidget(Qt::RightDockWidgetArea, m_measurements);
    m_measurements->hide();
    buildMainMenu(*menuBar(), *this);
    siteViewer(settingsFile);
    m_clientArea->installEventFilter(this);

    // Only the viewer shows until a document is loaded.
    ShowToolBar(false);
    m_panel->group(option::Page)->hide();
    resize(1024, 720);
}

void frmMain::siteViewer(const QString& settingsFile) {
    Control* control = m_viewer ? m_viewer->control() : nullptr;
    if (!control)
        throw AutomationError(vberr::CannotCreateObject,
                              QStringLiteral("The viewer is not a control and cannot be sited"));
    m_site = std::make_unique<ViewerSite>(
        *m_clientArea, PropertyStore(settingsFile, QStringLiteral("KestDicomViewAX1")));
    m_site->attach(*control);
    viewerWidget().setObjectName(QStringLiteral("KestDicomViewAX1"));
    m_events = std::make_unique<ViewerEvents>(*m_viewer, static_cast<ViewerEventHandler&>(*this));
}

frmMain::~frmMain() {
    m_clientArea->removeEventFilter(this);
}

QWidget& frmMain::viewerWidget() const {
    return *m_viewer->control()->widget();
}

QString frmMain::programFolder(const QString& name) const {
    return m_programFolder + QLatin1Char('/') + name;
}

void frmMain::open(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    const bool dicomDir =
        info.isDir() ? QFileInfo::exists(folder + QStringLiteral("/DICOMDIR"))
                     : info.fileName().compare(QLatin1String("DICOMDIR"), Qt::CaseInsensitive) == 0;
    if (dicomDir)
        callViewer(QStringLiteral("LoadDICOMDIR"), {folder + QLatin1Char('/')});
    else if (info.isDir())
        callViewer(QStringLiteral("LoadDirectory"), {folder, Variant(std::int16_t(0))});
    else
        callViewer(QStringLiteral("LoadDicomFile"), {info.absoluteFilePath()});
}

void frmMain::ShowToolBar(bool all) {
    m_panel->showToolBar(all);
}

// ---------------------------------------------------------------- layout

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_clientArea && event->type() == QEvent::Resize)
        layoutClientArea();
    return QMainWindow::eventFilter(watched, event);
}

// The panel keeps its width on the right; the viewer takes the rest of the client area. A form
// narrower than the panel leaves the viewer no width rather than a negative one.
void frmMain::layoutClientArea() {
    const QSize inner = m_clientArea->size();
    const int panelWidth = m_panel->width();
    m_panel->setGeometry(inner.width() - panelWidth, 0, panelWidth, inner.height());
    viewerWidget().setGeometry(0, 0, std::max(0, inner.width() - panelWidth), inner.height());
}

// ---------------------------------------------------------------- calls to the viewer

Variant frmMain::callViewer(const QString& member, QList<Variant> args) {
    try {
        return m_viewer->call(member, std::move(args));
    } catch (const AutomationError& error) {
        reportError(member, error);
        return {};
    }
}

void frmMain::putViewer(const QString& property, const Variant& value) {
    try {
        m_viewer->put(property, value);
    } catch (const AutomationError& error) {
        reportError(property, error);
    }
}

void frmMain::selectTool(int tool) {
    callViewer(QStringLiteral("SelectTool"), {Variant(static_cast<std::int16_t>(tool))});
}

QString frmMain::viewerText(const QString& property) {
    try {
        return m_viewer->get(property).toString();
    } catch (const AutomationError& error) {
        reportError(property, error);
        return {};
    }
}

void frmMain::reportError(const QString& member, const AutomationError& error) {
    ui::messageBox(QStringLiteral("Run-time error '%1' in %2:\n\n%3")
                       .arg(error.number())
                       .arg(member, error.description()),
                   ui::MsgBox::Critical, windowTitle());
}

// ---------------------------------------------------------------- tool panel

void frmMain::optionClicked(int index) {
    if (index >= option::FirstTool && index <= option::LastTool) {
        selectTool(index);
        return;
    }
    switch (index) {
    case option::ImagePage:
    case option::TagsPage:
        putViewer(QStringLiteral("DisplayDicomTags"), Variant(index == option::TagsPage));
        return;
    // Both send the toggle: which of the two ends selected follows InvertStatusChange.
    case option::NotInverted:
    case option::Inverted:
        selectTool(ToolInvert);
        return;
    case option::ViewSidebar:
    case option::HideSidebar:
        putViewer(QStringLiteral("SideBarVisible"), Variant(index == option::ViewSidebar));
        return;
    default:
        return;
    }
}

void frmMain::commandClicked(int number) {
    if (number == 1)
        selectTool(ToolClear);
    else if (number == 2)
        selectTool(ToolReinit);
    else if (number == 3)
        callViewer(QStringLiteral("SetScale1"));
}

// ---------------------------------------------------------------- viewer events

void frmMain::beforeLoading() {
    ShowToolBar(false);
    m_panel->group(option::Page)->hide();
}

void frmMain::imageLoaded(const QString& fileName, bool noImage) {
    m_measurements->clear();
    ShowToolBar(!noImage);
    setWindowTitle(QStringLiteral("DICOM Viewer : ") + fileName +
                   QStringLiteral("        Modality: ") +
                   viewerText(QStringLiteral("dcmModality")) + QStringLiteral("        Date: ") +
                   viewerText(QStringLiteral("dcmExamDate")) + QStringLiteral("       Patient: ") +
                   viewerText(QStringLiteral("dcmPatientName")));
}

void frmMain::tagsStatusChange(bool isTagVisible) {
    m_panel->select(isTagVisible ? option::TagsPage : option::ImagePage);
}

void frmMain::invertStatusChange(bool isInverted) {
    m_panel->select(isInverted ? option::Inverted : option::NotInverted);
}

void frmMain::sidebarStatusChange(bool isSidebarVisible) {
    m_panel->select(isSidebarVisible ? option::ViewSidebar : option::HideSidebar);
}

void frmMain::measurementChanged(const QString& id, const QString& action, const QString& json) {
    m_measurements->apply(id, action, json);
}

void frmMain::toolSelected(int toolNum) {
    if (toolNum >= option::FirstTool && toolNum <= option::LastTool)
        m_panel->select(toolNum);
}
