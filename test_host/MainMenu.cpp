#include "MainMenu.h"

#include "MeasurementList.h"
#include "frmMain.h"

#include "platform/FileDialogHook.h"
#include "platform/UiServices.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include <functional>

namespace {

QMenu& addMenu(QWidget& parent, const char* name, const char* caption) {
    auto* menu = new QMenu(QString::fromLatin1(caption), &parent);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    if (auto* bar = qobject_cast<QMenuBar*>(&parent))
        bar->addMenu(menu);
    else
        static_cast<QMenu&>(parent).addMenu(menu);
    return *menu;
}

void addItem(QMenu& menu, const char* name, const char* caption, const char* shortcut,
             std::function<void()> action) {
    QAction* item = menu.addAction(QString::fromLatin1(caption));
    item->setObjectName(QLatin1String(name));
    item->setShortcut(QKeySequence(QLatin1String(shortcut)));
    QObject::connect(item, &QAction::triggered, &menu, std::move(action));
}

void addSeparator(QMenu& menu, const char* name) {
    menu.addSeparator()->setObjectName(QLatin1String(name));
}

void buildFileMenu(QMenuBar& bar, frmMain& form) {
    QMenu& file = addMenu(bar, "mnuFile", "&File");
    addItem(file, "mnuLoad", "Load DICOM File", "Ctrl+O", [&form] {
        form.callViewer(QStringLiteral("LoadSelectedDicomFile"),
                        {form.programFolder(QStringLiteral("Demo"))});
    });
    // The Flag argument is left out: the viewer takes its declared default.
    addItem(file, "mnuDICIMDIR", "Load DICOMDIR", "Ctrl+D", [&form] {
        form.callViewer(QStringLiteral("LoadDICOMDIR"),
                        {form.programFolder(QStringLiteral("DEMO/"))});
    });
    addItem(file, "mnuDirectory", "Load DICOM Files in a Directory", "Ctrl+Shift+O", [&form] {
        form.callViewer(QStringLiteral("LoadDirectory"),
                        {form.programFolder(QStringLiteral("Demo")), Variant(std::int16_t(0))});
    });
    addSeparator(file, "Sep3");
    addItem(file, "mnuSave", "Save Image...", "Ctrl+S",
            [&form] { form.callViewer(QStringLiteral("SaveImage")); });
    addItem(file, "mnuSaveCanvas", "Save Canvas...", "Ctrl+Shift+S",
            [&form] { form.callViewer(QStringLiteral("SaveCanvas")); });
    addSeparator(file, "Sep1");
    addItem(file, "mnuPrint", "Print Image...", "Ctrl+P", [&form] {
        form.callViewer(QStringLiteral("PrintImage"), {QString(), Variant(true)});
    });
    addItem(file, "mnuPrintCanvas", "Print Canvas...", "Ctrl+Shift+P", [&form] {
        form.callViewer(QStringLiteral("PrintCanvas"), {QString(), Variant(true)});
    });
    addSeparator(file, "Sep0");
    addItem(file, "mnuQuit", "Quit", "Ctrl+Q", [&form] { form.close(); });
}

void buildEditMenu(QMenuBar& bar, frmMain& form) {
    QMenu& edit = addMenu(bar, "mnuEdit", "&Edit");
    addItem(edit, "mnuCopy", "Copy image to Clipboard", "Ctrl+C",
            [&form] { form.callViewer(QStringLiteral("CopyImageToClipboard")); });
    addItem(edit, "mnuCopyCanvas", "Copy canvas to Clipboard", "Ctrl+Shift+C",
            [&form] { form.callViewer(QStringLiteral("CopyCanvasToClipboard")); });
}

void buildViewMenu(QMenuBar& bar, frmMain& form) {
    QMenu& view = addMenu(bar, "mnuView", "&View");
    const auto setter = [&form](const char* property, bool value) {
        return [&form, property, value] {
            form.putViewer(QLatin1String(property), Variant(value));
        };
    };
    QMenu& tags = addMenu(view, "mnuTags", "Dicom Tags");
    addItem(tags, "mnuShowTags", "Show", "Ctrl+T", setter("DisplayDicomTags", true));
    addItem(tags, "mnuHideTags", "Hide", "Ctrl+Shift+T", setter("DisplayDicomTags", false));
    QMenu& sidebar = addMenu(view, "mnuSideBar", "Sidebar");
    addItem(sidebar, "mnuShowSidebar", "Show", "Ctrl+B", setter("SideBarVisible", true));
    addItem(sidebar, "mnuHidesidebar", "Hide", "Ctrl+Shift+B", setter("SideBarVisible", false));
    addItem(view, "mnunvert", "Invert Image", "Ctrl+I",
            [&form] { form.selectTool(frmMain::ToolInvert); });
    addSeparator(view, "Sep4");
    // The series of the next file opened as a stack; the mode is saved with the other properties.
    QMenu& stack = addMenu(view, "mnuStack", "Stack Mode");
    addItem(stack, "mnuStackOn", "On", "Ctrl+K", setter("StackMode", true));
    addItem(stack, "mnuStackOff", "Off", "Ctrl+Shift+K", setter("StackMode", false));
    // Space plays the stack (or a multiframe image's frames) at its own rate, and stops it.
    addItem(view, "mnuCine", "Play/Stop Cine", "Space", [&form, playing = false]() mutable {
        playing = !playing;
        if (playing)
            form.callViewer(QStringLiteral("PlayCine"), {Variant(0.0)});
        else
            form.callViewer(QStringLiteral("StopCine"));
    });
}

// The report's file, asked for in a save or an open dialog; empty when cancelled.
// The program asks through the platform's hook (what tests answer) or Qt's
// dialog: the library's dialogs live in the control, which the program loads.
QString reportFile(frmMain& form, bool save) {
    filedialogs::Request request;
    request.kind = save ? filedialogs::Kind::Save : filedialogs::Kind::Open;
    request.owner = &form;
    request.nameFilters = {QStringLiteral("DICOM Structured Reports (*.dcm)"),
                           QStringLiteral("All Files (*)")};
    request.fileName = save ? QStringLiteral("measurements.dcm") : QString();
    request.fileMustExist = !save;
    request.confirmOverwrite = save;
    if (const filedialogs::Hook& hook = filedialogs::installedHook()) {
        const std::optional<filedialogs::Answer> answer = hook(request);
        return answer ? answer->paths.value(0) : QString();
    }
    // Without a display nobody could answer: cancelled, as the library's dialogs do.
    if (ui::isUnattended())
        return {};
    const QString filter = request.nameFilters.join(QStringLiteral(";;"));
    return save ? QFileDialog::getSaveFileName(&form, QString(), request.fileName, filter)
                : QFileDialog::getOpenFileName(&form, QString(), QString(), filter);
}

void buildMeasurementsMenu(QMenuBar& bar, frmMain& form) {
    QMenu& menu = addMenu(bar, "mnuMeasurements", "&Measurements");
    addItem(menu, "mnuSaveSR", "Save as SR...", "Ctrl+E", [&form] {
        const QString file = reportFile(form, true);
        if (!file.isEmpty())
            form.callViewer(QStringLiteral("SaveMeasurementsAsSR"), {file});
    });
    addItem(menu, "mnuLoadSR", "Load from SR...", "Ctrl+Shift+E", [&form] {
        const QString file = reportFile(form, false);
        if (!file.isEmpty())
            form.callViewer(QStringLiteral("LoadMeasurements"), {file});
    });
    addItem(menu, "mnuMeasurementList", "Measurement List", "Ctrl+L",
            [&form] { form.measurementList().setVisible(!form.measurementList().isVisible()); });
}

void buildHelpMenu(QMenuBar& bar, frmMain& form) {
    QMenu& help = addMenu(bar, "mnuHelp", "&?");
    addItem(help, "mnuAbout", "About...", "F1",
            [&form] { form.callViewer(QStringLiteral("About")); });
}

} // namespace

void buildMainMenu(QMenuBar& bar, frmMain& form) {
    buildFileMenu(bar, form);
    buildEditMenu(bar, form);
    buildViewMenu(bar, form);
    buildMeasurementsMenu(bar, form);
    buildHelpMenu(bar, form);
}
