#include "StringDocuments.h"

#include "ScriptText.h"

#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace {

using scripttext::jsonLiteral;

const QString headerStart = QStringLiteral("// ==UserScript==");
const QString excludeLine = QStringLiteral("// @exclude about:blank");
constexpr int completionPollMs = 5;

bool isHistoryLoad(QWebEnginePage::NavigationType type) {
    return type == QWebEnginePage::NavigationTypeBackForward ||
           type == QWebEnginePage::NavigationTypeReload;
}

} // namespace

const QUrl& StringDocuments::address() {
    static const QUrl blank(QStringLiteral("about:blank"));
    return blank;
}

QString StringDocuments::excludingBlank(const QString& source) {
    // A script with a header of its own keeps it, with the exclusion added.
    if (source.startsWith(headerStart)) {
        QString extended = source;
        return extended.insert(headerStart.size(), QLatin1Char('\n') + excludeLine);
    }
    return headerStart + QLatin1Char('\n') + excludeLine +
           QStringLiteral("\n// ==/UserScript==\n") + source;
}

StringDocuments::StringDocuments(QWebEnginePage* page)
    : m_page(page)
    , m_self(std::make_shared<StringDocuments*>(this)) {
}

StringDocuments::~StringDocuments() = default;

void StringDocuments::show(const QString& html) {
    m_shown = html;
    m_ownLoadPending = true;
    m_page->load(address());
}

bool StringDocuments::isOwnLoad(const QUrl& url) {
    return url == address() && std::exchange(m_ownLoadPending, false);
}

void StringDocuments::navigationStarted(const QUrl& url, QWebEnginePage::NavigationType type) {
    ++m_generation;
    m_shown.reset();
    m_ownLoadPending = false;
    if (type != QWebEnginePage::NavigationTypeRedirect)
        m_announced = Announced{type, url};
    else if (m_announced)
        m_announced->url = url;
}

bool StringDocuments::loadFinished(bool ok, std::function<void()> loaded) {
    // An about:blank document that committed after a later navigation had
    // started is left alone: opening it would cancel that navigation. The
    // engine then reports no load of that navigation: its commit is awaited.
    if (ok && m_page->url() == address() && m_announced && m_announced->url != address()) {
        m_unreported = m_announced->url;
        return true;
    }
    // A load reported ends any wait for an unreported one.
    m_unreported.reset();
    ++m_generation;
    const auto announced = std::exchange(m_announced, std::nullopt);
    m_ownLoadPending = false;
    if (!ok)
        return false;
    const int index = m_page->history()->currentItemIndex();
    const bool historyLoad = !announced || isHistoryLoad(announced->type);
    // A new entry replaces the entries after it; going back or reloading keeps them.
    if (!historyLoad)
        m_entries.removeIf([index](auto entry) { return entry.key() >= index; });
    if (m_page->url() != address())
        return false;
    QString html;
    if (m_shown)
        m_entries.insert(index, html = *std::exchange(m_shown, std::nullopt));
    else if (historyLoad)
        html = m_entries.value(index);
    write(html, std::move(loaded));
    return true;
}

void StringDocuments::urlChanged(const QUrl& url, std::function<void()> loaded) {
    if (!m_unreported || url != *m_unreported)
        return;
    m_unreported.reset();
    waitUntilComplete(QStringLiteral("loading"), m_generation, std::move(loaded));
}

// Opens the document, runs the page's scripts in it, writes the text and
// closes it. The engine runs the calls in order.
void StringDocuments::write(const QString& html, std::function<void()> loaded) {
    const std::uint64_t generation = ++m_generation;
    m_page->runJavaScript(QStringLiteral("document.open()"), QWebEngineScript::ApplicationWorld);
    if (m_page->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled)) {
        for (const QWebEngineScript& script : m_page->scripts().toList())
            m_page->runJavaScript(script.sourceCode(), script.worldId());
    }
    const QString writing =
        QStringLiteral("document.write(%1); document.close(); document.readyState")
            .arg(jsonLiteral(html));
    m_page->runJavaScript(
        writing, QWebEngineScript::ApplicationWorld,
        [self = std::weak_ptr(m_self), generation, loaded](const QVariant& state) {
            if (const auto alive = self.lock())
                (*alive)->waitUntilComplete(state.toString(), generation, loaded);
        });
}

// A document completes once it and its resources have loaded, as a navigation does.
void StringDocuments::waitUntilComplete(const QString& state, std::uint64_t generation,
                                        std::function<void()> loaded) {
    // No answer: the document went away with its renderer.
    if (generation != m_generation || state.isEmpty())
        return;
    if (state == QLatin1String("complete")) {
        loaded();
        return;
    }
    QTimer::singleShot(
        completionPollMs, m_page, [self = std::weak_ptr(m_self), generation, loaded] {
            const auto alive = self.lock();
            if (!alive || generation != (*alive)->m_generation)
                return;
            (*alive)->m_page->runJavaScript(
                QStringLiteral("document.readyState"), QWebEngineScript::ApplicationWorld,
                [self, generation, loaded](const QVariant& next) {
                    if (const auto still = self.lock())
                        (*still)->waitUntilComplete(next.toString(), generation, loaded);
                });
        });
}
