#pragma once

#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>
#include <memory>
#include <optional>

// Shows HTML text in the page's own renderer process. The text is written
// into an about:blank document: that stays in the process of the file page
// it replaces, where a data: address would start a new renderer for the text
// and another for the next file page, and lose the compiled scripts with it.
//
// The engine never runs the page's scripts on about:blank (their header
// excludes it); they run here once the document is opened, before the text,
// as they would at the creation of any other document. The text of each
// history entry is kept, so going back to it or reloading it shows it again.
class StringDocuments {
public:
    static const QUrl& address();
    // The script source with the header that keeps the engine from running it on about:blank.
    static QString excludingBlank(const QString& source);

    explicit StringDocuments(QWebEnginePage* page);
    ~StringDocuments();
    StringDocuments(const StringDocuments&) = delete;
    StringDocuments& operator=(const StringDocuments&) = delete;

    // A text asked for; its navigation starts from the event loop, unless
    // another navigation is asked for first.
    void request(const QString& html) { m_requested = html; }
    void dropRequest() { m_requested.reset(); }
    std::optional<QString> takeRequest() { return std::exchange(m_requested, std::nullopt); }

    // Loads about:blank for the text, once its navigation has been announced.
    void show(const QString& html);
    // The engine announces a navigation: true when it is the load show()
    // started, which has been announced already.
    bool isOwnLoad(const QUrl& url);
    // A navigation was announced: a write still under way is dropped.
    void navigationStarted(const QUrl& url, QWebEnginePage::NavigationType type);
    // The text's own navigation was cancelled: no load follows its announcement.
    void cancelled() { m_announced.reset(); }
    // Called when a load finished. For an about:blank document, writes its
    // text (none for the address navigated to), calls loaded once the
    // document has loaded, and answers true.
    bool loadFinished(bool ok, std::function<void()> loaded);
    // The page's address changed: when it is the commit of a navigation the
    // engine will not report (see loadFinished), calls loaded once its
    // document has loaded.
    void urlChanged(const QUrl& url, std::function<void()> loaded);

private:
    void write(const QString& html, std::function<void()> loaded);
    void waitUntilComplete(const QString& state, std::uint64_t generation,
                           std::function<void()> loaded);

    QWebEnginePage* m_page;
    std::optional<QString> m_requested;
    std::optional<QString> m_shown;
    bool m_ownLoadPending = false;
    struct Announced {
        QWebEnginePage::NavigationType type;
        QUrl url;
    };
    // The last announced navigation; none for a load the engine did not
    // announce (it does not for history loads of about:blank).
    std::optional<Announced> m_announced;
    std::optional<QUrl> m_unreported;
    QHash<int, QString> m_entries;
    std::uint64_t m_generation = 0;
    // Engine callbacks may outlive this object: they hold a weak reference.
    std::shared_ptr<StringDocuments*> m_self;
};
