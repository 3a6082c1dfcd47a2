#include "AppendFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room a line needs, with a margin: the probe asks for this much.
constexpr qint64 kLineRoom = 4096;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

// An open descriptor for appending to the regular file at path, or -1 and the
// cause. O_NONBLOCK keeps a FIFO from blocking the open; it is refused after.
int AppendFile::open(QString const& path, QString* cause)
{
    QFileInfo const info(path);
    QString const folder = info.absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        *cause = QFileInfo(folder).exists() ? QStringLiteral("%1 is not a folder").arg(folder)
                                            : QStringLiteral("the folder %1 cannot be created").arg(folder);
        return -1;
    }
    if (info.isDir()) {
        *cause = QStringLiteral("it is a folder");
        return -1;
    }
    if (info.exists() && !info.isFile()) {
        *cause = QStringLiteral("it is not a regular file");
        return -1;
    }
    int const flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int const fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (fd < 0) {
        *cause = errnoText(errno);
        return -1;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *cause = QStringLiteral("it is not a regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

// Empty when the disk and the file size limit leave room for another line.
QString AppendFile::roomFor(int fd, QString const& path)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return errnoText(errno);
    struct rlimit limit;
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && rlim_t(status.st_size) + rlim_t(kLineRoom) > limit.rlim_cur)
        return QStringLiteral("the file has reached the size limit of %1 bytes").arg(qulonglong(limit.rlim_cur));
    QStorageInfo const storage(QFileInfo(path).absolutePath());
    if (storage.isValid() && storage.isReady() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < kLineRoom)
        return QStringLiteral("the disk is full (%1 bytes free)").arg(storage.bytesAvailable());
    return QString();
}

// Appends the line whole and syncs it, or cuts the file back to where the
// line began: the log never holds half a line.
QString AppendFile::appendLine(QString const& path, QByteArray const& line)
{
    QString cause;
    int const fd = open(path, &cause);
    if (fd < 0)
        return cause;

    off_t lineStart = -1;
    qint64 written = 0;
    while (written < line.size() && cause.isEmpty()) {
        ssize_t const count = ::write(fd, line.constData() + written, size_t(line.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            cause = errnoText(errno);
        } else if (count == 0) {
            cause = QStringLiteral("the disk took no more bytes");
        } else {
            // With O_APPEND the line begins wherever the first part landed.
            if (lineStart < 0)
                lineStart = ::lseek(fd, 0, SEEK_CUR) - count;
            written += count;
        }
    }
    if (cause.isEmpty() && ::fsync(fd) != 0)
        cause = errnoText(errno);
    if (!cause.isEmpty() && lineStart >= 0) {
        if (::ftruncate(fd, lineStart) != 0 || ::fsync(fd) != 0)
            cause += QStringLiteral("; the part of the line written could not be removed: %1").arg(errnoText(errno));
    }
    ::close(fd);
    return cause;
}

