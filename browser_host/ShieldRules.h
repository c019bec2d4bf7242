#pragma once

#include <QList>
#include <QString>

#include <optional>

// The shield: a same-site filter over the browser's resource requests. At
// level 1 a request must name the page host's second-to-last label, at level
// 2 its last two labels, at level 3 the whole host; exception bits let a kind
// of resource through whatever its origin.
namespace shield {

constexpr int Allow = 1;
constexpr int Block = 2;

// The exception bit that lets a resource context through (1 documents, 2
// images, 4 media, 8 fonts, 16 scripts), or 0 for the other contexts.
int exceptionBit(int context);

// What a request's address must contain to count as the page's own: derived
// from the host of the page's address; empty when the address has no host.
QString referenceText(const QString& pageAddress, int level);

// Allow or Block for a request of that context while the page at pageAddress
// loads. An empty reference lets nothing through: the page's site is unknown.
int permit(int level, int exceptions, const QString& pageAddress, const QString& requestUri,
           int context);

// The filters the control added to the browser, in order, each pair once.
class FilterList {
public:
    struct Filter {
        QString text;
        int context = 0;
        bool operator==(const Filter&) const = default;
    };

    // False when the pair is listed already.
    bool add(const Filter& filter);
    // Drops the first pair with that text, whatever its context.
    std::optional<Filter> removeFirst(const QString& text);
    QList<Filter> takeAll();
    // "text|context|text|context", without the final "|"; empty when none.
    QString text() const;

private:
    QList<Filter> m_filters;
};

} // namespace shield
