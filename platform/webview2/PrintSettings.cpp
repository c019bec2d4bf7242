#include "PrintSettings.h"

#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>

HRESULT PrintSettings::get_Orientation(COREWEBVIEW2_PRINT_ORIENTATION* v) {
    return read(v, m_landscape ? COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE
                               : COREWEBVIEW2_PRINT_ORIENTATION_PORTRAIT);
}

HRESULT PrintSettings::put_Orientation(COREWEBVIEW2_PRINT_ORIENTATION v) {
    if (v != COREWEBVIEW2_PRINT_ORIENTATION_PORTRAIT &&
        v != COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE)
        return hr::E_INVALIDARG;
    m_landscape = v == COREWEBVIEW2_PRINT_ORIENTATION_LANDSCAPE;
    return hr::S_OK;
}

HRESULT PrintSettings::writePositive(double* target, double value) {
    if (!(value > 0))
        return hr::E_INVALIDARG;
    *target = value;
    return hr::S_OK;
}

HRESULT PrintSettings::writeMargin(double* target, double value) {
    if (!(value >= 0))
        return hr::E_INVALIDARG;
    *target = value;
    return hr::S_OK;
}

std::optional<QPageLayout> PrintSettings::pageLayout() const {
    if (m_scale != 1.0 || m_selectionOnly || m_headerFooter)
        return std::nullopt;
    const QPageSize size(QSizeF(m_width, m_height), QPageSize::Inch);
    const QMarginsF margins(m_left, m_top, m_right, m_bottom);
    QPageLayout layout(size, m_landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(), QPageLayout::Inch);
    layout.setMode(QPageLayout::FullPageMode);
    if (!layout.setMargins(margins))
        return std::nullopt;
    return layout;
}
