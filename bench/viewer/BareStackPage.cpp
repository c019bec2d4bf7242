#include "BareStackPage.h"

#include "BarePage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace barestackpage {

namespace {

// The tools listen to an element's wheel from its enabling on: the element
// enabled by the bare page's set-up is enabled again once they are ready.
const char* const Script = R"(
cornerstone.disable(element);
cornerstoneTools.external.cornerstone = cornerstone;
cornerstoneTools.external.cornerstoneMath = cornerstoneMath;
cornerstoneTools.external.Hammer = Hammer;
cornerstoneTools.init();
cornerstone.enable(element);
cornerstoneTools.addTool(cornerstoneTools.StackScrollMouseWheelTool);
cornerstoneTools.setToolActive('StackScrollMouseWheel', {});
function openStack(urls, cacheBytes, token) {
  cornerstoneTools.stackPrefetch.disable(element);
  cornerstoneTools.clearToolState(element, 'stack');
  cornerstone.imageCache.purgeCache();
  cornerstoneWADOImageLoader.wadouri.dataSetCacheManager.purge();
  cornerstone.imageCache.setMaximumSizeBytes(cacheBytes);
  var ids = urls.map(function (url) { return 'wadouri:' + url; });
  cornerstone.loadAndCacheImage(ids[0]).then(function (image) {
    cornerstone.displayImage(element, image);
    cornerstoneTools.addStackStateManager(element, ['stack']);
    cornerstoneTools.addToolState(element, 'stack', { currentImageIdIndex: 0, imageIds: ids });
    cornerstoneTools.stackPrefetch.enable(element);
    document.title = 'opened:' + token;
  }, function () { document.title = 'failed:' + token; });
}
)";

} // namespace

QString write(const QString& folder, const QString& libraryFolder) {
    return barepage::writePage(folder + QStringLiteral("/bare-stack.html"), libraryFolder,
                               QLatin1String(Script));
}

QString openScript(const QStringList& files, qint64 cacheBytes, const QString& token) {
    QJsonArray urls;
    for (const QString& file : files)
        urls.append(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
    return QStringLiteral("openStack(%1, %2, '%3')")
        .arg(QString::fromUtf8(QJsonDocument(urls).toJson(QJsonDocument::Compact)))
        .arg(cacheBytes)
        .arg(token);
}

QString openedTitle(const QString& token) {
    return QStringLiteral("opened:%1").arg(token);
}

QString playScript(double framesPerSecond) {
    return QStringLiteral("cornerstoneTools.playClip(element, %1)").arg(framesPerSecond);
}

QString stopScript() {
    return QStringLiteral("cornerstoneTools.stopClip(element)");
}

} // namespace barestackpage
