#pragma once

// What the DC module offers the VLF calibration: its range and nominal voltage,
// setting a nominal voltage and current, and whether HV is ready.
class ILonCalibrationDCCallback
{
public:
    virtual ~ILonCalibrationDCCallback() = default;
    // Voltage range in units of 100 V.
    virtual unsigned int getVoltageRange() const = 0;
    // Present nominal voltage in units of 10 V.
    virtual unsigned int getNominalVoltage() const = 0;
    // Voltage in units of 100 V; current in the unit of the VLF current maximum.
    virtual void setNominal(unsigned int voltage, unsigned int current) = 0;
    virtual bool isHvReady() const = 0;
};
