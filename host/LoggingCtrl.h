#pragma once

#include <QObject>
#include <QStringList>

// The service log: the audit trail of every change. One line per user action
// of consequence, appended to a file whole or not at all and synced to disk,
// and kept in a short in-memory tail. A line that cannot be written is still
// in the tail and still announced; the failure is reported besides.
class LoggingCtrl : public QObject
{
    Q_OBJECT

public:
    void logService(char const* text);

    // Host and test set-up; the module never calls these.
    // Names the log file (empty: no file), makes its folder and returns
    // checkWritable(). A folder that cannot be made is a failure.
    bool setLogFile(QString const& path);
    QString logFile() const;
    QStringList serviceTail() const;
    void clearTail();

    // Whether a line could be appended now: the folder exists (or is made),
    // the path is a regular file or absent, it opens for appending, and the
    // disk and the process's file size limit leave room for a line. Call it
    // before changing anything. Sets isWritable() and lastError() but emits
    // nothing. True when no log file is named.
    bool checkWritable(QString* error = nullptr);
    // Whether the latest append or check succeeded.
    bool isWritable() const { return m_writable; }
    // Why the latest append or check failed, naming the file; empty when it succeeded.
    QString lastError() const { return m_error; }

    static LoggingCtrl* instance();

signals:
    void serviceLogged(QString const& text);
    // A line was not written; message names the file and the cause.
    void writeFailed(QString const& message);

private:
    LoggingCtrl();
    void setState(QString const& error);

    QString m_path;
    QStringList m_tail;
    bool m_writable = true;
    QString m_error;
};

LoggingCtrl* getLogger();
