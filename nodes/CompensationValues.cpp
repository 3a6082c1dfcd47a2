#include "nodes/CompensationValues.h"

#include "host/ConfigStore.h"
#include "host/IParameterControl.h"

using namespace LonCalibrationTypes;

namespace {

struct Range
{
    CalibrationParameters parameter;
    char const* key;
    Parameters hostParameter;
};

constexpr Range kRanges[CompensationValues::RangeCount] = {
    {IIntComp80kV, "/Calibration/InternalG/IGC80KV", ParamIntCurrentComp80kV},
    {IIntComp40kV, "/Calibration/InternalG/IGC40KV", ParamIntCurrentComp40kV},
    {IIntComp32kV, "/Calibration/InternalG/IGC32KV", ParamIntCurrentComp32kV},
    {IIntComp8kV, "/Calibration/InternalG/IGC8KV", ParamIntCurrentComp8kV},
};

int indexOf(CalibrationParameters parameter)
{
    for (int i = 0; i < CompensationValues::RangeCount; ++i) {
        if (kRanges[i].parameter == parameter)
            return i;
    }
    return -1;
}

int readKey(ConfigStore const* config, int index)
{
    int value = 0;
    if (config == nullptr || config->readInt(QString::fromLatin1(kRanges[index].key), &value) != 0)
        return 0;
    return value;
}

} // namespace

bool CompensationValues::holds(CalibrationParameters parameter)
{
    return parameter >= IIntComp80kV && parameter <= EnableComp;
}

CalibrationParameters CompensationValues::range(int index)
{
    return kRanges[index].parameter;
}

int CompensationValues::readConfigured(CalibrationParameters parameter)
{
    int const index = indexOf(parameter);
    return index < 0 ? 0 : readKey(getConfig(), index);
}

void CompensationValues::load()
{
    ConfigStore const* config = getConfig();
    for (int i = 0; i < RangeCount; ++i)
        m_values[i] = readKey(config, i);
}

void CompensationValues::publish(IParameterControl* parameters) const
{
    if (parameters == nullptr)
        return;
    for (int i = 0; i < RangeCount; ++i)
        parameters->setParameter(kRanges[i].hostParameter, m_values[i]);
    parameters->setParameter(ParamIntCurrentCompEnable, m_enabled ? 1 : 0);
}

void CompensationValues::save() const
{
    ConfigStore* config = getConfig();
    if (config == nullptr)
        return;
    for (int i = 0; i < RangeCount; ++i)
        config->writeInt(QString::fromLatin1(kRanges[i].key), m_values[i]);
    config->save();
}

long long CompensationValues::value(CalibrationParameters parameter) const
{
    if (parameter == EnableComp)
        return m_enabled ? 1 : 0;
    int const index = indexOf(parameter);
    return index < 0 ? 0 : m_values[index];
}

void CompensationValues::setValue(CalibrationParameters parameter, long long value)
{
    if (parameter == EnableComp) {
        m_enabled = value != 0;
        return;
    }
    int const index = indexOf(parameter);
    if (index >= 0)
        m_values[index] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}
