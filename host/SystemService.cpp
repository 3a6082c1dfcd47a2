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

// The stick keeps a copy; the source stays where the print service left it,
// whatever the move flag says, so the bench can still show it.
void SystemService::handleFiles(QStringList const& files, bool)
{
    QStringList copies;
    QDir const stick(m_stickDirectory);
    for (QString const& file : files) {
        QFileInfo const source(QDir(m_fileDirectory).filePath(file));
        if (file.isEmpty() || !source.isFile())
            continue;
        if (!stick.mkpath(QStringLiteral(".")))
            break;
        QString const target = stick.filePath(source.fileName());
        if (QFileInfo(target).canonicalFilePath() == source.canonicalFilePath()) {
            copies.append(target);
            continue;
        }
        if (QFile::exists(target) && !QFile::remove(target))
            continue;
        if (QFile::copy(source.absoluteFilePath(), target))
            copies.append(target);
    }
    if (copies.isEmpty())
        return;
    m_handled.append(copies);
    emit filesHandled(copies);
}
