#include "LoggingCtrl.h"

#include <QDateTime>
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

constexpr int kTailLength = 500;
// Room a line needs, with a margin: the probe asks for this much.
constexpr qint64 kLineRoom = 4096;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString failure(QString const& path, QString const& cause)
{
    return QStringLiteral("cannot append to the service log %1: %2").arg(path, cause);
}

// An open descriptor for appending to the regular file at path, or -1 and the
// cause. O_NONBLOCK keeps a FIFO from blocking the open; it is refused after.
int openForAppend(QString const& path, QString* cause)
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
QString roomFor(int fd, QString const& path)
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
QString appendLine(QString const& path, QByteArray const& line)
{
    QString cause;
    int const fd = openForAppend(path, &cause);
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

} // namespace

// No log file until the host names one: a bench run should not litter the disk.
LoggingCtrl::LoggingCtrl() = default;

void LoggingCtrl::setState(QString const& error)
{
    m_writable = error.isEmpty();
    m_error = error;
}

void LoggingCtrl::logService(char const* text)
{
    if (text == nullptr)
        return;
    QString const entry = QString::fromUtf8(text);

    QString error;
    if (!m_path.isEmpty()) {
        // One entry is one line, whatever the text holds.
        QString line = entry;
        line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QByteArray const bytes = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")).toUtf8()
                                 + line.toUtf8() + '\n';
        QString const cause = appendLine(m_path, bytes);
        if (!cause.isEmpty())
            error = failure(m_path, cause);
        setState(error);
    }

    m_tail.append(entry);
    while (m_tail.size() > kTailLength)
        m_tail.removeFirst();
    emit serviceLogged(entry);
    if (!error.isEmpty())
        emit writeFailed(error);
}

bool LoggingCtrl::checkWritable(QString* error)
{
    QString message;
    if (!m_path.isEmpty()) {
        QString cause;
        int const fd = openForAppend(m_path, &cause);
        if (fd >= 0) {
            cause = roomFor(fd, m_path);
            ::close(fd);
        }
        if (!cause.isEmpty())
            message = failure(m_path, cause);
    }
    setState(message);
    if (error != nullptr)
        *error = message;
    return message.isEmpty();
}

bool LoggingCtrl::setLogFile(QString const& path)
{
    m_path = path;
    return checkWritable();
}

QString LoggingCtrl::logFile() const
{
    return m_path;
}

QStringList LoggingCtrl::serviceTail() const
{
    return m_tail;
}

void LoggingCtrl::clearTail()
{
    m_tail.clear();
}

LoggingCtrl* LoggingCtrl::instance()
{
    static LoggingCtrl logger;
    return &logger;
}

LoggingCtrl* getLogger()
{
    return LoggingCtrl::instance();
}
