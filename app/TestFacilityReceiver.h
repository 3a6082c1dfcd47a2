#pragma once

#include "module/ITestFacilityModeCallback.h"

class ModuleJournal;

// The test facility module: told when the DC-MAX test function goes off.
class TestFacilityReceiver : public ITestFacilityModeCallback
{
public:
    explicit TestFacilityReceiver(ModuleJournal* journal);
    ~TestFacilityReceiver() override;

    void testFacilityModeOff() override;

private:
    ModuleJournal* m_journal;
};
