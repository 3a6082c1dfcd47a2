// LonCalibration: the value store and the services other modules call.
#include "module/LonCalibration.h"

#include "host/NVData.h"
#include "nodes/DSLLonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"

using namespace LonCalibrationTypes;

bool LonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value, bool* valid) const
{
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes) {
        if (node->getValueFromInternalBuffer(parameter, value, valid))
            return true;
    }
    return false;
}

bool LonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    bool accepted = false;
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes) {
        if (node->setValueToInternalBuffer(parameter, value))
            accepted = true;
    }
    return accepted;
}

unsigned char LonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes) {
        unsigned char const id = node->getNodeIdForCalibrationParameter(parameter);
        if (id != 0)
            return id;
    }
    return 0;
}

long long LonCalibration::getValue(CalibrationParameters parameter) const
{
    long long value = 0;
    bool valid = false;
    if (getValueFromInternalBuffer(parameter, value, &valid) && valid)
        return value;
    return 0;
}

namespace {

// The counter getters work on the low 32 bits of the stored value.
int low32(long long value)
{
    return static_cast<int>(static_cast<quint32>(static_cast<quint64>(value)));
}

int low32Times100(long long value)
{
    return static_cast<int>(static_cast<quint32>(static_cast<quint64>(value)) * 100u);
}

} // namespace

int LonCalibration::getSurgeCounter2kV() const
{
    return low32Times100(getValue(SurgeCounter2kV));
}

int LonCalibration::getSurgeCounter8kV() const
{
    if (NVData::m_NetworkType == 3)
        return low32Times100(getValue(SurgeCounter8kV));
    return low32(getValue(SurgeCounter8kV));
}

int LonCalibration::getSurgeCounter12kV() const
{
    return low32(getValue(SurgeCounter12kV));
}

int LonCalibration::getSurgeCounter16kV() const
{
    return low32(getValue(SurgeCounter16kV));
}

int LonCalibration::getSurgeCounter32kV() const
{
    return low32Times100(getValue(SurgeCounter32kV));
}

int LonCalibration::getSurgeCounter60kV() const
{
    return low32Times100(getValue(SurgeCounter60kV));
}

int LonCalibration::getVLFStartCounter() const
{
    return low32(getValue(VlfStartCounter));
}

int LonCalibration::getVLFCycleCounter() const
{
    return low32Times100(getValue(VlfCycleCounter));
}

int LonCalibration::getVLFCurrentMaximum() const
{
    long long value = 0;
    if (!getValueFromInternalBuffer(VlfCurrentMaximum, value, nullptr))
        return 0;
    return low32(value);
}

void LonCalibration::setDcCallback(ILonCalibrationDCCallback* callback)
{
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes)
        node->setDcCallback(callback);
}

void LonCalibration::connectIsoStartMethod(QObject* receiver, char const* method)
{
    QSharedPointer<NodeLonCalibrationBase> const node = m_nodes.value(22);
    if (auto* insulation = qobject_cast<DSLLonCalibration*>(node.data()))
        insulation->connectIsoStartMethod(receiver, method);
}

void LonCalibration::registerCallback(ILoadFromStickCallback* callback)
{
    m_loadCallback = callback;
}

