#pragma once

#include "EventArgs.h"

#include <QPointer>
#include <QWebEngineDownloadRequest>

// A download in progress, over Qt WebEngine's download request.
class DownloadOperation : public ComObject<ICoreWebView2DownloadOperation> {
public:
    explicit DownloadOperation(QWebEngineDownloadRequest* request)
        : m_request(request) {}

    HRESULT get_Uri(QString* uri) override;
    HRESULT get_MimeType(QString* mimeType) override;
    HRESULT get_TotalBytesToReceive(std::int64_t* totalBytesToReceive) override;
    HRESULT get_BytesReceived(std::int64_t* bytesReceived) override;
    HRESULT get_ResultFilePath(QString* resultFilePath) override;
    HRESULT get_State(COREWEBVIEW2_DOWNLOAD_STATE* downloadState) override;
    HRESULT Cancel() override;
    HRESULT Pause() override;
    HRESULT Resume() override;

private:
    QPointer<QWebEngineDownloadRequest> m_request;
};

class DownloadStartingArgs : public ComObject<ICoreWebView2DownloadStartingEventArgs> {
public:
    ComPtr<DownloadOperation> operation;
    bool cancel = false;
    QString resultFilePath;
    bool handled = false;

    HRESULT get_DownloadOperation(ICoreWebView2DownloadOperation** v) override {
        return eventargs::outCom(v, operation);
    }
    HRESULT get_Cancel(bool* v) override { return eventargs::out(v, cancel); }
    HRESULT put_Cancel(bool v) override { return cancel = v, hr::S_OK; }
    HRESULT get_ResultFilePath(QString* v) override { return eventargs::out(v, resultFilePath); }
    HRESULT put_ResultFilePath(const QString& v) override { return resultFilePath = v, hr::S_OK; }
    HRESULT get_Handled(bool* v) override { return eventargs::out(v, handled); }
    HRESULT put_Handled(bool v) override { return handled = v, hr::S_OK; }
};
