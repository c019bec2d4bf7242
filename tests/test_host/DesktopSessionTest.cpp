// The program as a person uses it: `Test` on a real X server (Xvfb), driven with xdotool through
// the keyboard and the mouse, and checked by its window caption, the viewer's state it keeps in
// its settings and screenshots of its window.

#include "tests/common/HostProcess.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TestApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>

namespace {

using testing_support::HostProcess;

const char* const Tools[] = {"Xvfb", "xdotool", "xwd", "xwdtopnm"};

// Polls without an event loop: the program under test runs in its own process.
bool pollUntil(const std::function<bool()>& done, int seconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000)
            return false;
        QThread::msleep(100);
    }
    return true;
}

// An X server of its own on a free display, for the life of the object. Xvfb picks the display
// number itself; a server started at the same moment by another program may take it first, so a
// server that ends before naming its display is started again.
class VirtualDisplay {
public:
    VirtualDisplay() {
        for (int attempt = 0; attempt < 3 && m_number.isEmpty(); ++attempt)
            start();
    }
    ~VirtualDisplay() { stop(); }

    // ":N", or empty when no server started.
    QString name() const { return m_number.isEmpty() ? QString() : ":" + m_number; }
    // What the last server that failed said.
    const QString& errors() const { return m_errors; }

private:
    void start() {
        m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x900x24", "-dpi", "96",
                                "-nolisten", "tcp"});
        QByteArray output;
        pollUntil(
            [&] {
                m_server.waitForReadyRead(100);
                output += m_server.readAllStandardOutput();
                return output.contains('\n') || m_server.state() == QProcess::NotRunning;
            },
            15);
        m_number = QString::fromLatin1(output.trimmed());
        if (m_number.isEmpty()) {
            stop();
            m_errors = QString::fromLocal8Bit(m_server.readAllStandardError());
        }
    }

    void stop() {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }

    QProcess m_server;
    QString m_number;
    QString m_errors;
};

class DesktopSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing_support::app(); }

    void SetUp() override {
        for (const char* tool : Tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is not installed: the desktop session cannot run here";
        }
        QString error;
        ASSERT_TRUE(host.registerLibrary(KEST_REGSVR_PATH, KEST_CONTROL_PATH, &error))
            << error.toStdString();
        ASSERT_FALSE(display.name().isEmpty())
            << "Xvfb did not start: " << display.errors().toStdString();
        QProcessEnvironment& environment = host.environment();
        environment.insert("DISPLAY", display.name());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("KEST_SESSION_MARK", mark);
        environment.remove("XAUTHORITY");
        session = environment;
    }

    void TearDown() override {
        if (HasFailure())
            std::printf("--- what the program printed:\n%s\n", log().constData());
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    void start() {
        program.setProcessEnvironment(session);
        program.setWorkingDirectory(host.path(""));
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.setStandardOutputFile(host.path("Test.log"));
        program.start(KEST_TEST_PROGRAM, {});
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    // Runs xdotool on the session's display; its standard output, trimmed.
    QString xdotool(const QStringList& arguments, int timeoutSeconds = 20) const {
        return run("xdotool", arguments, timeoutSeconds).trimmed();
    }

    QByteArray run(const QString& tool, const QStringList& arguments, int timeoutSeconds) const {
        QProcess process;
        process.setProcessEnvironment(session);
        process.start(tool, arguments);
        if (!process.waitForFinished(timeoutSeconds * 1000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << tool.toStdString() << " " << arguments.join(' ').toStdString()
                          << " did not finish";
        }
        return process.readAllStandardOutput();
    }

    // The first visible window whose name matches the pattern, waited for.
    // xdotool's search gives up at once when a window it inspects is destroyed
    // meanwhile (a dialog closing, the form changing its native window): the
    // search is repeated until the deadline.
    QString findWindow(const QString& pattern) const {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < 30000) {
            const QString found =
                xdotool({"search", "--onlyvisible", "--name", pattern}, 30).section('\n', 0, 0);
            if (!found.isEmpty())
                return found;
            QThread::msleep(200);
        }
        return {};
    }

    QString caption(const QString& window) const { return xdotool({"getwindowname", window}); }

    QImage screenshot(const QString& window) const {
        const QString dump = host.path("window.xwd");
        run("xwd", {"-silent", "-id", window, "-out", dump}, 20);
        return QImage::fromData(run("xwdtopnm", {dump}, 20), "PPM");
    }

    // Screenshots until one shows what is expected and the next is the same picture: the
    // program has done what it was asked and finished drawing. The last screenshot otherwise.
    QImage screenshotWhen(const QString& window, const std::function<bool(const QImage&)>& shows,
                          int seconds = 30) const {
        QImage previous;
        QImage shot;
        pollUntil(
            [&] {
                previous = std::exchange(shot, screenshot(window));
                return !shot.isNull() && shows(shot) && shot == previous;
            },
            seconds);
        return shot;
    }

    // Where a panel button shows its picture: the installed icon, drawn on the panel's
    // background, searched for in the panel along the window's right edge.
    static std::optional<QPoint> findButton(const QImage& shot, const char* icon) {
        const QColor background = shot.pixelColor(shot.width() - 8, shot.height() - 8);
        QImage picture(24, 24, QImage::Format_RGB32);
        picture.fill(background);
        QPainter(&picture).drawPixmap(
            0, 0, QIcon(QString(KEST_PROGRAM_FOLDER "/TestIcons/%1.svg").arg(icon)).pixmap(24));
        std::optional<QPoint> best;
        long bestDistance = 24L * 24 * 3 * 12; // at most 12 per channel on average
        for (int y = 0; y + 24 <= shot.height(); ++y)
            for (int x = std::max(0, shot.width() - 200); x + 24 <= shot.width(); ++x) {
                const long distance = distanceAt(shot, picture, x, y, bestDistance);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = QPoint(x + 12, y + 12);
                }
            }
        return best;
    }

    static long distanceAt(const QImage& shot, const QImage& picture, int x0, int y0, long limit) {
        long distance = 0;
        for (int y = 0; y < picture.height() && distance < limit; ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb a = shot.pixel(x0 + x, y0 + y);
                const QRgb b = picture.pixel(x, y);
                distance += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                            std::abs(qBlue(a) - qBlue(b));
            }
        return distance;
    }

    void click(const QString& window, QPoint at) const {
        xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
                 "click", "1"});
    }

    // Presses the button at `from`, moves in steps to `to` and releases it there.
    void drag(const QString& window, QPoint from, QPoint to) const {
        const auto at = [&](QPoint point) {
            return QStringList{"mousemove",
                               "--window",
                               window,
                               QString::number(point.x()),
                               QString::number(point.y()),
                               "sleep",
                               "0.1"};
        };
        QStringList steps = at(from) << "mousedown"
                                     << "1";
        for (int step = 1; step <= 4; ++step)
            steps << at(from + (to - from) * step / 4);
        xdotool(steps << "mouseup"
                      << "1");
    }

    QByteArray log() const {
        QFile file(host.path("Test.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString settingsFile() const { return host.path("config/Tarnwell/TestKestDicomViewAx.ini"); }

    // Processes that inherited this session's mark: the program and its browser processes.
    int markedProcesses() const {
        int count = 0;
        const QByteArray needle = "KEST_SESSION_MARK=" + mark.toLatin1();
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile environ("/proc/" + pid + "/environ");
            if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(needle))
                ++count;
        }
        return count;
    }

    HostProcess host;
    VirtualDisplay display;
    // The program's environment on the virtual display.
    QProcessEnvironment session;
    QString mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QProcess program;
};

// Pixels that differ between two pictures of the same size, in a rectangle.
int changedPixels(const QImage& a, const QImage& b, const QRect& area) {
    int changed = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            changed += a.pixel(x, y) != b.pixel(x, y);
    return changed;
}

int distinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

TEST_F(DesktopSession, OpenMeasureShowTheSidebarAndQuit) {
    start();
    const QString form = findWindow("^Dicom Viewer$");
    ASSERT_FALSE(form.isEmpty()) << "the form did not appear";
    xdotool({"windowfocus", "--sync", form});

    // File > Load DICOM File by keyboard, then the file's name typed into the open dialog.
    xdotool({"key", "--delay", "200", "alt+f", "Return"});
    const QString dialog = findWindow("^Open$");
    ASSERT_FALSE(dialog.isEmpty()) << "the open dialog did not appear";
    xdotool({"windowfocus", "--sync", dialog});
    xdotool({"type", "--delay", "20", "CT_small.dcm"});
    QThread::msleep(500);
    xdotool({"key", "Return"});
    // Qt gives the form a new native window when the browser's surface joins it: the form is
    // found again by its new caption.
    const QString window = findWindow("^DICOM Viewer : ");
    ASSERT_FALSE(window.isEmpty()) << "no document was loaded";
    EXPECT_EQ(caption(window), "DICOM Viewer : CT_small.dcm        Modality: CT        Date: "
                               "20040119       Patient: CompressedSamples^CT1");
    xdotool({"mousemove", "--window", window, "10", "10"});
    const QImage loaded =
        screenshotWhen(window, [](const QImage& shot) { return distinctColours(shot) > 40; });
    ASSERT_FALSE(loaded.isNull()) << "no screenshot of the window";
    EXPECT_GT(distinctColours(loaded), 40) << "the window shows next to nothing";

    // The Length tool, then a drag across the image: a measurement is drawn where the mouse
    // went, while the rest of the image (which the contrast tool would change) stays as it was.
    const std::optional<QPoint> length = findButton(loaded, "tool-length");
    ASSERT_TRUE(length) << "the Length button is not on the panel";
    // The Contrast button, selected since the load, is drawn on the panel's background again
    // (and found by its picture) once the page has the Length tool and the viewer has said so
    // with ToolSelected. The Length button itself is no sign: the mouse over it changes its
    // look before the click is handled.
    ASSERT_FALSE(findButton(loaded, "tool-contrast")) << "the Contrast button is not selected";
    click(window, *length);
    const auto contrastShown = [](const QImage& shot) {
        return findButton(shot, "tool-contrast").has_value();
    };
    ASSERT_TRUE(contrastShown(screenshotWhen(window, contrastShown)))
        << "the Length tool was not selected";
    // The Length button sits in the panel's first column, just right of the viewer.
    const int viewerWidth = length->x() - 30;
    const QPoint from(viewerWidth * 2 / 5, loaded.height() * 2 / 5);
    const QPoint to(viewerWidth * 3 / 5, loaded.height() * 3 / 5);
    drag(window, from, to);
    xdotool({"mousemove", "--window", window, "10", "10"});
    const QImage measured = screenshotWhen(window, [&](const QImage& shot) {
        return changedPixels(loaded, shot, QRect(from, to)) > 20;
    });

    ASSERT_EQ(measured.size(), loaded.size());
    EXPECT_GT(changedPixels(loaded, measured, QRect(from, to)), 20) << "nothing was drawn";
    const QRect corner(from.x() - 60, to.y() + 10, 40, 40);
    EXPECT_EQ(changedPixels(loaded, measured, corner), 0) << "the whole image changed";

    // View Sidebar: the viewer shows its sidebar and keeps the setting in the program's settings.
    const std::optional<QPoint> sidebar = findButton(measured, "sidebar-show");
    ASSERT_TRUE(sidebar) << "the View Sidebar button is not on the panel";
    click(window, *sidebar);
    ASSERT_TRUE(pollUntil(
        [&] {
            return QSettings(settingsFile(), QSettings::IniFormat)
                .value("KestDicomViewAX1/SideBarVisible")
                .toString()
                .endsWith(":True");
        },
        20))
        << "SideBarVisible was not saved";
    xdotool({"mousemove", "--window", window, "10", "10"});
    const QRect sidebarArea(0, 40, viewerWidth / 4, 200);
    const QImage withSidebar = screenshotWhen(window, [&](const QImage& shot) {
        return changedPixels(measured, shot, sidebarArea) > 200;
    });
    EXPECT_GT(changedPixels(measured, withSidebar, sidebarArea), 200)
        << "the sidebar did not appear";
    const QString shots = QStringLiteral(KEST_SCREENSHOT_FOLDER);
    QDir().mkpath(shots);
    withSidebar.save(shots + "/test-host.png");

    // Quit by keyboard: the program ends with exit code 0 and leaves no browser process behind.
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "ctrl+q"});
    ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(pollUntil([&] { return markedProcesses() == 0; }, 10))
        << markedProcesses() << " processes of the program are still running";
}

} // namespace
