#include "AtomicFile.h"

#include <QByteArray>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The rename is durable only once the folder's entry is on disk too. Folders
// on file systems that cannot sync them (EINVAL) count as synced.
QString syncFolder(QString const& path)
{
    QByteArray const folder = QFile::encodeName(QFileInfo(path).absolutePath());
    int const fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errnoText(errno);
    int const synced = ::fsync(fd);
    int const error = errno;
    ::close(fd);
    if (synced != 0 && error != EINVAL && error != ENOTSUP)
        return errnoText(error);
    return QString();
}

} // namespace

// What the caller writes to. QSaveFile alone reports a short write only by its
// count and ignores a failed final flush in commit(), so this device keeps the
// first failure and the extent of what was written, for commit() to check.
class AtomicFile::Device : public QIODevice
{
public:
    explicit Device(QString const& path) : m_file(path) {}

    QSaveFile& file() { return m_file; }
    qint64 extent() const { return m_extent; }
    QString failure() const { return m_failure; }
    void setFailure(QString const& cause)
    {
        if (m_failure.isEmpty())
            m_failure = cause;
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_extent; }
    bool seek(qint64 position) override
    {
        if (!m_failure.isEmpty())
            return false;
        if (!m_file.seek(position)) {
            setFailure(m_file.errorString());
            return false;
        }
        return QIODevice::seek(position);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(char const* data, qint64 length) override
    {
        if (!m_failure.isEmpty())
            return -1;
        errno = 0;
        qint64 const written = m_file.write(data, length);
        int const error = errno;
        if (written != length) {
            // A write that gets part of the way leaves errno (ENOSPC, EFBIG) but no file error.
            if (m_file.error() != QFileDevice::NoError)
                setFailure(m_file.errorString());
            else if (error != 0)
                setFailure(errnoText(error));
            else
                setFailure(QStringLiteral("only %1 of %2 bytes were written")
                               .arg(qMax<qint64>(written, 0))
                               .arg(length));
            return -1;
        }
        m_extent = std::max(m_extent, pos() + length);
        return length;
    }

private:
    QSaveFile m_file;
    qint64 m_extent = 0;
    QString m_failure;
};

AtomicFile::AtomicFile(QString const& path) : m_path(path), m_device(new Device(path)) {}

// An uncommitted file is dropped: the target keeps its old contents.
AtomicFile::~AtomicFile()
{
    if (m_device->file().isOpen())
        m_device->file().cancelWriting();
}

QIODevice* AtomicFile::device()
{
    return m_device.get();
}

QString AtomicFile::checkTarget(QString const& path)
{
    if (path.isEmpty())
        return QStringLiteral("cannot write a file without a name");
    QFileInfo const info(path);
    if (info.exists() && info.isDir())
        return QStringLiteral("cannot write %1: it is a folder").arg(path);
    if (info.exists() && !info.isFile())
        return QStringLiteral("cannot write %1: it is not a regular file").arg(path);
    QFileInfo const folder(info.absolutePath());
    if (!folder.isDir()) {
        QString const cause =
            folder.exists() ? QStringLiteral("%1 is not a folder") : QStringLiteral("the folder %1 does not exist");
        return QStringLiteral("cannot write %1: %2").arg(path, cause.arg(folder.filePath()));
    }
    return QString();
}

// The temporary file goes now, not when this object goes: a failed write
// leaves nothing behind even while the caller keeps the object.
bool AtomicFile::fail(QString const& cause)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(m_path, cause);
    m_device->setFailure(cause);
    QSaveFile& file = m_device->file();
    if (file.isOpen()) {
        file.cancelWriting();
        file.commit();
    }
    m_device->close();
    return false;
}

bool AtomicFile::open()
{
    if (m_device->file().isOpen())
        return true;
    QString const problem = checkTarget(m_path);
    if (!problem.isEmpty()) {
        m_error = problem;
        return false;
    }
    m_error.clear();
    if (!m_device->file().open(QIODevice::WriteOnly))
        return fail(m_device->file().errorString());
    m_device->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

bool AtomicFile::commit()
{
    QSaveFile& file = m_device->file();
    if (!file.isOpen()) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("cannot write %1: the file was not opened").arg(m_path);
        return false;
    }
    if (!m_device->failure().isEmpty())
        return fail(m_device->failure());
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    // A full disk often shows only when the buffered tail is written.
    if (!file.flush())
        return fail(file.errorString());
    struct stat status;
    if (::fstat(file.handle(), &status) != 0)
        return fail(errnoText(errno));
    if (status.st_size != m_device->extent()) {
        return fail(
            QStringLiteral("only %1 of %2 bytes reached the disk").arg(qint64(status.st_size)).arg(m_device->extent()));
    }
    if (::fsync(file.handle()) != 0)
        return fail(errnoText(errno));
    m_device->close();
    // A failed rename removes the temporary file inside QSaveFile.
    if (!file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    QString const unsynced = syncFolder(m_path);
    if (!unsynced.isEmpty()) {
        m_error =
            QStringLiteral("%1 was replaced, but its folder could not be synced to disk: %2").arg(m_path, unsynced);
        return false;
    }
    return true;
}

bool AtomicFile::write(QString const& path, QByteArray const& data, QString* error)
{
    AtomicFile file(path);
    bool written = file.open();
    if (written) {
        // A short write is kept by the device and fails the commit.
        file.device()->write(data);
        written = file.commit();
    }
    if (!written && error != nullptr)
        *error = file.errorString();
    return written;
}
