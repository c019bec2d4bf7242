#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <functional>

// A page's request interceptor; Qt 6 calls it on the UI thread.
class RequestInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using Handler = std::function<void(QWebEngineUrlRequestInfo&)>;

    RequestInterceptor(Handler handler, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent)
        , m_handler(std::move(handler)) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override { m_handler(info); }

private:
    Handler m_handler;
};
