#include "LoggingCtrl.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kTailLength = 500;

} // namespace

// No log file until the host names one: a bench run should not litter the disk.
LoggingCtrl::LoggingCtrl() = default;

void LoggingCtrl::logService(char const* text)
{
    if (text == nullptr)
        return;
    QString const entry = QString::fromUtf8(text);

    m_tail.append(entry);
    while (m_tail.size() > kTailLength)
        m_tail.removeFirst();

    if (!m_path.isEmpty()) {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            // One entry is one line, whatever the text holds.
            QString line = entry;
            line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            QByteArray const bytes = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ")).toUtf8()
                                     + line.toUtf8() + '\n';
            file.write(bytes);
        }
    }
    emit serviceLogged(entry);
}

void LoggingCtrl::setLogFile(QString const& path)
{
    m_path = path;
    if (!path.isEmpty())
        QDir().mkpath(QFileInfo(path).absolutePath());
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
