#include "SystemService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "PrintService.h"

SystemService::SystemService(QObject* parent)
    : QObject(parent),
      m_stickDirectory(
          QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("loncal-stick"))),
      m_fileDirectory(PrintService::defaultOutputDirectory())
{
}

SystemService::~SystemService() = default;

ModuleDependency const* SystemService::getDependencies() const
{
    static ModuleDependency const dependencies[] = {{nullptr, false}};
    return dependencies;
}

// A relative name is a file the print service wrote into the file folder. The
// caller names it after the document, which may hold characters a file name
// cannot ("/" in a serial number): look for it under the name the print
// service gave it, and never outside the folder.
QString SystemService::sourcePath(QString const& file) const
{
    if (QFileInfo(file).isAbsolute())
        return file;
    QString const suffix = QStringLiteral(".pdf");
    QString const name = file.endsWith(suffix) ? PrintService::pdfFileName(file.left(file.size() - suffix.size()))
                                               : PrintService::safeFileName(file);
    return QDir(m_fileDirectory).filePath(name);
}

// The stick keeps a copy; the source stays where the print service left it,
// whatever the move flag says, so the bench can still show it.
void SystemService::handleFiles(QStringList const& files, bool)
{
    QStringList copies;
    QStringList failed;
    QDir const stick(m_stickDirectory);
    for (QString const& file : files) {
        QFileInfo const source(sourcePath(file));
        if (file.isEmpty() || !source.isFile() || !stick.mkpath(QStringLiteral("."))) {
            failed.append(file);
            continue;
        }
        QString const target = stick.filePath(source.fileName());
        if (QFileInfo(target).canonicalFilePath() == source.canonicalFilePath()) {
            copies.append(target);
            continue;
        }
        if ((QFile::exists(target) && !QFile::remove(target)) || !QFile::copy(source.absoluteFilePath(), target)) {
            failed.append(file);
            continue;
        }
        copies.append(target);
    }
    if (!failed.isEmpty()) {
        m_failed.append(failed);
        qWarning("System service: could not copy to the stick: %s", qPrintable(failed.join(QStringLiteral(", "))));
        emit handlingFailed(failed);
    }
    if (copies.isEmpty())
        return;
    m_handled.append(copies);
    emit filesHandled(copies);
}
