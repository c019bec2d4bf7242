// The shield and the resource filters: which of a page's resources the
// browser may load, decided by the container (level 0) or by the shield.

#include "KestWebviewKD.h"

#include "HostValues.h"

#include "webview2_binding/cWebView2.h"

using namespace hostvalues;

namespace {

// The filter that hands every request of every context to the shield.
const shield::FilterList::Filter EveryResource{QStringLiteral("*"), 0};

} // namespace

void KestWebviewKD::SetShieldLevel(std::int32_t level, std::int32_t& exceptions, bool redraw) {
    if (level == m_shieldLevel && exceptions == m_shieldExceptions)
        return;
    removeAllFilters();
    if (level < 1)
        exceptions = 0;
    else
        addFilter(EveryResource);
    m_shieldLevel = level;
    m_shieldExceptions = exceptions;
    raise("ShieldChanged", {longValue(level), longValue(exceptions), Variant(redraw)});
}

// A new browser has none of the filters of the one before: the list starts
// again, with the shield's filter when the shield is up.
void KestWebviewKD::applyShield() {
    m_filters.takeAll();
    if (m_shieldLevel >= 1)
        addFilter(EveryResource);
}

void KestWebviewKD::onResourceRequested(const QString& uri, int context, int& permit) {
    if (m_shieldLevel < 1) {
        QList<Variant> a{text(uri), longValue(context), longValue(permit)};
        raise("WebResourceRequested", a);
        permit = a[2].toLong();
        return;
    }
    permit = shield::permit(m_shieldLevel, m_shieldExceptions, m_pendingAddress, uri, context);
}

void KestWebviewKD::addFilter(const shield::FilterList::Filter& filter) {
    if (!m_wv)
        return;
    try {
        if (m_filters.add(filter))
            m_wv->AddWebResourceRequestedFilter(filter.text, filter.context);
    } catch (...) {
    }
}

void KestWebviewKD::removeAllFilters() {
    if (!m_wv)
        return;
    try {
        for (const auto& filter : m_filters.takeAll())
            m_wv->RemoveWebResourceRequestedFilter(filter.text, filter.context);
    } catch (...) {
    }
}

void KestWebviewKD::bindShieldMembers() {
    bindMethod("SetShieldLevel", [this](QList<Variant>& a) {
        std::int32_t exceptions = a[1].toLong();
        SetShieldLevel(a[0].toLong(), exceptions, a[2].toBool());
        a[1] = longValue(exceptions);
        return Variant();
    });
    bindMethod("GetShieldLevel", [this](QList<Variant>&) { return longValue(m_shieldLevel); });
    bindMethod("GetShieldException",
               [this](QList<Variant>&) { return longValue(m_shieldExceptions); });
    bindMethod("Add_WebResourceRequestedFilter", [this](QList<Variant>& a) {
        addFilter({a[0].toString(), a[1].toLong()});
        return Variant();
    });
    bindMethod("Remove_WebResourceRequestedFilter", forwarding([this](QList<Variant>& a) {
                   if (m_filters.removeFirst(a[0].toString()))
                       m_wv->RemoveWebResourceRequestedFilter(a[0].toString(), a[1].toLong());
               }));
    bindMethod("Remove_All_WebResourceRequestedFilter", [this](QList<Variant>&) {
        removeAllFilters();
        return Variant();
    });
    bindMethod("GetWebResourceRequestedFilter",
               [this](QList<Variant>&) { return text(m_filters.text()); });
    bindMethod("RemoveWebResourceRequestedFilter", forwarding([this](QList<Variant>& a) {
                   m_wv->RemoveWebResourceRequestedFilter(a[0].toString(), a[1].toLong());
               }));
}
