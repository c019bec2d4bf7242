#pragma once

#include "RecordingViewer.h"

#include "platform/FileDialogHook.h"
#include "platform/UiServices.h"
#include "test_host/frmMain.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TempEnvironment.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class OptionButton;
class QAction;

struct RaisedEvent {
    QString name;
    QList<Variant> args;
};

// The test host's form around a real viewer, created by its programmatic identifier from the
// registered control library, with the program's installed data beside it. What the form sends
// to the viewer, the viewer's events, the file dialogs asked and the message boxes shown are
// recorded; dialogs take the queued answers (none queued cancels).
class FormFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A new form on a new viewer, with the settings file of this test.
    void openForm();
    void closeForm();

    static QString programFolder();
    QString settingsFile() const;
    QAction* action(const char* name) const;
    OptionButton* option(int index) const;
    // A click made with the mouse, as a person makes it.
    void clickWithMouse(QWidget& widget) const;
    void trigger(const char* menuItem);
    void queueDialogAnswer(std::optional<QString> path);
    // Loads a file of Demo/ through File > Load DICOM File and waits for ImageLoaded.
    bool loadThroughFileMenu(const QString& demoFile);
    bool waitUntil(const std::function<bool()>& done, int seconds = 60) const;
    bool waitForEvent(const QString& name, int seconds = 60) const;
    const RaisedEvent* lastEvent(const QString& name) const;
    // Skips the test at run time when the viewer on this branch does not serve the method.
    bool serves(const QString& method) const { return m_recorder->serves(method); }

    testing_support::TempEnvironment environment;
    std::shared_ptr<RecordingViewer> m_recorder;
    std::unique_ptr<frmMain> form;
    QList<RaisedEvent> events;
    QList<filedialogs::Request> dialogs;
    QList<ui::MessageBoxRequest> messageBoxes;

private:
    std::deque<std::optional<QString>> m_answers;
    int m_cookie = 0;
};

#define SKIP_UNLESS_SERVED(method)                                                                 \
    if (!serves(method))                                                                           \
    GTEST_SKIP() << method << " is not built on this branch yet (the viewer answers error 438)"
