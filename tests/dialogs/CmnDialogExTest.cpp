#include "dialogs/CmnDialogEx.h"
#include "dialogs/FileDialogSeam.h"
#include "dialogs/modCmnDialogEx.h"

#include "platform/automation/AutomationError.h"
#include "tests/common/TestApp.h"

#include <gtest/gtest.h>

namespace {

// Records every request and answers with a scripted answer (nothing = Cancel).
class ScriptedDialogs {
public:
    explicit ScriptedDialogs(std::optional<filedialogs::Answer> answer) {
        filedialogs::setHook([this, answer](const filedialogs::Request& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~ScriptedDialogs() { filedialogs::setHook(nullptr); }

    std::vector<filedialogs::Request> requests;
};

filedialogs::Answer choose(QStringList paths, int filter = 0) {
    return {std::move(paths), filter};
}

TEST(CmnDialogEx, FilterReadsBackAndBecomesQtNameFilters) {
    testing_support::app();
    ScriptedDialogs dialogs(choose({"/data/a.dcm"}, 1));
    CmnDialogEx dialog;
    dialog.setFilter("Dicom Files|*.dcm|All Files|*.*");
    EXPECT_EQ(dialog.Filter(), "Dicom Files|*.dcm|All Files|*.*");
    dialog.setFilterIndex(2);
    ASSERT_TRUE(dialog.ShowOpen());
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].nameFilters,
              QStringList({"Dicom Files (*.dcm)", "All Files (*)"}));
    EXPECT_EQ(dialogs.requests[0].selectedFilter, 1);
    EXPECT_EQ(dialog.FileName(), "/data/a.dcm");
    EXPECT_EQ(dialog.FileTitle(), "a.dcm");
    EXPECT_EQ(dialog.FilterIndex(), 2);

    dialog.setFilter("   ");
    EXPECT_EQ(dialog.Filter(), "");
}

TEST(CmnDialogEx, PropertyRules) {
    CmnDialogEx dialog;
    dialog.setMaxFileSize(-5);
    EXPECT_EQ(dialog.MaxFileSize(), 520);
    dialog.setMaxFileSize(30);
    EXPECT_EQ(dialog.MaxFileSize(), 30);
    dialog.setFlagsDialog(0xFFFFFFFF);
    EXPECT_EQ(dialog.FlagsDialog(), 0xFF9FFBEFu);
    dialog.setInitDir("C:\\data\\x");
    EXPECT_EQ(dialog.InitDir(), "C:/data/x");
    dialog.setCancelError(true);
    dialog.Clear();
    EXPECT_EQ(dialog.FlagsDialog(), 0u);
    EXPECT_EQ(dialog.MaxFileSize(), 520);
    EXPECT_FALSE(dialog.CancelError());
    EXPECT_EQ(dialog.InitDir(), "");
}

TEST(CmnDialogEx, CancelReturnsFalseOrRaisesWithCancelError) {
    testing_support::app();
    ScriptedDialogs dialogs(std::nullopt);
    CmnDialogEx dialog;
    dialog.setFileName("kept");
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(dialog.FileName(), "kept");
    EXPECT_EQ(dialog.LastErrorCode(), CmnDialogEx::CancelCode);

    const struct {
        bool (*show)(CmnDialogEx&);
        const char* source;
    } rows[] = {
        {[](CmnDialogEx& d) { return d.ShowOpen(); }, "Common Dialog Open"},
        {[](CmnDialogEx& d) { return d.ShowSave(); }, "Common Dialog Save"},
        {[](CmnDialogEx& d) { return d.ShowBrowseForFolder(); }, "Common Dialog BrowseForFolder"},
    };
    dialog.setCancelError(true);
    for (const auto& row : rows) {
        try {
            row.show(dialog);
            ADD_FAILURE() << row.source << " did not raise";
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.number(), static_cast<int>(0x800704C7));
            EXPECT_EQ(error.description(), "Cancel was selected");
            EXPECT_EQ(error.source(), row.source);
        }
    }
}

TEST(CmnDialogEx, UnattendedWithoutHookAnswersCancel) {
    testing_support::app();
    CmnDialogEx dialog;
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_FALSE(dialog.ShowBrowseForFolder());
    EXPECT_EQ(cmndialog::ShowSaveDialog(), "");
}

TEST(CmnDialogEx, MultiSelectionMustFitTheBuffer) {
    testing_support::app();
    ScriptedDialogs dialogs(choose({"/d/first.txt", "/d/second.txt"}));
    CmnDialogEx dialog;
    dialog.setFlagsDialog(CmnDialogEx::OFN_ALLOWMULTISELECT | CmnDialogEx::OFN_EXPLORER);
    ASSERT_TRUE(dialog.ShowOpen());
    EXPECT_TRUE(dialogs.requests[0].multiSelect);
    EXPECT_EQ(dialog.FileName(), QString("/d/first.txt") + QChar(0) + "/d/second.txt");

    dialog.setMaxFileSize(10);
    dialog.setCancelError(true);
    try {
        dialog.ShowOpen();
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 12291);
        EXPECT_EQ(error.description(),
                  "The PathFileBufferSize is too small for the file name(s) specified by the "
                  "user.");
    }
    EXPECT_EQ(dialog.MinimumBufferSizeRequired(), 28);
}

TEST(CmnDialogEx, ErrorDescriptions) {
    const struct {
        std::int32_t code;
        const char* text;
    } rows[] = {
        {0, "Cancel was selected"},
        {7, "The common dialog box function failed to find a specified resource."},
        {12290, "A file name is invalid."},
        {0xFFFF, "The dialog box could not be created"},
        {11, "Unknown error code of 11"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CmnDialogEx::errorDescription(row.code), row.text) << row.code;
}

TEST(CmnDialogEx, FolderBrowserReturnsPathOrFriendlyName) {
    testing_support::app();
    ScriptedDialogs dialogs(choose({"/home/user/Studies"}));
    CmnDialogEx dialog;
    dialog.setFlagsDialog(0x80000);
    dialog.setFlagsFolderBrowsing(596);
    dialog.setInitDir("/home/user");
    ASSERT_TRUE(dialog.ShowBrowseForFolder(nullptr, "Pick"));
    EXPECT_EQ(dialogs.requests[0].kind, filedialogs::Kind::Folder);
    EXPECT_EQ(dialogs.requests[0].initialFolder, "/home/user");
    EXPECT_EQ(dialogs.requests[0].title, "Pick");
    EXPECT_EQ(dialog.FileName(), "/home/user/Studies");
    ASSERT_TRUE(dialog.ShowBrowseForFolder(nullptr, {}, true));
    EXPECT_EQ(dialog.FileName(), "Studies");
}

TEST(CmnDialogEx, OpenAndSaveFunctionsApplyTheirDefaults) {
    testing_support::app();
    ScriptedDialogs dialogs(choose({"/out/report.pdf"}));
    EXPECT_EQ(cmndialog::ShowOpenDialog(-1, "/in/  ", "Title", "", "PDF|*.pdf"), "/out/report.pdf");
    EXPECT_EQ(cmndialog::ShowSaveDialog(-1, "/in", "", "report", "", "pdf"), "/out/report.pdf");
    ASSERT_EQ(dialogs.requests.size(), 2u);
    const auto& open = dialogs.requests[0];
    EXPECT_EQ(open.kind, filedialogs::Kind::Open);
    EXPECT_TRUE(open.fileMustExist);
    EXPECT_FALSE(open.confirmOverwrite);
    EXPECT_EQ(open.initialFolder, "/in");
    EXPECT_EQ(open.title, "Title");
    EXPECT_EQ(open.nameFilters, QStringList({"PDF (*.pdf)"}));
    const auto& save = dialogs.requests[1];
    EXPECT_EQ(save.kind, filedialogs::Kind::Save);
    EXPECT_TRUE(save.confirmOverwrite);
    EXPECT_TRUE(save.nameFilters.isEmpty());
    EXPECT_EQ(save.fileName, "report");
    EXPECT_EQ(save.defaultSuffix, "pdf");
}

TEST(CmnDialogEx, EventsOnlyWhenAskedFor) {
    testing_support::app();
    ScriptedDialogs dialogs(choose({"/a"}));
    CmnDialogEx dialog;
    QStringList seen;
    QObject::connect(&dialog, &CmnDialogEx::DialogOnInit, [&] { seen << "init"; });
    QObject::connect(&dialog, &CmnDialogEx::DialogOnFileOk, [&] { seen << "ok"; });
    dialog.ShowOpen();
    EXPECT_TRUE(seen.isEmpty());
    dialog.ShowOpen(nullptr, true);
    EXPECT_EQ(seen, QStringList({"init", "ok"}));
}

} // namespace
