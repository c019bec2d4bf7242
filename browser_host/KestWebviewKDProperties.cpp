#include "KestWebviewKD.h"

#include "HostValues.h"
#include "modKWVLanguage.h"
#include "modKWVUrl.h"

#include "webview2_binding/cWebView2.h"

#include <QApplication>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

// Automation colours: system colours have the high bit set, others are 0x00BBGGRR.
QColor toQColor(std::int32_t colour) {
    if (colour < 0)
        return QApplication::palette().color(QPalette::Button);
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

} // namespace

// ---------------------------------------------------------------- properties and window

void KestWebviewKD::markChanged(const QString& name) {
    if (m_site)
        m_site->propertyChanged(name);
}

void KestWebviewKD::setProperty(P::Id id, const Variant& value) {
    m_props.set(id, value);
    markChanged(QLatin1String(P::definitions()[id].key));
    switch (id) {
    case P::Search_URL:
    case P::SearchEngine:
        m_searchTemplate = kwvurl::searchTemplate(m_props.value(P::SearchEngine).toLong(),
                                                  m_props.text(P::Search_URL));
        break;
    case P::BackColor:
        applyBackColor(m_props.value(P::BackColor).toLong());
        break;
    case P::BorderStyle:
        applyBorderStyle();
        break;
    case P::Anchor:
        // Anchoring needs a parent form; without one it reads False.
        if (!parentWidget())
            m_props.set(P::Anchor, Variant(false));
        else if (!m_anchorParent && runMode())
            setUpAnchoring();
        break;
    case P::AreDefaultContextMenusEnabled:
    case P::AreDefaultScriptDialogsEnabled:
    case P::AreHostObjectsAllowed:
    case P::IsScriptEnabled:
    case P::AreBrowserAcceleratorKeysEnabled:
    case P::AreDevToolsEnabled:
        if (m_wv)
            m_wv->setSetting(QLatin1String(P::definitions()[id].key), m_props.flag(id));
        break;
    case P::IsMuted:
        if (m_wv && m_isWebViewInit)
            m_wv->setIsMuted(m_props.flag(id));
        break;
    case P::PreferredColorScheme:
        if (m_wv && m_isWebViewInit)
            applyColorScheme();
        break;
    default:
        break;
    }
}

void KestWebviewKD::initNew() {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    m_props.initNew();
    m_searchTemplate = kwvurl::searchTemplate(kwvurl::DefaultEngine, {});
}

void KestWebviewKD::load(const PropertyBag& bag) {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    // The stored Anchor is kept in design mode too; the control follows its
    // parent only in run mode.
    m_props.load(bag, parentWidget() != nullptr);
    if (runMode())
        setUpAnchoring();
    const int engine = m_props.value(P::SearchEngine).toLong();
    m_searchTemplate = kwvurl::searchTemplate(engine >= 0 && engine <= 5 ? engine : 1,
                                              m_props.text(P::Search_URL));
    applyBorderStyle();
    applyBackColor(m_props.value(P::BackColor).toLong());
}

void KestWebviewKD::save(PropertyBag& bag) {
    kwvlanguage::setLanguage(static_cast<std::uint32_t>(GetLocaleID()));
    m_props.save(bag);
}

void KestWebviewKD::applyBackColor(std::int32_t colour) {
    for (QWidget* widget : {static_cast<QWidget*>(this), m_pane.data()}) {
        if (!widget)
            continue;
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, toQColor(colour));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
}

void KestWebviewKD::applyBorderStyle() {
    if (m_pane)
        m_pane->setStyleSheet(m_props.value(P::BorderStyle).toInteger() == 0
                                  ? QString()
                                  : QStringLiteral("QWidget#picWV { border: 1px solid black; }"));
}
