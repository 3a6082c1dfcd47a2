#include "nodes/XHVS.h"

#include "nodes/ByteLayout.h"

#include <QTimer>

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
    if (getConfig() == nullptr)
        return;
    m_compensation.load();
    m_compensation.publish(m_parameters);
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

    if (CompensationValues::holds(parameter))
        value = m_compensation.value(parameter);
    else
        value = static_cast<signed char>(byteAt(m_calibration, byteOf(kLayout, parameter)));
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

    if (CompensationValues::holds(parameter))
        m_compensation.setValue(parameter, value);
    else
        byteAt(m_calibration, byteOf(kLayout, parameter)) = static_cast<unsigned char>(value & 0xFF);
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
    if (m_received) {
        emit valueReceived();
        return;
    }
    // Burner and cascade share this source and both ask for it in the same
    // pass (the start-up poll of every node): one question answers both.
    if (m_pollPending)
        return;
    m_pollPending = true;
    QTimer::singleShot(0, this, [this] { m_pollPending = false; });
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

    m_compensation.publish(m_parameters);
    m_compensation.save();
}
