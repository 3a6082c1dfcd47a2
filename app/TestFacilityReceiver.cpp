#include "app/TestFacilityReceiver.h"

#include "app/ModuleJournal.h"

TestFacilityReceiver::TestFacilityReceiver(ModuleJournal* journal)
    : m_journal(journal)
{ }

TestFacilityReceiver::~TestFacilityReceiver() = default;

void TestFacilityReceiver::testFacilityModeOff()
{
    m_journal->record(QStringLiteral("test facility mode off"));
}
