#pragma once

#include "zip/ZipOptions.h"

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <QVariant>

#include <exception>
#include <memory>

class ExtractTarget;

// Reads and writes ZIP archives (with Zip64, traditional PKWARE and WinZip AES encryption) from
// and to files, byte arrays and streams. Methods return true on success and false after an
// error, whose text is in LastError; every error is also raised as the Error signal. Entry names
// are "/" separated; a folder entry ends in "/".
class cZipArchive : public QObject {
    Q_OBJECT
public:
    // Fields of FileInfo, in order.
    enum InfoField {
        FileName,
        Attributes,
        Crc32,
        Size,
        CompressedSize,
        EntryComment,
        LastModified,
        Method,
        Offset,
        Flags
    };

    explicit cZipArchive(QObject* parent = nullptr);
    ~cZipArchive() override;

    static QString SemVersion();
    // The Deflate codec's version text (zlib's).
    static QString ThunkBuildDate();
    QString LastError() const;
    void setLastError(const QString& text);
    int FileCount() const;
    // `File` is a 0-based index or a name (first match without regard to case); `InfoIdx` 0 to
    // 9 gives one field, a negative value all ten as a list. Out of range gives an invalid
    // QVariant.
    QVariant FileInfo(const QVariant& File, int InfoIdx = -1) const;
    int CodePage() const;
    void setCodePage(int codePage);
    QString Comment() const;

    bool OpenArchive(const QString& ArchiveFile);
    bool OpenArchive(const QByteArray& ArchiveFile);
    // The stream is not owned and must stay open while the archive is used.
    bool OpenArchive(QIODevice* ArchiveFile);

    // `OutputTarget` is a folder; an existing file when one entry is selected; or a file name
    // pattern where "*.*" stands for the entry name and "*" for it without extension. `Filter` is a
    // name pattern ("folder/*.txt"), an entry index or a list of indexes and names; none selects
    // every entry.
    bool Extract(const QString& OutputTarget, const QVariant& Filter = {},
                 const QString& Password = {});
    bool Extract(QByteArray& OutputTarget, const QVariant& Filter = {},
                 const QString& Password = {});
    bool Extract(QIODevice* OutputTarget, const QVariant& Filter = {},
                 const QString& Password = {});

    // Queue entries for CompressArchive. `EncrStrength` 0 means traditional encryption, 1 to 3
    // WinZip AES with 128, 192 or 256-bit keys; `Level` -1 takes CompressArchive's level.
    bool AddFile(const QString& File, const QString& Name = {}, const QString& Comment = {},
                 const QString& Password = {}, int EncrStrength = 0, int Level = -1);
    bool AddFile(const QByteArray& File, const QString& Name, const QString& Comment = {},
                 const QString& Password = {}, int EncrStrength = 0, int Level = -1);
    bool AddFile(QIODevice* File, const QString& Name, const QString& Comment = {},
                 const QString& Password = {}, int EncrStrength = 0, int Level = -1);
    // `sFolderAndMask` is "folder/mask" (a folder alone means every file in it).
    bool AddFromFolder(const QString& sFolderAndMask, bool Recursive = false,
                       const QString& TargetFolder = {}, bool IncludeEmptyFolders = false,
                       const QString& Password = {}, int EncrStrength = 0, int Level = -1);

    bool CompressArchive(const QString& ArchiveFile, const QString& Comment = {}, int Level = 6,
                         Utf8Mode UseUtf8 = Utf8Mode::WhenNeeded,
                         Zip64Mode UseZip64 = Zip64Mode::WhenNeeded);
    bool CompressArchive(QByteArray& ArchiveFile, const QString& Comment = {}, int Level = 6,
                         Utf8Mode UseUtf8 = Utf8Mode::WhenNeeded,
                         Zip64Mode UseZip64 = Zip64Mode::WhenNeeded);
    // The stream must be seekable; it is not owned.
    bool CompressArchive(QIODevice* ArchiveFile, const QString& Comment = {}, int Level = 6,
                         Utf8Mode UseUtf8 = Utf8Mode::WhenNeeded,
                         Zip64Mode UseZip64 = Zip64Mode::WhenNeeded);

    static quint32 CalcCrc32Array(const QByteArray& data);
    static quint32 CalcCrc32Ptr(const void* data, qsizetype length);
    static QByteArray ToUtf8Array(const QString& text);
    static QString FromUtf8Array(const QByteArray& bytes);

signals:
    void Progress(int FileIdx, qint64 Current, qint64 Total, bool& Cancel);
    void Error(int FileIdx, QString& Source, QString& Description, bool& Cancel);
    void BeforeCompress(int FileIdx, int& Level, bool& SkipFile, bool& Cancel);
    void BeforeExtract(int FileIdx, QVariant& File, bool& SkipFile, bool& Cancel);
    void ExtractComplete(int FileIdx, QVariant& File);

private:
    struct Private;

    bool pvOpen();
    bool pvReportError(const QString& operation, const QString& description, bool canContinue);
    // Reports an error that stops the operation; always false.
    bool pvFail(const QString& operation, const QString& description);
    bool pvReportException(const QString& operation, const std::exception& error);
    // Reports the bytes done of entry `index`; false when the handler cancels.
    bool pvReportProgress(int index, quint64 done, quint64 total);
    void pvBegin();
    QList<int> pvSelect(const QVariant& filter) const;
    bool pvExtract(ExtractTarget& target, const QVariant& filter, const QString& password);
    bool pvExtractEntry(ExtractTarget& target, int index, const QByteArray& password);
    bool pvAddEntry(QVariant source, const QString& name, const QString& comment,
                    const QString& password, int strength, int level);
    bool pvCompress(QIODevice& output, const QString& comment, int level, Utf8Mode useUtf8,
                    Zip64Mode useZip64);
    bool pvCompressEntry(QIODevice& output, int index, int level, Utf8Mode useUtf8,
                         Zip64Mode useZip64);
    bool pvFinishArchive(QIODevice& output, const QString& comment, Zip64Mode useZip64);

    std::unique_ptr<Private> d;
};
