#pragma once

#include "webview2_binding/cWebView2.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// A real browser bound to a shown host widget, with pages written to a
// temporary folder.
class BindingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    bool bind(double seconds = 30);
    // Writes the page and navigates to it, waiting for the navigation.
    bool open(const QString& name, const QString& html);
    QString pageUrl(const QString& name) const;
    bool waitFor(const std::function<bool()>& done, int milliseconds = 10000);

    QTemporaryDir dir;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<cWebView2> browser;
};
