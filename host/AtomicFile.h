#pragma once

#include <QString>

#include <memory>

class QByteArray;
class QIODevice;

// A file written whole or not at all. The bytes go to a temporary file beside
// the target; commit() flushes them, checks that every byte reached the file,
// syncs it to disk, renames it over the target and syncs the folder. On any
// failure the old file stays as it was, the temporary file is removed at once
// and errorString() names the file and the cause. A target that exists and is
// not a regular file (a folder, a FIFO, a device) is refused before anything
// is written; a missing folder is not created.
class AtomicFile
{
public:
    explicit AtomicFile(QString const& path);
    ~AtomicFile();
    AtomicFile(AtomicFile const&) = delete;
    AtomicFile& operator=(AtomicFile const&) = delete;

    bool open();
    // The device to write to; valid between open() and commit(). A write that
    // fails or comes up short fails every later write and the commit.
    QIODevice* device();
    bool commit();
    QString errorString() const { return m_error; }

    // open, write, commit in one step.
    static bool write(QString const& path, QByteArray const& data, QString* error = nullptr);
    // Empty when the path may take a new or replaced regular file, else why not.
    static QString checkTarget(QString const& path);

private:
    class Device;

    bool fail(QString const& cause);

    QString m_path;
    std::unique_ptr<Device> m_device;
    QString m_error;
};
