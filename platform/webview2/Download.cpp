#include "Download.h"

#include <QDir>

namespace {

HRESULT gone() {
    return hr::ERROR_INVALID_STATE;
}

} // namespace

HRESULT DownloadOperation::get_Uri(QString* uri) {
    return m_request ? eventargs::out(uri, m_request->url().toString()) : gone();
}
HRESULT DownloadOperation::get_MimeType(QString* mimeType) {
    return m_request ? eventargs::out(mimeType, m_request->mimeType()) : gone();
}
HRESULT DownloadOperation::get_TotalBytesToReceive(std::int64_t* total) {
    return m_request ? eventargs::out(total, static_cast<std::int64_t>(m_request->totalBytes()))
                     : gone();
}
HRESULT DownloadOperation::get_BytesReceived(std::int64_t* received) {
    return m_request
               ? eventargs::out(received, static_cast<std::int64_t>(m_request->receivedBytes()))
               : gone();
}
HRESULT DownloadOperation::get_ResultFilePath(QString* path) {
    return m_request
               ? eventargs::out(
                     path,
                     QDir(m_request->downloadDirectory()).filePath(m_request->downloadFileName()))
               : gone();
}

HRESULT DownloadOperation::get_State(COREWEBVIEW2_DOWNLOAD_STATE* state) {
    if (!m_request)
        return gone();
    switch (m_request->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        return eventargs::out(state, COREWEBVIEW2_DOWNLOAD_STATE_COMPLETED);
    case QWebEngineDownloadRequest::DownloadCancelled:
    case QWebEngineDownloadRequest::DownloadInterrupted:
        return eventargs::out(state, COREWEBVIEW2_DOWNLOAD_STATE_INTERRUPTED);
    default:
        return eventargs::out(state, COREWEBVIEW2_DOWNLOAD_STATE_IN_PROGRESS);
    }
}

HRESULT DownloadOperation::Cancel() {
    if (!m_request)
        return gone();
    m_request->cancel();
    return hr::S_OK;
}
HRESULT DownloadOperation::Pause() {
    if (!m_request)
        return gone();
    m_request->pause();
    return hr::S_OK;
}
HRESULT DownloadOperation::Resume() {
    if (!m_request)
        return gone();
    m_request->resume();
    return hr::S_OK;
}
