#include "LoggingCtrl.h"

#include <QDateTime>

#include <unistd.h>

#include "AppendFile.h"

namespace {

constexpr int kTailLength = 500;

QString failure(QString const& path, QString const& cause)
{
    return QStringLiteral("cannot append to the service log %1: %2").arg(path, cause);
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
        QString const cause = AppendFile::appendLine(m_path, bytes);
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
        int const fd = AppendFile::open(m_path, &cause);
        if (fd >= 0) {
            cause = AppendFile::roomFor(fd, m_path);
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
