// The form with documents loaded through its own menus: the File menu's loads with the dialogs
// answered through the seam, the caption, the panel following the viewer, and the output menus
// (printer seam, clipboard, files).

#include "FormFixture.h"

#include "test_host/OptionButton.h"
#include "test_host/ToolPanel.h"

#include "platform/PrinterSeam.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>

namespace {

using FormDocumentTest = FormFixture;

QList<int> visibleGroups(const ToolPanel& panel) {
    QList<int> visible;
    for (int group : {2, 3, 4, 5}) {
        if (panel.group(group)->isVisible())
            visible.append(group);
    }
    return visible;
}

bool nonEmptyFile(const QString& path) {
    return QFileInfo(path).size() > 0;
}

TEST_F(FormDocumentTest, LoadThroughTheFileMenuGivesTheCaptionAndTheWholePanel) {
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs.first().kind, filedialogs::Kind::Open);
    EXPECT_EQ(QDir(dialogs.first().initialFolder), QDir(programFolder() + "/Demo"));
    EXPECT_EQ(form->windowTitle(), "DICOM Viewer : CT_small.dcm        Modality: CT        Date: "
                                   "20040119       Patient: CompressedSamples^CT1");
    EXPECT_EQ(visibleGroups(form->toolPanel()), (QList<int>{2, 3, 4, 5}));
    for (int number = 1; number <= 3; ++number)
        EXPECT_TRUE(form->toolPanel().command(number)->isVisible()) << number;
    EXPECT_TRUE(messageBoxes.isEmpty());
}

// A structured report has no image: only the page switch stays. The viewer describes a
// document without pixel data by its kind alone, so the caption shows nothing after "Date: "
// (nor after the file name and "Patient: ").
TEST_F(FormDocumentTest, AReportLeavesOnlyThePageSwitch) {
    ASSERT_TRUE(loadThroughFileMenu("test-SR.dcm"));
    EXPECT_EQ(visibleGroups(form->toolPanel()), QList<int>{option::Page});
    EXPECT_FALSE(form->toolPanel().command(1)->isVisible());
    EXPECT_EQ(form->windowTitle(), "DICOM Viewer :         Modality: SR        Date: "
                                   "       Patient: ");
}

// Both inversion buttons send the toggle; the button selected afterwards is the one the
// viewer's InvertStatusChange names, not the one clicked.
TEST_F(FormDocumentTest, InversionButtonsSendTheToggleAndFollowTheViewer) {
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    ToolPanel& panel = form->toolPanel();
    m_recorder->sent.clear();
    events.clear();
    clickWithMouse(*option(option::NotInverted));
    ASSERT_TRUE(waitForEvent("InvertStatusChange"));
    EXPECT_TRUE(lastEvent("InvertStatusChange")->args.value(0).toBool());
    EXPECT_TRUE(panel.option(option::Inverted)->isChecked());

    events.clear();
    clickWithMouse(*option(option::Inverted));
    ASSERT_TRUE(waitForEvent("InvertStatusChange"));
    EXPECT_FALSE(lastEvent("InvertStatusChange")->args.value(0).toBool());
    EXPECT_TRUE(panel.option(option::NotInverted)->isChecked());

    ASSERT_EQ(m_recorder->sent.size(), 2);
    for (const SentCall& call : m_recorder->sent) {
        EXPECT_EQ(call.member, "SelectTool");
        EXPECT_EQ(call.args, QList<Variant>{Variant(std::int16_t(11))});
    }
}

// A person picks the Length tool in the page's own sidebar: the panel follows, and the form
// sends nothing back to the viewer.
TEST_F(FormDocumentTest, AToolChosenInThePageSidebarSelectsItsButton) {
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    ASSERT_FALSE(option(4)->isChecked());
    m_recorder->sent.clear();
    events.clear();
    m_recorder->real().call(
        "RunJs",
        {Variant("eval"), Variant("document.querySelector('#sidebar button[data-command=Length]')"
                                  ".click()")});
    ASSERT_TRUE(waitUntil([&] { return option(4)->isChecked(); }, 20));
    EXPECT_EQ(lastEvent("ToolSelected")->args.value(1).toLong(), 4);
    EXPECT_TRUE(m_recorder->sent.isEmpty());
}

TEST_F(FormDocumentTest, SaveMenusWriteTheChosenFiles) {
    ASSERT_TRUE(loadThroughFileMenu("MR_small.dcm"));
    const QString image = environment.root() + "/image.png";
    const QString canvas = environment.root() + "/canvas.jpg";
    queueDialogAnswer(image);
    trigger("mnuSave");
    ASSERT_TRUE(waitUntil([&] { return nonEmptyFile(image); }, 30));
    queueDialogAnswer(canvas);
    trigger("mnuSaveCanvas");
    ASSERT_TRUE(waitUntil([&] { return nonEmptyFile(canvas); }, 30));
    EXPECT_EQ(QImage(image).size(), QSize(64, 64)) << "MR_small is 64 by 64 pixels";
    EXPECT_FALSE(QImage(canvas).isNull());
    EXPECT_EQ(dialogs.size(), 3);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

class FormPrintTest : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        printing::setHook(printing::pdfFolderHook(environment.root() + "/printed"));
    }
    void TearDown() override {
        printing::setHook({});
        FormFixture::TearDown();
    }

    bool printedPdf() const {
        QFile pdf(environment.root() + "/printed/print-1.pdf");
        return waitUntil([&] { return nonEmptyFile(pdf.fileName()); }, 30) &&
               pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-";
    }
};

TEST_F(FormPrintTest, PrintImageMenuPrintsToThePrinter) {
    SKIP_UNLESS_SERVED("PrintImage");
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    trigger("mnuPrint");
    EXPECT_TRUE(printedPdf());
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(FormPrintTest, PrintCanvasMenuPrintsToThePrinter) {
    SKIP_UNLESS_SERVED("PrintCanvas");
    ASSERT_TRUE(loadThroughFileMenu("CT_small.dcm"));
    trigger("mnuPrintCanvas");
    EXPECT_TRUE(printedPdf());
    EXPECT_TRUE(messageBoxes.isEmpty());
}

class FormClipboardTest : public FormFixture {
protected:
    bool clipboardGetsAnImage(const char* menuItem) {
        QGuiApplication::clipboard()->clear();
        trigger(menuItem);
        return waitUntil([] { return !QGuiApplication::clipboard()->image().isNull(); }, 30);
    }
};

TEST_F(FormClipboardTest, CopyImageMenuPutsTheImageOnTheClipboard) {
    SKIP_UNLESS_SERVED("CopyImageToClipboard");
    ASSERT_TRUE(loadThroughFileMenu("MR_small.dcm"));
    ASSERT_TRUE(clipboardGetsAnImage("mnuCopy"));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(64, 64));
}

TEST_F(FormClipboardTest, CopyCanvasMenuPutsThePageOnTheClipboard) {
    SKIP_UNLESS_SERVED("CopyCanvasToClipboard");
    ASSERT_TRUE(loadThroughFileMenu("MR_small.dcm"));
    ASSERT_TRUE(clipboardGetsAnImage("mnuCopyCanvas"));
}

// The DICOMDIR of DEMO/ was made at build time over copies of the five demo files, each of
// another patient.
TEST_F(FormDocumentTest, DicomdirMenuOpensTheDemoMedia) {
    SKIP_UNLESS_SERVED("LoadDICOMDIR");
    queueDialogAnswer(programFolder() + "/DEMO/DICOMDIR");
    trigger("mnuDICIMDIR");
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(QDir(dialogs.first().initialFolder), QDir(programFolder() + "/DEMO"));
    EXPECT_EQ(dialogs.first().fileName, "DICOMDIR");
    ASSERT_TRUE(waitForEvent("DicomdirLoaded"));
    EXPECT_EQ(lastEvent("DicomdirLoaded")->args.value(0).toLong(), 5);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(FormDocumentTest, DirectoryMenuListsTheDemoFolder) {
    SKIP_UNLESS_SERVED("LoadDirectory");
    queueDialogAnswer(programFolder() + "/Demo");
    trigger("mnuDirectory");
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs.first().kind, filedialogs::Kind::Folder);
    EXPECT_EQ(QDir(dialogs.first().initialFolder), QDir(programFolder() + "/Demo"));
    ASSERT_TRUE(waitForEvent("BeforeLoading"));
    const auto listCaption = [&] {
        for (const QLabel* label : form->viewerWidget().findChildren<QLabel*>()) {
            if (label->text() == "5 DICOM Files")
                return true;
        }
        return false;
    };
    EXPECT_TRUE(waitUntil(listCaption, 30));
    EXPECT_TRUE(messageBoxes.isEmpty());
}

} // namespace
