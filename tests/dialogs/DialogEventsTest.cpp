#include "dialogs/CmnDialogEx.h"
#include "dialogs/FileDialogSeam.h"

#include "tests/common/TestApp.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// A person scripted by a test: reports steps through the request's events, then answers.
using Steps = std::function<void(const filedialogs::Request&)>;

class ScriptedPerson {
public:
    ScriptedPerson(Steps steps, std::optional<filedialogs::Answer> answer) {
        filedialogs::setHook([this, steps, answer](const filedialogs::Request& request) {
            requests.push_back(request);
            if (steps)
                steps(request);
            return answer;
        });
    }
    ~ScriptedPerson() { filedialogs::setHook(nullptr); }

    std::vector<filedialogs::Request> requests;
};

TEST(DialogEvents, FileDialogsRaiseWhatThePersonDoes) {
    testing_support::app();
    QTemporaryDir dir;
    const QString existing = dir.filePath("taken.dcm");
    QFile(existing).open(QIODevice::WriteOnly);
    const Steps browse = [&](const filedialogs::Request& request) {
        request.events.folderEntered(dir.path());
        request.events.currentChanged(existing);
        request.events.filterSelected(1);
    };
    const struct {
        const char* label;
        bool save;
        std::uint32_t flags;
        QString chosen;
        bool wantEvents;
        QStringList expected;
    } rows[] = {
        {"open",
         false,
         0,
         existing,
         true,
         {"init", "folder:" + dir.path(), "selection:" + existing, "type:2", "ok"}},
        {"save over an existing file",
         true,
         CmnDialogEx::OFN_OVERWRITEPROMPT,
         existing,
         true,
         {"init", "folder:" + dir.path(), "selection:" + existing, "type:2",
          "overwrite:" + existing, "ok"}},
        {"save without the overwrite prompt",
         true,
         0,
         existing,
         true,
         {"init", "folder:" + dir.path(), "selection:" + existing, "type:2", "ok"}},
        {"save to a new file",
         true,
         CmnDialogEx::OFN_OVERWRITEPROMPT,
         dir.filePath("new.dcm"),
         true,
         {"init", "folder:" + dir.path(), "selection:" + existing, "type:2", "ok"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedPerson person(browse, filedialogs::Answer{{row.chosen}, 1});
        CmnDialogEx dialog;
        QStringList seen;
        QObject::connect(&dialog, &CmnDialogEx::DialogOnInit, [&] { seen << "init"; });
        QObject::connect(&dialog, &CmnDialogEx::DialogOnFileOk, [&] { seen << "ok"; });
        QObject::connect(&dialog, &CmnDialogEx::DialogOnOverwrite,
                         [&](const QString& path) { seen << "overwrite:" + path; });
        QObject::connect(&dialog, &CmnDialogEx::DialogOnFileTypeChange,
                         [&](int index) { seen << "type:" + QString::number(index); });
        QObject::connect(&dialog, &CmnDialogEx::DialogOnFolderChanged,
                         [&](const QString& folder) { seen << "folder:" + folder; });
        QObject::connect(&dialog, &CmnDialogEx::DialogOnSelectionChanged,
                         [&](const QString& path) { seen << "selection:" + path; });
        dialog.setFilter("Dicom Files|*.dcm|All Files|*.*");
        dialog.setFlagsDialog(row.flags);
        ASSERT_TRUE(row.save ? dialog.ShowSave(nullptr, row.wantEvents)
                             : dialog.ShowOpen(nullptr, row.wantEvents));
        EXPECT_EQ(seen, row.expected);
    }
}

TEST(DialogEvents, NoEventsUnlessAskedFor) {
    testing_support::app();
    ScriptedPerson person({}, filedialogs::Answer{{"/a"}, 0});
    CmnDialogEx dialog;
    ASSERT_TRUE(dialog.ShowOpen());
    ASSERT_TRUE(dialog.ShowBrowseForFolder());
    for (const auto& request : person.requests) {
        EXPECT_FALSE(request.events.folderEntered);
        EXPECT_FALSE(request.events.currentChanged);
        EXPECT_FALSE(request.events.filterSelected);
        EXPECT_FALSE(request.events.folderNotFound);
    }
}

TEST(DialogEvents, FolderBrowserRaisesSelectionAndValidation) {
    testing_support::app();
    const Steps browse = [](const filedialogs::Request& request) {
        request.events.folderEntered("/data");
        request.events.currentChanged("/data/Studies");
        if (request.events.folderNotFound)
            request.events.folderNotFound("/data/typo");
    };
    const struct {
        std::uint32_t flags;
        QStringList expected;
    } rows[] = {
        {596, {"browse-init", "browse-selection:/data", "browse-selection:/data/Studies"}},
        {CmnDialogEx::BIF_VALIDATE | CmnDialogEx::BIF_EDITBOX,
         {"browse-init", "browse-selection:/data", "browse-selection:/data/Studies",
          "browse-invalid:/data/typo"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        ScriptedPerson person(browse, filedialogs::Answer{{"/data/Studies"}, 0});
        CmnDialogEx dialog;
        QStringList seen;
        QObject::connect(&dialog, &CmnDialogEx::DialogBrowseFoldersInit,
                         [&] { seen << "browse-init"; });
        QObject::connect(&dialog, &CmnDialogEx::DialogBrowseFoldersOnSelectionChanged,
                         [&](const QString& folder) { seen << "browse-selection:" + folder; });
        QObject::connect(&dialog, &CmnDialogEx::DialogBrowseFoldersValidateFailed,
                         [&](const QString& name) { seen << "browse-invalid:" + name; });
        dialog.setFlagsFolderBrowsing(row.flags);
        ASSERT_TRUE(dialog.ShowBrowseForFolder(nullptr, {}, false, true));
        EXPECT_EQ(seen, row.expected);
    }
}

TEST(DialogEvents, FolderBrowsingFlagsShapeTheDialog) {
    testing_support::app();
    const struct {
        std::uint32_t flags;
        bool listFiles;
        bool allowNewFolder;
    } rows[] = {
        {0, true, true},       // the default adds new style, edit box and files
        {0x8000, true, true},  // so does the shareable flag alone
        {596, false, false},   // the viewer's: new style without the new-folder button
        {0x40, false, true},   // new style
        {0x10, false, false},  // old style: no new-folder button
        {0x4240, true, false}, // files, new style without the new-folder button
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        ScriptedPerson person({}, filedialogs::Answer{{"/data"}, 0});
        CmnDialogEx dialog;
        dialog.setFlagsFolderBrowsing(row.flags);
        ASSERT_TRUE(dialog.ShowBrowseForFolder());
        EXPECT_EQ(person.requests[0].listFiles, row.listFiles);
        EXPECT_EQ(person.requests[0].allowNewFolder, row.allowNewFolder);
        EXPECT_EQ(dialog.FlagsFolderBrowsing(), row.flags);
    }
}

TEST(DialogEvents, FriendlyPathIsTheFolderNameAndNeverEmpty) {
    testing_support::app();
    const struct {
        QString chosen;
        QString friendly;
    } rows[] = {
        {"/home/user/Studies", "Studies"},
        {"/home/user/Studies/", "Studies"},
        {"/", "/"},
    };
    for (const auto& row : rows) {
        ScriptedPerson person({}, filedialogs::Answer{{row.chosen}, 0});
        CmnDialogEx dialog;
        ASSERT_TRUE(dialog.ShowBrowseForFolder(nullptr, {}, true));
        EXPECT_EQ(dialog.FileName(), row.friendly) << qPrintable(row.chosen);
    }
    ScriptedPerson nothing({}, filedialogs::Answer{{QString()}, 0});
    CmnDialogEx dialog;
    EXPECT_FALSE(dialog.ShowBrowseForFolder(nullptr, {}, true));
}

// The real Qt dialog reports what the person does in it: typing a folder and choosing a filter.
TEST(DialogEvents, RealDialogReportsFolderAndFilter) {
    testing_support::app();
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    QStringList seen;
    filedialogs::Request request;
    request.initialFolder = dir.path();
    request.nameFilters = QStringList{"Dicom Files (*.dcm)", "All Files (*)"};
    request.events.folderEntered = [&](const QString& folder) {
        seen << "folder:" + folder;
    };
    request.events.filterSelected = [&](int filter) {
        seen << "filter:" + QString::number(filter);
    };
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(combo, nullptr);
        ASSERT_NE(name, nullptr);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(combo, &down);
        name->setText(dir.filePath("sub"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(name, &enter);
        auto* up = dialog->findChild<QToolButton*>("toParentButton");
        ASSERT_NE(up, nullptr);
        up->click();
        dialog->reject();
    });
    EXPECT_FALSE(filedialogs::showQtDialog(request));
    EXPECT_EQ(seen, QStringList({"filter:1", "folder:" + dir.filePath("sub"),
                                 "folder:" + QDir(dir.path()).absolutePath()}));
}

// The real folder dialog lists files and offers a new folder only as asked.
TEST(DialogEvents, RealFolderDialogAppliesTheBrowsingOptions) {
    testing_support::app();
    const struct {
        bool listFiles;
        bool allowNewFolder;
    } rows[] = {{true, true}, {false, false}};
    for (const auto& row : rows) {
        filedialogs::Request request;
        request.kind = filedialogs::Kind::Folder;
        request.listFiles = row.listFiles;
        request.allowNewFolder = row.allowNewFolder;
        bool dirsOnly = false, readOnly = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
            readOnly = dialog->testOption(QFileDialog::ReadOnly);
            dialog->reject();
        });
        EXPECT_FALSE(filedialogs::showQtDialog(request));
        EXPECT_EQ(dirsOnly, !row.listFiles);
        EXPECT_EQ(readOnly, !row.allowNewFolder);
    }
}

} // namespace
