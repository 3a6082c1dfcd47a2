#pragma once

#include "module/ILonCalibrationDCCallback.h"

class ModuleJournal;
class StateMachine;

// The DC module of the instrument as the VLF calibration asks it: the voltage
// range and HV ready come from the bench's state machine, the nominal voltage
// is the last one set.
class DcSource : public ILonCalibrationDCCallback
{
public:
    DcSource(StateMachine* stateMachine, ModuleJournal* journal);
    ~DcSource() override;

    unsigned int getVoltageRange() const override;
    unsigned int getNominalVoltage() const override { return m_nominalVoltage; }
    void setNominal(unsigned int voltage, unsigned int current) override;
    bool isHvReady() const override;

    unsigned int nominalCurrent() const { return m_nominalCurrent; }

private:
    StateMachine* m_stateMachine;
    ModuleJournal* m_journal;
    unsigned int m_nominalVoltage = 0; // units of 10 V
    unsigned int m_nominalCurrent = 0;
};
