#pragma once

// State numbers of the instrument's function-unit state machine.
using NVT_FU_STATE = int;

// The host's state machine; found under "IStatemachine".
class IStatemachine
{
public:
    virtual ~IStatemachine() = default;
    virtual NVT_FU_STATE getState() const = 0;
    // The test voltage in kV; 0 when none is set.
    virtual unsigned short getVoltage() const = 0;
};
