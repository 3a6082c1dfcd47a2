#pragma once

#include <QObject>
#include <QStringList>

// The service log: one line per user action of consequence, appended to a file
// and kept in a short in-memory tail.
class LoggingCtrl : public QObject
{
    Q_OBJECT

public:
    void logService(char const* text);

    // Host and test set-up; the module never calls these.
    void setLogFile(QString const& path);
    QString logFile() const;
    QStringList serviceTail() const;
    void clearTail();

    static LoggingCtrl* instance();

signals:
    void serviceLogged(QString const& text);

private:
    LoggingCtrl();
    QString m_path;
    QStringList m_tail;
};

LoggingCtrl* getLogger();
