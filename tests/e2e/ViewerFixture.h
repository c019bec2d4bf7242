#pragma once

#include "platform/automation/Dispatch.h"
#include "tests/common/QtPrinters.h"
#include "tests/common/TempEnvironment.h"

#include <QVariant>
#include <QWidget>

#include <gtest/gtest.h>

class QWebEnginePage;

struct Raised {
    QString name;
    QList<Variant> args;
};

// A viewer created by its programmatic identifier from the registered control
// library, shown in a window, with the events it raises recorded.
class ViewerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    bool loadFile(const QString& path);
    bool loadDemo();
    // Posts a page message from the image page and waits until it was handled.
    void post(const QString& name, const QString& content);
    // Waits until every page message sent so far has been handled.
    void settle();
    bool waitFor(const QString& event);
    const Raised* find(const QString& event) const;
    QString instanceFolder() const;
    // The page of one of the viewer's browser hosts ("KestWebViewKD1", ...).
    QWebEnginePage* browserPage(const char* hostName) const;
    // The value of a script run in that page, or an invalid value after 10 s.
    static QVariant evaluate(QWebEnginePage* page, const QString& script);

    testing_support::TempEnvironment environment;
    QWidget window;
    DispatchPtr viewer;
    int cookie = 0;
    QList<Raised> raised;
};
