// Test: the test host program. Its form creates the viewer by its programmatic identifier from
// the registered control library, as any container does, and drives it through menus and a
// tool panel.
//   Test [--stack] [PATH]   PATH, a DICOM file, a folder or a DICOMDIR, is opened once the form
//                           shows; with --stack, a file opens with its series as a stack.

#include "frmMain.h"

#include "platform/Environment.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/ObjectFactory.h"

#include <QApplication>
#include <QTimer>

namespace {

const QString ProgId = QStringLiteral("KestDicomViewControl.KestDicomViewAX");

QString settingsFile() {
    return env::configFolder() + QStringLiteral("/Tarnwell/TestKestDicomViewAx.ini");
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TestKestDicomViewAx"));
    try {
        frmMain form(automation::createObject(ProgId), QApplication::applicationDirPath(),
                     settingsFile());
        form.show();
        QStringList arguments = QApplication::arguments().mid(1);
        if (arguments.removeAll(QStringLiteral("--stack")) > 0)
            form.putViewer(QStringLiteral("StackMode"), Variant(true));
        if (!arguments.isEmpty())
            QTimer::singleShot(0, &form, [&form, path = arguments.first()] { form.open(path); });
        return QApplication::exec();
    } catch (const AutomationError& error) {
        ui::messageBox(QStringLiteral("The viewer %1 could not be created:\n\n%2\n\nRegister the "
                                      "control library with kestregsvr first.")
                           .arg(ProgId, error.description()),
                       ui::MsgBox::Critical, QLatin1String(frmMain::StartCaption));
        return 1;
    }
}
