// bench_viewer_bare: the reference program of bench_viewer. One QWebEngineView
// on the bare page shows a file; at its first rendering the program prints
// "rendered" and ends, or stays open with --stay until it is stopped.
//   bench_viewer_bare [--stay] LIBRARY_FOLDER FILE [FRAME]

#include "BarePage.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const bool stay = args.removeAll(QStringLiteral("--stay")) > 0;
    if (args.size() < 2) {
        std::fputs("usage: bench_viewer_bare [--stay] LIBRARY_FOLDER FILE [FRAME]\n", stderr);
        return 2;
    }
    QTemporaryDir folder;
    const QString page = barepage::write(folder.path(), args[0]);
    const int frame = args.size() > 2 ? args[2].toInt() : -1;
    const QString token = QStringLiteral("cold");
    QWebEngineView view;
    view.resize(1024, 768);
    QObject::connect(&view, &QWebEngineView::titleChanged, [&](const QString& title) {
        if (title.startsWith(QLatin1String("failed:"))) {
            std::fputs("bench_viewer_bare: the page could not show the file\n", stderr);
            QApplication::exit(1);
        }
        if (title != barepage::renderedTitle(token))
            return;
        std::puts("rendered");
        std::fflush(stdout);
        if (!stay)
            QApplication::exit(0);
    });
    view.load(barepage::address(page, args[1], token, frame));
    view.show();
    return QApplication::exec();
}
