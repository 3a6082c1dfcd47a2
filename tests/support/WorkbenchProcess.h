#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The built workbench as a user runs it: one process per run, headless, with
// its node memory, configuration and log files in one folder that lives
// between runs (unless a run names other files).
class WorkbenchProcess
{
public:
    struct Result
    {
        int status = -1; // -1: crashed or did not finish
        QString out;
        QString err;
    };

    explicit WorkbenchProcess(QString const& folder);

    QString path(QString const& name) const;
    // --instrument, --config and --log in the folder, unless the arguments name their own.
    QStringList withFiles(QStringList const& arguments) const;
    QProcessEnvironment environment() const;
    // Starts a run without waiting for it.
    void start(QProcess& process, QStringList const& arguments) const;
    Result run(QStringList const& arguments) const;
    // As run(), with the size of every file the program writes limited to
    // `kilobytes`: a full disk for each of its files.
    Result runWithFileSizeLimit(int kilobytes, QStringList const& arguments) const;

    static QString program();
    // What a run wrote: the bytes of a file (empty when it cannot be read), and
    // the text of a PDF as pdftotext -layout gives it (empty without pdftotext).
    static QByteArray fileBytes(QString const& path);
    static QString pdfText(QString const& pdf);

private:
    Result finish(QProcess& process, QStringList const& arguments) const;

    QString m_folder;
};
