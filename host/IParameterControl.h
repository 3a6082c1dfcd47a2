#pragma once

#include "Parameters.h"

// Writes host parameters; found under "IParameterControl".
class IParameterControl
{
public:
    virtual ~IParameterControl() = default;
    virtual void setParameter(Parameters parameter, long long value) = 0;
};
