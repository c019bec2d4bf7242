#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <optional>

class QNetworkReply;

// One read of an address into a file, outside the browser: always from the
// network (no cache), streamed into a temporary file beside the destination
// and moved into place when complete. A failed or cancelled read leaves no
// file at the destination and keeps one that was there.
class FileDownload : public QObject {
    Q_OBJECT

public:
    // Why a read ended without a file.
    struct Failure {
        std::int32_t number = 0;
        QString description;
        // Where a redirection points, when redirections are not followed.
        QString location;
    };
    struct Options {
        bool followRedirects = true;
        QByteArray userAgent;
        // A body of at most this many bytes is a failure (0: any body will do).
        std::int64_t minimumBytes = 0;
    };

    FileDownload(const QString& address, const QString& destination, const Options& options,
                 QObject* parent = nullptr);
    ~FileDownload() override;

    // Starts the read; the failure when the address is unusable or the
    // temporary file cannot be made.
    std::optional<Failure> start();
    // Stops the read without a finished signal; the temporary file is removed.
    void cancel();
    // Starts the read and pumps events until it ends; what start() or the end reported.
    std::optional<Failure> run();
    bool isFinished() const { return m_finished; }

    // Error numbers of failures that come from neither HTTP nor the network.
    static constexpr std::int32_t InvalidAddress = 5;
    static constexpr std::int32_t FileAccess = 75;
    static constexpr std::int32_t TooShort = 0;

signals:
    // Bytes received so far and the total, -1 when the server did not say.
    void progress(std::int64_t received, std::int64_t total);
    // The read ended: the file is at its destination when failure is empty.
    void finished(const std::optional<FileDownload::Failure>& failure);

private:
    void drain();
    void startWriteback();
    void discard();
    void onFinished();
    std::optional<Failure> outcome();
    bool httpFailed() const;

    QString m_address;
    Options m_options;
    QNetworkAccessManager m_network;
    QSaveFile m_file;
    QPointer<QNetworkReply> m_reply;
    std::optional<Failure> m_writeFailure;
    std::int64_t m_received = 0;
    std::int64_t m_writtenBack = 0;
    QByteArray m_chunk;
    bool m_finished = false;
};
