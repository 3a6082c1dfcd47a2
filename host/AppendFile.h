#pragma once

#include <QString>

class QByteArray;

// Files that grow a line at a time and must never hold half a line: the
// service log and the workbench's session journals. Every call opens, writes
// and syncs on its own, so a crash loses nothing that was appended before it.
class AppendFile
{
public:
    // Appends the line whole and syncs it, or cuts the file back to where the
    // line began. Empty on success, else the cause. The folder is made when missing.
    static QString appendLine(QString const& path, QByteArray const& line);
    // An open descriptor for appending to the regular file at path (made when
    // missing, its folder too), or -1 and the cause. A FIFO or device is refused.
    static int open(QString const& path, QString* cause);
    // Empty when the disk and the file size limit leave room for another line.
    static QString roomFor(int fd, QString const& path);
};
