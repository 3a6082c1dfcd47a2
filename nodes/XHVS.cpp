#include "nodes/XHVS.h"

#include <limits>

#include "host/ConfigStore.h"
#include "host/ILon.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/IParameterControl.h"
#include "host/NVData.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 19;
// Outside network type 3 the compensation values belong to the controller.
constexpr unsigned char kCompensationNode = 17;
constexpr unsigned short kPollId = 0x1375;
constexpr unsigned short kWriteId = 0x1374;

struct ByteField
{
    CalibrationParameters parameter;
    int byte;
};

// Bytes 4, 10 and 11 are not shown and go back to the node as received.
constexpr ByteField kLayout[] = {
    {UNomOffset, 0}, {UNomGain2kV, 1}, {UNomGain8kV, 2}, {UNomGain32kV, 3}, {UNomGain80kV, 5}, {UNomGainBrn, 6},
    {UNomGainRes, 7}, {UIntOffset, 8},  {UIntGain, 9},    {IIntOffset, 12},  {IIntGain, 13},
};

// Bytes 13, 18 and 19 are not shown and go back to the node as received.
constexpr ByteField kLayout3[] = {
    {UNomOffset, 0},    {UNomGain2kV, 1},   {UNomGain8kV, 2},   {UNomGain32kV, 3},  {UNomGain40kV, 4},
    {UNomGain80kV, 5},  {UNomGainBrn, 6},   {UNomGainRes, 7},   {UIntOffset, 8},    {UIntGain, 9},
    {IIntOffset, 10},   {IIntGain, 11},     {IIntComp8kV, 14},  {IIntComp32kV, 15}, {IIntComp40kV, 16},
    {IIntComp80kV, 17},
};

// The enable flag of network type 3: an unsigned 0 or 1.
constexpr int kEnableByte3 = 12;

struct Compensation
{
    CalibrationParameters parameter;
    char const* key;
    Parameters hostParameter;
};

constexpr Compensation kCompensations[] = {
    {IIntComp80kV, "/Calibration/InternalG/IGC80KV", ParamIntCurrentComp80kV},
    {IIntComp40kV, "/Calibration/InternalG/IGC40KV", ParamIntCurrentComp40kV},
    {IIntComp32kV, "/Calibration/InternalG/IGC32KV", ParamIntCurrentComp32kV},
    {IIntComp8kV, "/Calibration/InternalG/IGC8KV", ParamIntCurrentComp8kV},
};

template <std::size_t N>
int byteOf(ByteField const (&layout)[N], CalibrationParameters parameter)
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

bool isNetworkType3()
{
    return NVData::m_NetworkType == 3;
}

} // namespace

XHVS::XHVS(IModuleControl* control, ILon* lon) : QObject(nullptr), m_lon(lon)
{
    if (control != nullptr)
        m_parameters = dynamic_cast<IParameterControl*>(control->getModule("IParameterControl"));

    // The values are loaded even without a parameter service: every send writes
    // them back to the configuration, which must not turn them into zeros.
    ConfigStore* config = getConfig();
    if (config == nullptr)
        return;
    int* const values[] = {&m_compensation80kV, &m_compensation40kV, &m_compensation32kV, &m_compensation8kV};
    for (int i = 0; i < 4; ++i) {
        int value = 0;
        if (config->readInt(QString::fromLatin1(kCompensations[i].key), &value) != 0)
            value = 0;
        *values[i] = value;
        if (m_parameters != nullptr)
            m_parameters->setParameter(kCompensations[i].hostParameter, value);
    }
    if (m_parameters != nullptr)
        m_parameters->setParameter(ParamIntCurrentCompEnable, m_compensationEnabled ? 1 : 0);
}

QString XHVS::configurationKey(CalibrationParameters parameter)
{
    for (Compensation const& compensation : kCompensations) {
        if (compensation.parameter == parameter)
            return QString::fromLatin1(compensation.key);
    }
    return QString();
}

bool XHVS::owns(CalibrationParameters parameter) const
{
    if (parameter == UNomGain40kV)
        return isNetworkType3();
    return parameter >= UNomOffset && parameter <= EnableComp;
}

bool XHVS::isParameterValid(CalibrationParameters parameter) const
{
    if (!owns(parameter))
        return false;
    // The configuration values are there from the start.
    if (parameter >= IIntComp80kV && parameter <= EnableComp)
        return m_received || !isNetworkType3();
    return m_received;
}

bool XHVS::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value, bool* valid) const
{
    if (valid != nullptr)
        *valid = isParameterValid(parameter);
    if (!owns(parameter))
        return false;

    if (isNetworkType3()) {
        if (parameter == EnableComp)
            value = byteAt(m_calibration3, kEnableByte3);
        else
            value = static_cast<signed char>(byteAt(m_calibration3, byteOf(kLayout3, parameter)));
        return true;
    }

    switch (parameter) {
    case IIntComp80kV:
        value = m_compensation80kV;
        break;
    case IIntComp40kV:
        value = m_compensation40kV;
        break;
    case IIntComp32kV:
        value = m_compensation32kV;
        break;
    case IIntComp8kV:
        value = m_compensation8kV;
        break;
    case EnableComp:
        value = m_compensationEnabled ? 1 : 0;
        break;
    default:
        value = static_cast<signed char>(byteAt(m_calibration, byteOf(kLayout, parameter)));
        break;
    }
    return true;
}

bool XHVS::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    if (!owns(parameter))
        return false;

    if (isNetworkType3()) {
        if (parameter == EnableComp)
            byteAt(m_calibration3, kEnableByte3) = value != 0 ? 1 : 0;
        else
            byteAt(m_calibration3, byteOf(kLayout3, parameter)) = static_cast<unsigned char>(value & 0xFF);
        return true;
    }

    // The configuration keeps 32-bit integers; a larger loaded value is held at the limit.
    int const wide = static_cast<int>(
        qBound<long long>(std::numeric_limits<int>::min(), value, std::numeric_limits<int>::max()));
    switch (parameter) {
    case IIntComp80kV:
        m_compensation80kV = wide;
        break;
    case IIntComp40kV:
        m_compensation40kV = wide;
        break;
    case IIntComp32kV:
        m_compensation32kV = wide;
        break;
    case IIntComp8kV:
        m_compensation8kV = wide;
        break;
    case EnableComp:
        m_compensationEnabled = value != 0;
        break;
    default:
        byteAt(m_calibration, byteOf(kLayout, parameter)) = static_cast<unsigned char>(value & 0xFF);
        break;
    }
    return true;
}

unsigned char XHVS::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    // The 40 kV gain names node 19 in every network type, though it holds a value only in type 3.
    if (!owns(parameter) && parameter != UNomGain40kV)
        return 0;
    if (parameter >= IIntComp80kV && parameter <= EnableComp && !isNetworkType3())
        return kCompensationNode;
    return kNode;
}

void XHVS::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    if (isNetworkType3())
        m_calibration3 = data.getCalHHVS();
    else
        m_calibration = data.getCalVHVS();
    m_received = true;
    emit valueReceived();
}

void XHVS::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    if (m_received)
        emit valueReceived();
    else
        m_lon->pollNV(kPollId);
}

void XHVS::sendCalibUpdateToLon()
{
    if (isNetworkType3()) {
        if (m_lon != nullptr && m_received) {
            NVData data;
            data.setCalHHVS(m_calibration3);
            m_lon->sendNV(kWriteId, data);
        }
        return;
    }

    if (m_lon != nullptr && m_received) {
        NVData data;
        data.setCalVHVS(m_calibration);
        m_lon->sendNV(kWriteId, data);
    }

    int const values[] = {m_compensation80kV, m_compensation40kV, m_compensation32kV, m_compensation8kV};
    if (m_parameters != nullptr) {
        for (int i = 0; i < 4; ++i)
            m_parameters->setParameter(kCompensations[i].hostParameter, values[i]);
        m_parameters->setParameter(ParamIntCurrentCompEnable, m_compensationEnabled ? 1 : 0);
    }
    if (ConfigStore* config = getConfig()) {
        for (int i = 0; i < 4; ++i)
            config->writeInt(QString::fromLatin1(kCompensations[i].key), values[i]);
        config->save();
    }
}
