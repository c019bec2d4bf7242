// kestscript: runs a JavaScript file that drives registered automation
// objects and controls, created from the registration store as any host
// creates them.
//   kestscript [--show] [--print-to DIR] [--timeout S] SCRIPT.js [ARG...]

#include "ScriptHost.h"
#include "ScriptRuntime.h"
#include "UnattendedSeams.h"
#include "Watchdog.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

const char* const Usage =
    "usage: kestscript [--show] [--print-to DIR] [--timeout S] SCRIPT.js [ARG...]\n"
    "  --show          attended run: controls and dialogs on the display\n"
    "  --print-to DIR  each print job becomes DIR/print-N.pdf\n"
    "  --timeout S     stop the script after S seconds (exit code 1)\n";

struct Options {
    bool show = false;
    QString printFolder;
    double timeoutSeconds = 0;
    QString script;
    QStringList arguments;
};

// Options come before the script; everything after it is the script's.
std::optional<Options> parse(const QStringList& args, QString& error) {
    Options options;
    qsizetype i = 1;
    for (; i < args.size() && args[i].startsWith(QLatin1String("--")); ++i) {
        const QString& option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (option == QLatin1String("--show")) {
            options.show = true;
        } else if (option == QLatin1String("--print-to") && hasValue) {
            options.printFolder = args[++i];
        } else if (option == QLatin1String("--timeout") && hasValue) {
            bool ok = false;
            options.timeoutSeconds = args[++i].toDouble(&ok);
            if (!ok || options.timeoutSeconds <= 0) {
                error = QStringLiteral("--timeout wants a number of seconds above 0");
                return std::nullopt;
            }
        } else {
            error = QStringLiteral("unknown option or missing value: ") + option;
            return std::nullopt;
        }
    }
    if (i >= args.size()) {
        error = QStringLiteral("no script given");
        return std::nullopt;
    }
    options.script = args[i];
    options.arguments = args.mid(i + 1);
    return options;
}

QStringList rawArguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

bool hasDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// The script's text; a "#!" first line is kept as a comment so line numbers hold.
std::optional<QString> readScript(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    QString source = QString::fromUtf8(file.readAll());
    if (source.startsWith(QLatin1String("#!")))
        source.replace(0, 2, QStringLiteral("//"));
    return source;
}

int runScript(const Options& options, const QString& source) {
    ScriptRuntime runtime(options.script, options.timeoutSeconds);
    UnattendedSeams seams(!ui::isUnattended(), options.printFolder);
    ScriptHost host(runtime, seams, options.arguments);
    host.install();
    int code = 0;
    {
        Watchdog watchdog(runtime, options.timeoutSeconds);
        code = runtime.run(source);
    }
    // Objects go before their controls, controls before the engine.
    runtime.releaseObjects();
    host.closeControls();
    return code;
}

} // namespace

int main(int argc, char* argv[]) {
    QString error;
    const std::optional<Options> options = parse(rawArguments(argc, argv), error);
    if (!options) {
        std::fprintf(stderr, "kestscript: %s\n%s", qPrintable(error), Usage);
        return 2;
    }
    // Unattended unless shown on a display: controls are drawn offscreen.
    if (!options->show || !hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestscript"));
    const std::optional<QString> source = readScript(options->script, error);
    if (!source) {
        std::fprintf(stderr, "kestscript: cannot read %s: %s\n", qPrintable(options->script),
                     qPrintable(error));
        return 2;
    }
    return runScript(*options, *source);
}
