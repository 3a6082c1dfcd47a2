#include "app/IsoStartReceiver.h"

#include "app/ModuleJournal.h"

char const* const IsoStartReceiver::Method = "startMeasurement()";

IsoStartReceiver::IsoStartReceiver(ModuleJournal* journal, QObject* parent)
    : QObject(parent)
    , m_journal(journal)
{ }

IsoStartReceiver::~IsoStartReceiver() = default;

void IsoStartReceiver::startMeasurement()
{
    ++m_starts;
    m_journal->record(QStringLiteral("iso start"));
}
