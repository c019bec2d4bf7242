// The form around a real viewer, before any document: menus, start state, layout, what each
// menu item and panel button sends, how the viewer's events are mirrored, persistence.

#include "FormFixture.h"

#include "test_host/MeasurementList.h"
#include "test_host/OptionButton.h"
#include "test_host/ToolPanel.h"

#include "platform/MessagePump.h"
#include "platform/automation/EventSource.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

namespace {

using FormTest = FormFixture;

// "name caption shortcut" per item; "-name" a separator; ">name caption" opens a submenu,
// "<" closes it.
QStringList describe(const QMenu& menu) {
    QStringList lines;
    for (QAction* item : menu.actions()) {
        if (item->isSeparator()) {
            lines << "-" + item->objectName();
            continue;
        }
        if (QMenu* sub = item->menu()) {
            lines << ">" + sub->objectName() + " " + sub->title();
            lines << describe(*sub);
            lines << "<";
            continue;
        }
        lines << item->objectName() + " " + item->text() + " " + item->shortcut().toString();
    }
    return lines;
}

TEST_F(FormTest, MenusInTheirOrderWithSeparatorsAndShortcuts) {
    QStringList bar;
    for (QAction* top : form->menuBar()->actions())
        bar << ">" + top->menu()->objectName() + " " + top->text() << describe(*top->menu()) << "<";
    const QStringList expected = {
        ">mnuFile &File",
        "mnuLoad Load DICOM File Ctrl+O",
        "mnuDICIMDIR Load DICOMDIR Ctrl+D",
        "mnuDirectory Load DICOM Files in a Directory Ctrl+Shift+O",
        "-Sep3",
        "mnuSave Save Image... Ctrl+S",
        "mnuSaveCanvas Save Canvas... Ctrl+Shift+S",
        "-Sep1",
        "mnuPrint Print Image... Ctrl+P",
        "mnuPrintCanvas Print Canvas... Ctrl+Shift+P",
        "-Sep0",
        "mnuQuit Quit Ctrl+Q",
        "<",
        ">mnuEdit &Edit",
        "mnuCopy Copy image to Clipboard Ctrl+C",
        "mnuCopyCanvas Copy canvas to Clipboard Ctrl+Shift+C",
        "<",
        ">mnuView &View",
        ">mnuTags Dicom Tags",
        "mnuShowTags Show Ctrl+T",
        "mnuHideTags Hide Ctrl+Shift+T",
        "<",
        ">mnuSideBar Sidebar",
        "mnuShowSidebar Show Ctrl+B",
        "mnuHidesidebar Hide Ctrl+Shift+B",
        "<",
        "mnunvert Invert Image Ctrl+I",
        "-Sep4",
        ">mnuStack Stack Mode",
        "mnuStackOn On Ctrl+K",
        "mnuStackOff Off Ctrl+Shift+K",
        "<",
        "mnuCine Play/Stop Cine Space",
        "<",
        ">mnuMeasurements &Measurements",
        "mnuSaveSR Save as SR... Ctrl+E",
        "mnuLoadSR Load from SR... Ctrl+Shift+E",
        "mnuMeasurementList Measurement List Ctrl+L",
        "<",
        ">mnuHelp &?",
        "mnuAbout About... F1",
        "<",
    };
    EXPECT_EQ(bar, expected);
}

TEST_F(FormTest, AtStartOnlyTheViewerShows) {
    EXPECT_EQ(form->windowTitle(), "Dicom Viewer");
    EXPECT_TRUE(form->viewerWidget().isVisible());
    EXPECT_EQ(form->viewerWidget().objectName(), "KestDicomViewAX1");
    ToolPanel& panel = form->toolPanel();
    for (int group : {2, 3, 4, 5})
        EXPECT_FALSE(panel.group(group)->isVisible()) << "Picture" << group;
    for (int number = 1; number <= 3; ++number)
        EXPECT_FALSE(panel.command(number)->isVisible()) << "Command" << number;
    EXPECT_TRUE(dialogs.isEmpty());
    EXPECT_TRUE(messageBoxes.isEmpty());
}

// The viewer fills the client area left of the panel, whose width is its design width of 1995
// twips at the screen's resolution; a form narrower than the panel leaves the viewer no width.
TEST_F(FormTest, ViewerFillsTheAreaLeftOfThePanelOnResize) {
    const double twipsPerPixel = 1440.0 / form->screen()->logicalDotsPerInchX();
    const int panelWidth = qRound(1995 / twipsPerPixel);
    QWidget& viewer = form->viewerWidget();
    ToolPanel& panel = form->toolPanel();
    for (const QSize size : {QSize(900, 640), QSize(500, 300), QSize(panelWidth + 1, 200)}) {
        form->resize(size);
        pump::processPending();
        const QSize inner = form->centralWidget()->size();
        SCOPED_TRACE(inner.width());
        EXPECT_EQ(panel.width(), panelWidth);
        EXPECT_EQ(viewer.geometry(), QRect(0, 0, inner.width() - panelWidth, inner.height()));
        EXPECT_EQ(panel.geometry(),
                  QRect(inner.width() - panelWidth, 0, panelWidth, inner.height()));
    }
    form->setMinimumWidth(0);
    form->resize(panelWidth / 2, 200);
    pump::processPending();
    EXPECT_EQ(viewer.width(), 0);
    EXPECT_EQ(viewer.height(), form->centralWidget()->height());
}

struct MenuCall {
    const char* item;
    const char* member;
    unsigned kind;
    QList<Variant> args;
};

// What each menu item sends to the viewer, by member name, with its arguments exactly. The
// dialogs the loads open are cancelled.
TEST_F(FormTest, MenuItemsCallTheirMembers) {
    const QString demo = programFolder() + "/Demo";
    const Variant yes(true);
    const Variant no(false);
    const MenuCall rows[] = {
        {"mnuLoad", "LoadSelectedDicomFile", InvokeFlags::Method, {demo}},
        {"mnuDICIMDIR", "LoadDICOMDIR", InvokeFlags::Method, {programFolder() + "/DEMO/"}},
        {"mnuDirectory", "LoadDirectory", InvokeFlags::Method, {demo, Variant(std::int16_t(0))}},
        {"mnuSave", "SaveImage", InvokeFlags::Method, {}},
        {"mnuSaveCanvas", "SaveCanvas", InvokeFlags::Method, {}},
        {"mnuPrint", "PrintImage", InvokeFlags::Method, {QString(), yes}},
        {"mnuPrintCanvas", "PrintCanvas", InvokeFlags::Method, {QString(), yes}},
        {"mnuCopy", "CopyImageToClipboard", InvokeFlags::Method, {}},
        {"mnuCopyCanvas", "CopyCanvasToClipboard", InvokeFlags::Method, {}},
        {"mnuShowTags", "DisplayDicomTags", InvokeFlags::PropertyPut, {yes}},
        {"mnuHideTags", "DisplayDicomTags", InvokeFlags::PropertyPut, {no}},
        {"mnuShowSidebar", "SideBarVisible", InvokeFlags::PropertyPut, {yes}},
        {"mnuHidesidebar", "SideBarVisible", InvokeFlags::PropertyPut, {no}},
        {"mnunvert", "SelectTool", InvokeFlags::Method, {Variant(std::int16_t(11))}},
        {"mnuStackOn", "StackMode", InvokeFlags::PropertyPut, {yes}},
        {"mnuStackOff", "StackMode", InvokeFlags::PropertyPut, {no}},
        // Space plays, then stops.
        {"mnuCine", "PlayCine", InvokeFlags::Method, {Variant(0.0)}},
        {"mnuCine", "StopCine", InvokeFlags::Method, {}},
        {"mnuAbout", "About", InvokeFlags::Method, {}},
    };
    for (const MenuCall& row : rows) {
        SCOPED_TRACE(row.item);
        m_recorder->sent.clear();
        trigger(row.item);
        ASSERT_EQ(m_recorder->sent.size(), 1);
        const SentCall& call = m_recorder->sent.first();
        EXPECT_EQ(call.member, row.member);
        EXPECT_EQ(call.kind, row.kind);
        EXPECT_EQ(call.args, row.args);
    }
}

// The report items ask for a file, then hand it to the viewer; a cancelled
// dialog sends nothing.
TEST_F(FormTest, ReportItemsAskForAFileAndHandItToTheViewer) {
    const QString report = environment.root() + "/report.dcm";
    const QList<std::pair<const char*, const char*>> items = {{"mnuSaveSR", "SaveMeasurementsAsSR"},
                                                              {"mnuLoadSR", "LoadMeasurements"}};
    for (const auto& [item, member] : items) {
        SCOPED_TRACE(item);
        m_recorder->sent.clear();
        queueDialogAnswer(std::nullopt);
        trigger(item);
        EXPECT_TRUE(m_recorder->sent.isEmpty());
        queueDialogAnswer(report);
        trigger(item);
        ASSERT_EQ(m_recorder->sent.size(), 1);
        EXPECT_EQ(m_recorder->sent.first().member, member);
        EXPECT_EQ(m_recorder->sent.first().args, QList<Variant>{Variant(report)});
    }
    EXPECT_EQ(dialogs[1].kind, filedialogs::Kind::Save);
    EXPECT_EQ(dialogs[3].kind, filedialogs::Kind::Open);
    // Without a display and without a hook nobody could answer: nothing is
    // asked and nothing is sent, rather than a dialog waiting for ever.
    filedialogs::setHook({});
    m_recorder->sent.clear();
    for (const auto& item : {"mnuSaveSR", "mnuLoadSR"})
        trigger(item);
    EXPECT_TRUE(m_recorder->sent.isEmpty());
}

// The list shows each measurement's values from the viewer's events.
TEST_F(FormTest, TheMeasurementListFollowsTheViewersEvents) {
    MeasurementListDock& dock = form->measurementList();
    EXPECT_FALSE(dock.isVisible());
    trigger("mnuMeasurementList");
    EXPECT_TRUE(dock.isVisible());
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    const QString id =
        form->callViewer("AddMeasurement", {QString("Length"), QString("[[10,10],[10,30]]")})
            .toString();
    ASSERT_TRUE(waitUntil([&] { return dock.list().count() == 1; }));
    // CT_small's pixels are 0.661468 mm apart.
    EXPECT_EQ(dock.list().item(0)->text(), "Length: 13.23 mm");
    form->callViewer("RemoveMeasurement", {id});
    EXPECT_TRUE(waitUntil([&] { return dock.list().count() == 0; }));
}

struct ButtonCall {
    QString button;
    const char* member;
    unsigned kind;
    QList<Variant> args;
};

// What each panel button sends when a person clicks it.
TEST_F(FormTest, PanelButtonsCallTheirMembers) {
    form->ShowToolBar(true);
    const auto tool = [](int number) {
        return QList<Variant>{Variant(std::int16_t(number))};
    };
    QList<ButtonCall> rows;
    for (int index = 1; index <= 10; ++index)
        rows.append(
            {QString("Option1_%1").arg(index), "SelectTool", InvokeFlags::Method, tool(index)});
    rows += QList<ButtonCall>{
        {"Option1_20", "DisplayDicomTags", InvokeFlags::PropertyPut, {Variant(false)}},
        {"Option1_21", "DisplayDicomTags", InvokeFlags::PropertyPut, {Variant(true)}},
        {"Option1_30", "SelectTool", InvokeFlags::Method, tool(11)},
        {"Option1_31", "SelectTool", InvokeFlags::Method, tool(11)},
        {"Option1_40", "SideBarVisible", InvokeFlags::PropertyPut, {Variant(true)}},
        {"Option1_41", "SideBarVisible", InvokeFlags::PropertyPut, {Variant(false)}},
        {"Command1", "SelectTool", InvokeFlags::Method, tool(12)},
        {"Command2", "SelectTool", InvokeFlags::Method, tool(13)},
        {"Command3", "SetScale1", InvokeFlags::Method, {}},
    };
    for (const ButtonCall& row : rows) {
        SCOPED_TRACE(row.button.toStdString());
        auto* button = form->toolPanel().findChild<QAbstractButton*>(row.button);
        ASSERT_NE(button, nullptr);
        m_recorder->sent.clear();
        clickWithMouse(*button);
        ASSERT_EQ(m_recorder->sent.size(), 1);
        EXPECT_EQ(m_recorder->sent.first().member, row.member);
        EXPECT_EQ(m_recorder->sent.first().kind, row.kind);
        EXPECT_EQ(m_recorder->sent.first().args, row.args);
    }
}

void raise(Dispatch& viewer, const char* event, std::initializer_list<Variant> args) {
    QList<Variant> list(args);
    viewer.eventSource()->raise(QLatin1String(event), list);
}

// The state events select the matching buttons from code: nothing goes back to the viewer.
TEST_F(FormTest, StateEventsSelectButtonsAndSendNothing) {
    Dispatch& viewer = m_recorder->real();
    ToolPanel& panel = form->toolPanel();
    const auto checked = [&](int index) {
        return panel.option(index)->isChecked();
    };
    raise(viewer, "TagsStatusChange", {Variant(true)});
    EXPECT_TRUE(checked(21));
    raise(viewer, "TagsStatusChange", {Variant(false)});
    EXPECT_TRUE(checked(20));
    raise(viewer, "InvertStatusChange", {Variant(true)});
    EXPECT_TRUE(checked(31));
    raise(viewer, "InvertStatusChange", {Variant(false)});
    EXPECT_TRUE(checked(30));
    raise(viewer, "SidebarStatusChange", {Variant(true)});
    EXPECT_TRUE(checked(40));
    raise(viewer, "SidebarStatusChange", {Variant(false)});
    EXPECT_TRUE(checked(41));
    raise(viewer, "ToolSelected", {Variant("Angle"), Variant(std::int32_t(5))});
    EXPECT_TRUE(checked(5));
    // Tools without a panel button leave the panel as it is.
    for (std::int32_t other : {0, 11, 12, 13, 14, 15, 100, 101}) {
        raise(viewer, "ToolSelected", {Variant("Other"), Variant(other)});
        EXPECT_TRUE(checked(5)) << other;
    }
    raise(viewer, "ImagePixelClic",
          {Variant(std::int32_t(3)), Variant(std::int32_t(4)), Variant(12.5)});
    EXPECT_TRUE(m_recorder->sent.isEmpty());
}

QList<Variant> imageLoadedArgs(const QString& fileName, bool noImage) {
    return {fileName,
            Variant(std::int32_t(64)),
            Variant(std::int32_t(64)),
            Variant("CT"),
            Variant("Nom"),
            Variant("19700101"),
            Variant("20000101"),
            Variant(false),
            Variant(std::int16_t(0)),
            Variant(std::int16_t(1)),
            Variant(0.5),
            Variant(0.5),
            Variant(noImage)};
}

// The caption is built from the viewer's stored properties at the time of the event, not from
// the event's own arguments: on a fresh viewer they are all empty.
TEST_F(FormTest, LoadingEventsSetThePanelAndTheCaption) {
    Dispatch& viewer = m_recorder->real();
    ToolPanel& panel = form->toolPanel();
    QList<Variant> args = imageLoadedArgs("a.dcm", false);
    viewer.eventSource()->raise(QStringLiteral("ImageLoaded"), args);
    EXPECT_EQ(form->windowTitle(),
              "DICOM Viewer : a.dcm        Modality:         Date:        Patient: ");
    for (int group : {2, 3, 4, 5})
        EXPECT_TRUE(panel.group(group)->isVisible()) << group;

    raise(viewer, "BeforeLoading", {});
    for (int group : {2, 3, 4, 5})
        EXPECT_FALSE(panel.group(group)->isVisible()) << group;
    EXPECT_FALSE(panel.command(1)->isVisible());

    args = imageLoadedArgs("report.dcm", true);
    viewer.eventSource()->raise(QStringLiteral("ImageLoaded"), args);
    EXPECT_TRUE(panel.group(option::Page)->isVisible());
    for (int group : {2, 4, 5})
        EXPECT_FALSE(panel.group(group)->isVisible()) << group;
    EXPECT_TRUE(form->windowTitle().startsWith("DICOM Viewer : report.dcm        Modality: "));
}

// The program's argument: a DICOM file is loaded and shown, a DICOMDIR or its folder opens the
// DICOMDIR page, any other folder its file list.
TEST_F(FormTest, OpenChoosesTheLoadForWhatItIsGiven) {
    form->open(programFolder() + "/Demo/CT_small.dcm");
    ASSERT_TRUE(waitForEvent("ImageLoaded"));
    EXPECT_EQ(lastEvent("ImageLoaded")->args.value(0).toString(), "CT_small.dcm");
    EXPECT_TRUE(form->windowTitle().startsWith("DICOM Viewer : CT_small.dcm"));

    const auto lastCall = [this] {
        return m_recorder->sent.isEmpty() ? SentCall() : m_recorder->sent.last();
    };
    form->open(programFolder() + "/DEMO/DICOMDIR");
    EXPECT_EQ(lastCall().member, "LoadDICOMDIR");
    EXPECT_EQ(lastCall().args.value(0).toString(), programFolder() + "/DEMO/");
    form->open(programFolder() + "/DEMO");
    EXPECT_EQ(lastCall().member, "LoadDICOMDIR");
    EXPECT_EQ(lastCall().args.value(0).toString(), programFolder() + "/DEMO/");
    form->open(programFolder() + "/Demo");
    EXPECT_EQ(lastCall().member, "LoadDirectory");
    EXPECT_EQ(lastCall().args.value(0).toString(), programFolder() + "/Demo");
}

// A member that fails reaches the user as a message box with its number; the form goes on.
TEST_F(FormTest, AnErrorOfTheViewerIsShownNotThrown) {
    EXPECT_TRUE(form->callViewer("NoSuchMember").isEmpty());
    ASSERT_EQ(messageBoxes.size(), 1);
    EXPECT_TRUE(messageBoxes.first().prompt.startsWith("Run-time error '438' in NoSuchMember"))
        << messageBoxes.first().prompt.toStdString();
    EXPECT_EQ(messageBoxes.first().style, ui::MsgBox::Critical);
}

// The viewer's persisted properties are kept in the program's settings: a property set through
// the menu is there again after a restart, on a new viewer.
TEST_F(FormTest, PersistedPropertiesSurviveARestart) {
    EXPECT_FALSE(QFile::exists(settingsFile()));
    EXPECT_FALSE(m_recorder->real().get("SideBarVisible").toBool());
    trigger("mnuShowSidebar");
    ASSERT_TRUE(QFile::exists(settingsFile()));
    closeForm();

    openForm();
    EXPECT_TRUE(m_recorder->real().get("SideBarVisible").toBool());
    trigger("mnuHidesidebar");
    closeForm();

    openForm();
    EXPECT_FALSE(m_recorder->real().get("SideBarVisible").toBool());
}

} // namespace
