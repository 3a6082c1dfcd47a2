#include "app/PrintOutput.h"

#include <QDir>
#include <QFileInfo>

#include "app/ModuleJournal.h"
#include "host/IPrint.h"
#include "host/PrintService.h"
#include "host/SystemService.h"

PrintOutput::PrintOutput(PrintService* print, SystemService* system, ModuleJournal* journal, QObject* parent)
    : QObject(parent)
    , m_print(print)
    , m_system(system)
    , m_journal(journal)
{
    connect(m_print, &PrintService::printed, this, &PrintOutput::printed);
    connect(m_system, &SystemService::filesHandled, this, &PrintOutput::copied);
}

PrintOutput::~PrintOutput() = default;

bool PrintOutput::setDirectory(QString const& directory, QString* error)
{
    QString const absolute = QFileInfo(directory).absoluteFilePath();
    QFileInfo const info(absolute);
    if ((info.exists() && !info.isDir()) || !QDir().mkpath(absolute)) {
        *error = QStringLiteral("cannot create the print folder %1").arg(absolute);
        return false;
    }
    m_directory = absolute;
    m_print->setOutputDirectory(absolute);
    m_system->setFileDirectory(absolute);
    return true;
}

void PrintOutput::printed(QString const& name, int result)
{
    if (result != IPrint::ResultDone || m_print->lastFile().isEmpty()) {
        m_journal->record(QStringLiteral("print: \"%1\" failed (result %2)").arg(name).arg(result));
        return;
    }
    m_journal->record(QStringLiteral("print: \"%1\" saved as %2").arg(name, m_print->lastFile()));
    emit saved(m_print->lastFile());
}

void PrintOutput::copied(QStringList const& copies)
{
    for (QString const& copy : copies)
        m_journal->record(QStringLiteral("stick: copied %1").arg(copy));
}
