#pragma once

#include <cstddef>

#include "data/LonCalibrationTypes.h"

// Where a calibration constant lives in a node's record: one signed byte each.
// Node classes keep their layouts as tables of these; bytes a table does not
// name are the node's own and go back to it as received.
struct ByteField
{
    LonCalibrationTypes::CalibrationParameters parameter;
    int byte;
};

// The byte of the parameter in the layout, or -1 when the layout has none.
template <std::size_t N>
int byteOf(ByteField const (&layout)[N], LonCalibrationTypes::CalibrationParameters parameter)
{
    for (ByteField const& field : layout) {
        if (field.parameter == parameter)
            return field.byte;
    }
    return -1;
}

template <typename Record>
unsigned char& byteAt(Record& record, int byte)
{
    return reinterpret_cast<unsigned char*>(&record)[byte];
}

template <typename Record>
unsigned char byteAt(Record const& record, int byte)
{
    return reinterpret_cast<unsigned char const*>(&record)[byte];
}

// A constant is read as a signed byte widened to 64 bits...
template <typename Record>
long long signedByte(Record const& record, int byte)
{
    return static_cast<signed char>(byteAt(record, byte));
}

// ...and stored by keeping its low 8 bits.
template <typename Record>
void storeLowByte(Record& record, int byte, long long value)
{
    byteAt(record, byte) = static_cast<unsigned char>(value & 0xFF);
}
