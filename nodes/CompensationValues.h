#pragma once

#include <QString>
#include <cstdint>

#include "data/LonCalibrationTypes.h"

class IParameterControl;

// The internal-current compensation of the four DC ranges (parameters 23 to
// 26) and its enable flag (27) where the instrument keeps them outside the HV
// node: in the configuration store, and handed to the parameter service for
// the rest of the instrument (host parameters 29 to 32, and 33 for the flag).
class CompensationValues
{
public:
    static bool holds(LonCalibrationTypes::CalibrationParameters parameter);
    // The four ranges in the order they are read, published and written.
    static LonCalibrationTypes::CalibrationParameters range(int index);
    static constexpr int RangeCount = 4;
    // The value stored under the range's key; 0 without a store or when the read fails.
    static int readConfigured(LonCalibrationTypes::CalibrationParameters parameter);

    // Reads the four values from the configuration store.
    void load();
    // Hands the four values and the flag to the parameter service (nothing without one).
    void publish(IParameterControl* parameters) const;
    // Writes the four values to the configuration store and saves it; the flag is not stored there.
    void save() const;

    // 23 to 26: the value; 27: 0 or 1.
    long long value(LonCalibrationTypes::CalibrationParameters parameter) const;
    // 23 to 26 keep the low 32 bits; 27 stores whether the value is not 0.
    void setValue(LonCalibrationTypes::CalibrationParameters parameter, long long value);
    bool isEnabled() const { return m_enabled; }

private:
    int32_t m_values[RangeCount] = {0, 0, 0, 0};
    bool m_enabled = true;
};
