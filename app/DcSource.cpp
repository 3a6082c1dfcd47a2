#include "app/DcSource.h"

#include "app/ModuleJournal.h"
#include "host/StateMachine.h"

namespace {

// The state machine's voltage is in kV; the range is asked in units of 100 V.
constexpr unsigned int kRangeUnitsPerKv = 10;
// A set point comes in units of 100 V; the nominal voltage is told in units of 10 V.
constexpr unsigned int kNominalUnitsPerSetPointUnit = 10;

} // namespace

DcSource::DcSource(StateMachine* stateMachine, ModuleJournal* journal)
    : m_stateMachine(stateMachine)
    , m_journal(journal)
{ }

DcSource::~DcSource() = default;

unsigned int DcSource::getVoltageRange() const
{
    return m_stateMachine->getVoltage() * kRangeUnitsPerKv;
}

bool DcSource::isHvReady() const
{
    return m_stateMachine->isHvReady();
}

void DcSource::setNominal(unsigned int voltage, unsigned int current)
{
    m_nominalVoltage = voltage * kNominalUnitsPerSetPointUnit;
    m_nominalCurrent = current;
    // The raw numbers as the module sent them, then what they mean.
    m_journal->record(QStringLiteral("dc-callback: set U=%1 I=%2 (%3 kV, %4 mA)")
                          .arg(voltage)
                          .arg(current)
                          .arg(voltage / 10.0, 0, 'g')
                          .arg(current / 1000.0, 0, 'g'));
}
