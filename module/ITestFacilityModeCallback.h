#pragma once

// Told when the DC-MAX test function is switched off.
class ITestFacilityModeCallback
{
public:
    virtual ~ITestFacilityModeCallback() = default;
    virtual void testFacilityModeOff() = 0;
};
