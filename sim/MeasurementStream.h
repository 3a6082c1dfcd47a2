#pragma once

#include <QByteArray>

// Plausible live values for the measurement variables: each call gives the
// variable's payload for one tick, wandering slightly around a working point.
class MeasurementStream
{
public:
    // Bus bytes of the variable at the tick; empty for a variable it does not know.
    static QByteArray payload(unsigned short nvId, quint64 tick);
};
