#include "app/ModuleJournal.h"

ModuleJournal::ModuleJournal(QObject* parent)
    : QObject(parent)
{ }

ModuleJournal::~ModuleJournal() = default;

void ModuleJournal::record(QString const& line)
{
    m_lines.append(line);
    emit recorded(line);
}
