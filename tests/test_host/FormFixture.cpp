#include "FormFixture.h"

#include "test_host/OptionButton.h"
#include "test_host/ToolPanel.h"

#include "platform/MessagePump.h"
#include "platform/automation/EventSource.h"
#include "platform/automation/ObjectFactory.h"
#include "tests/common/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

void FormFixture::SetUpTestSuite() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    testing_support::app();
}

void FormFixture::SetUp() {
    environment.setFolder("XDG_CONFIG_HOME", "config");
    environment.setFolder("LOCALAPPDATA", "local");
    environment.setFolder("ALLUSERSPROFILE", "common");
    environment.setFolder("TEMP", "temp");
    ASSERT_EQ(automation::callServerEntryPoint(KEST_CONTROL_PATH, "DllRegisterServer"), hr::S_OK);
    filedialogs::setHook(
        [this](const filedialogs::Request& request) -> std::optional<filedialogs::Answer> {
            dialogs.append(request);
            std::optional<QString> answer;
            if (!m_answers.empty()) {
                answer = m_answers.front();
                m_answers.pop_front();
            }
            if (!answer)
                return std::nullopt;
            return filedialogs::Answer{{*answer}, 0};
        });
    ui::setMessageBoxHook([this](const ui::MessageBoxRequest& request) {
        messageBoxes.append(request);
        return int(ui::MsgBox::Ok);
    });
    openForm();
}

void FormFixture::TearDown() {
    closeForm();
    filedialogs::setHook({});
    ui::setMessageBoxHook({});
    pump::processPending();
}

void FormFixture::openForm() {
    m_recorder = std::make_shared<RecordingViewer>(
        automation::createObject(QStringLiteral("KestDicomViewControl.KestDicomViewAX")));
    m_cookie = m_recorder->eventSource()->advise(std::make_shared<FunctionEventSink>(
        [this](DispId, const QString& name, QList<Variant>& args) {
            if (name != "Paint" && name != "Resize" && name != "MouseMove")
                events.append({name, args});
        }));
    form = std::make_unique<frmMain>(m_recorder, programFolder(), settingsFile());
    form->show();
    pump::processPending();
}

void FormFixture::closeForm() {
    if (!form)
        return;
    m_recorder->eventSource()->unadvise(m_cookie);
    form.reset();
    m_recorder.reset();
    pump::processPending();
}

QString FormFixture::programFolder() {
    return QStringLiteral(KEST_PROGRAM_FOLDER);
}

QString FormFixture::settingsFile() const {
    return environment.root() + QStringLiteral("/config/Tarnwell/TestKestDicomViewAx.ini");
}

QAction* FormFixture::action(const char* name) const {
    return form->menuBar()->findChild<QAction*>(QLatin1String(name));
}

OptionButton* FormFixture::option(int index) const {
    return form->toolPanel().option(index);
}

void FormFixture::clickWithMouse(QWidget& widget) const {
    QTest::mouseClick(&widget, Qt::LeftButton);
}

void FormFixture::trigger(const char* menuItem) {
    QAction* item = action(menuItem);
    ASSERT_NE(item, nullptr) << menuItem;
    item->trigger();
}

void FormFixture::queueDialogAnswer(std::optional<QString> path) {
    m_answers.push_back(std::move(path));
}

bool FormFixture::loadThroughFileMenu(const QString& demoFile) {
    events.clear();
    queueDialogAnswer(programFolder() + QStringLiteral("/Demo/") + demoFile);
    trigger("mnuLoad");
    return waitForEvent(QStringLiteral("ImageLoaded"));
}

bool FormFixture::waitUntil(const std::function<bool()>& done, int seconds) const {
    return pump::waitUntil(done, std::chrono::seconds(seconds));
}

bool FormFixture::waitForEvent(const QString& name, int seconds) const {
    return waitUntil([&] { return lastEvent(name) != nullptr; }, seconds);
}

const RaisedEvent* FormFixture::lastEvent(const QString& name) const {
    for (auto it = events.crbegin(); it != events.crend(); ++it) {
        if (it->name == name)
            return &*it;
    }
    return nullptr;
}
