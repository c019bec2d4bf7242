#pragma once

#include <QString>

// Where the host decoder writes the frames it decodes for the image page: a
// folder of this viewer instance in memory (a tmpfs: the user's runtime folder,
// else /dev/shm), so that the frames reach the page through a shared mapping
// of memory, not through the disk. Without such a place it is the instance
// folder. The folder is the process user's alone: one that exists under the
// name and is not a directory of this user's with no access for others is
// never used.
class FramesFolder {
public:
    FramesFolder() = default;
    // name: the instance's own name, unique among the viewers of the machine.
    FramesFolder(const QString& name, const QString& fallback);
    ~FramesFolder();
    FramesFolder(const FramesFolder&) = delete;
    FramesFolder& operator=(const FramesFolder&) = delete;
    FramesFolder(FramesFolder&& other) noexcept;
    FramesFolder& operator=(FramesFolder&& other) noexcept;

    // The folder, with its final separator.
    const QString& path() const { return m_path; }
    bool inMemory() const { return m_owned; }
    // Removes the files matching the pattern ("KDVAX_PIXELS_*.bin").
    void removeFiles(const QString& pattern) const;

private:
    QString m_path;
    bool m_owned = false; // made here: removed with this object
};
