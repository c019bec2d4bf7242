#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The stack the image page shows: its files in order, each standing for as
// many images as it has frames, and where each image lies. The page is given
// the stack as a script; the host maps the indices the page reports back to
// files, never trusting a path from the page.
class OpenStack {
public:
    struct File {
        QString path;
        int frames = 1;
    };
    struct Place {
        qsizetype file = 0;
        int frame = 0;
    };

    // The most frames one file stands for: a frame index is an Integer for the host.
    static constexpr int MaxFramesPerFile = 32767;
    // The most images of a stack the page is handed.
    static constexpr std::int32_t MaxImages = 1 << 20;

    OpenStack() = default;
    // Files past the image limit are left out; frame counts are kept within
    // 1 and MaxFramesPerFile.
    OpenStack(const QList<File>& files, qsizetype currentFile);

    bool isEmpty() const { return m_files.isEmpty(); }
    // A stack of one image is shown as a single file.
    bool isSingleImage() const { return count() <= 1; }
    std::int32_t count() const { return m_count; }
    std::int32_t firstImage() const { return m_firstImage; }
    const QList<File>& files() const { return m_files; }

    std::optional<Place> placeOf(std::int32_t image) const;
    std::int32_t imageOf(qsizetype file) const { return m_starts.value(file, -1); }
    // The file of the stack that is the same file as path (a link to it included).
    std::optional<qsizetype> fileOf(const QString& path) const;

    // The script that hands the stack to the page: window.dicomStack, whose
    // current file is read as the page's working copy (url null).
    QString pageScript(qint64 cacheBytes) const;

private:
    QList<File> m_files;
    QList<std::int32_t> m_starts;
    qsizetype m_currentFile = 0;
    std::int32_t m_firstImage = 0;
    std::int32_t m_count = 0;
};
