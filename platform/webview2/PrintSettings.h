#pragma once

#include "WebView2.h"

#include <QPageLayout>

#include <optional>

// Print settings with WebView2's defaults: Letter portrait, 0.4 inch margins.
class PrintSettings : public ComObject<ICoreWebView2PrintSettings> {
public:
    // The page layout Qt prints with, or nothing when a setting asks for what
    // Qt WebEngine cannot do (see the interface).
    std::optional<QPageLayout> pageLayout() const;
    // Printed through the page's settings, which the layout does not carry.
    bool backgrounds() const { return m_backgrounds; }

    HRESULT get_Orientation(COREWEBVIEW2_PRINT_ORIENTATION* v) override;
    HRESULT put_Orientation(COREWEBVIEW2_PRINT_ORIENTATION v) override;
    HRESULT get_ScaleFactor(double* v) override { return read(v, m_scale); }
    HRESULT put_ScaleFactor(double v) override { return writePositive(&m_scale, v); }
    HRESULT get_PageWidth(double* v) override { return read(v, m_width); }
    HRESULT put_PageWidth(double v) override { return writePositive(&m_width, v); }
    HRESULT get_PageHeight(double* v) override { return read(v, m_height); }
    HRESULT put_PageHeight(double v) override { return writePositive(&m_height, v); }
    HRESULT get_MarginTop(double* v) override { return read(v, m_top); }
    HRESULT put_MarginTop(double v) override { return writeMargin(&m_top, v); }
    HRESULT get_MarginBottom(double* v) override { return read(v, m_bottom); }
    HRESULT put_MarginBottom(double v) override { return writeMargin(&m_bottom, v); }
    HRESULT get_MarginLeft(double* v) override { return read(v, m_left); }
    HRESULT put_MarginLeft(double v) override { return writeMargin(&m_left, v); }
    HRESULT get_MarginRight(double* v) override { return read(v, m_right); }
    HRESULT put_MarginRight(double v) override { return writeMargin(&m_right, v); }
    HRESULT get_ShouldPrintBackgrounds(bool* v) override { return read(v, m_backgrounds); }
    HRESULT put_ShouldPrintBackgrounds(bool v) override { return m_backgrounds = v, hr::S_OK; }
    HRESULT get_ShouldPrintSelectionOnly(bool* v) override { return read(v, m_selectionOnly); }
    HRESULT put_ShouldPrintSelectionOnly(bool v) override { return m_selectionOnly = v, hr::S_OK; }
    HRESULT get_ShouldPrintHeaderAndFooter(bool* v) override { return read(v, m_headerFooter); }
    HRESULT put_ShouldPrintHeaderAndFooter(bool v) override { return m_headerFooter = v, hr::S_OK; }
    HRESULT get_HeaderTitle(QString* v) override { return read(v, m_headerTitle); }
    HRESULT put_HeaderTitle(const QString& v) override { return m_headerTitle = v, hr::S_OK; }
    HRESULT get_FooterUri(QString* v) override { return read(v, m_footerUri); }
    HRESULT put_FooterUri(const QString& v) override { return m_footerUri = v, hr::S_OK; }

private:
    template <typename T> static HRESULT read(T* target, const T& value) {
        if (!target)
            return hr::E_POINTER;
        *target = value;
        return hr::S_OK;
    }
    static HRESULT writePositive(double* target, double value);
    static HRESULT writeMargin(double* target, double value);

    bool m_landscape = false;
    double m_scale = 1.0;
    double m_width = 8.5;
    double m_height = 11.0;
    double m_top = 0.4;
    double m_bottom = 0.4;
    double m_left = 0.4;
    double m_right = 0.4;
    bool m_backgrounds = false;
    bool m_selectionOnly = false;
    bool m_headerFooter = false;
    QString m_headerTitle;
    QString m_footerUri;
};
