#include "app/StickModule.h"

#include <QDir>
#include <QFileInfo>

#include "app/ModuleJournal.h"
#include "app/StickFileReader.h"
#include "module/ILonCalibration.h"

StickModule::StickModule(ModuleJournal* journal, QObject* parent)
    : QObject(parent)
    , m_journal(journal)
{ }

StickModule::~StickModule() = default;

void StickModule::loadFromStick()
{
    m_journal->record(QStringLiteral("stick: load requested"));
    emit loadRequested();
}

QFileInfoList StickModule::calibrationFiles() const
{
    QDir const stick(m_directory);
    return stick.entryInfoList(
        {QStringLiteral("*.xml"), QStringLiteral("*.XML")}, QDir::Files | QDir::Readable, QDir::Time);
}

bool StickModule::readFile(QString const& path, QString* text, QString* error)
{
    return StickFileReader::read(path, text, error);
}

bool StickModule::handOver(QString const& text)
{
    if (m_module == nullptr)
        return false;
    m_module->importFileFromStick(text);
    return true;
}

bool StickModule::importFile(QString const& path, QString* error)
{
    QString text;
    if (!readFile(path, &text, error))
        return false;
    if (!handOver(text)) {
        *error = QStringLiteral("the module is not running");
        return false;
    }
    m_journal->record(QStringLiteral("stick: handed %1 to the module").arg(QFileInfo(path).fileName()));
    return true;
}
