#include "BarePage.h"

#include <QFile>
#include <QUrlQuery>

namespace barepage {

namespace {

const char* const Libraries[] = {"hammer.js",          "cornerstone.js",
                                 "cornerstoneMath.js", "cornerstoneTools.js",
                                 "dicomParser.js",     "cornerstoneWADOImageLoader.min.js"};

const char* const Setup = R"(
var element = document.getElementById('image');
cornerstoneWADOImageLoader.external.cornerstone = cornerstone;
cornerstoneWADOImageLoader.external.dicomParser = dicomParser;
cornerstoneWADOImageLoader.webWorkerManager.initialize({
  maxWebWorkers: Math.max(1, Math.min(2, navigator.hardwareConcurrency || 1)),
  startWebWorkersOnDemand: true,
  taskConfiguration: { decodeTask: { initializeCodecsOnStartup: false } }
});
cornerstone.enable(element);
)";

const char* const Script = R"(
var token = '';
var rendered = 0;
element.addEventListener(cornerstone.EVENTS.IMAGE_RENDERED, function () {
  rendered += 1;
  document.title = 'r:' + token + ':' + rendered;
});
function show(url, frame, newToken) {
  token = newToken;
  rendered = 0;
  var id = 'wadouri:' + url + (frame >= 0 ? '?frame=' + frame : '');
  cornerstone.loadAndCacheImage(id).then(function (image) {
    cornerstone.displayImage(element, image);
  }, function () { document.title = 'failed:' + token; });
}
function showFresh(url, frame, newToken) {
  cornerstone.imageCache.purgeCache();
  cornerstoneWADOImageLoader.wadouri.dataSetCacheManager.purge();
  show(url, frame, newToken);
}
var query = new URLSearchParams(location.search);
if (query.get('file')) { show(query.get('file'), parseInt(query.get('frame'), 10), query.get('token')); }
)";

} // namespace

QString writePage(const QString& path, const QString& libraryFolder, const QString& script) {
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>bare</title>\n"
                       "<style>html,body{margin:0;height:100%;background:#000;overflow:hidden}"
                       "#image{width:100%;height:100%}</style>\n");
    for (const char* library : Libraries)
        html +=
            QStringLiteral("<script src=\"%1\"></script>\n")
                .arg(QUrl::fromLocalFile(libraryFolder + QLatin1Char('/') + QLatin1String(library))
                         .toString());
    html += QStringLiteral("</head><body><div id=\"image\"></div><script>") + QLatin1String(Setup) +
            script + QStringLiteral("</script></body></html>\n");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(html.toUtf8());
    return path;
}

QString write(const QString& folder, const QString& libraryFolder) {
    return writePage(folder + QStringLiteral("/bare.html"), libraryFolder, QLatin1String(Script));
}

QUrl address(const QString& page, const QString& file, const QString& token, int frame) {
    QUrl url = QUrl::fromLocalFile(page);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("file"), QUrl::fromLocalFile(file).toString());
    query.addQueryItem(QStringLiteral("frame"), QString::number(frame));
    query.addQueryItem(QStringLiteral("token"), token);
    url.setQuery(query);
    return url;
}

QString showScript(const QString& file, const QString& token, int frame) {
    return QStringLiteral("showFresh('%1', %2, '%3')")
        .arg(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded), QString::number(frame), token);
}

QString renderedTitle(const QString& token) {
    return QStringLiteral("r:%1:1").arg(token);
}

} // namespace barepage
