#include "support/FakeNode.h"

#include <QCoreApplication>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"

using namespace LonCalibrationTypes;

FakeNode::FakeNode(IModuleControl* control, ILon* lon, unsigned char id, QList<CalibrationParameters> const& params)
    : NodeLonCalibrationBase(control), nodeId(id), owned(params), m_lon(lon)
{
}

void FakeNode::noteThread()
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        allOnGuiThread = false;
}

void FakeNode::addElements(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QStringLiteral("Data in FAKE %1").arg(nodeId));
    if (withSwitchRow)
        addSwitchNumberEdit(parent, row, x, width, EnableComp, false);
    for (CalibrationParameters parameter : qAsConst(owned)) {
        if (parameter == EnableComp && withSwitchRow)
            continue;
        if (isCounterParameter(parameter))
            addCounterCalibrationNumberEdit(parent, row, x, width, parameter, 4, 0, QStringLiteral("x"));
        else
            addCalibrationNumberEdit(parent, row, x, width, parameter, 3, 0, QString());
    }
    row += 5;
}

void FakeNode::pollCalibrationValues()
{
    ++polls;
    if (received)
        valueReceived(true);
    else if (m_lon != nullptr)
        m_lon->pollNV(static_cast<unsigned short>(nodeId << 8 | 117));
}

void FakeNode::setCalibrationValues(unsigned char node, NVData const& data)
{
    noteThread();
    calibrationNodes.append(node);
    if (node != nodeId)
        return;
    calibrationPayloads.append(data.bytes());
    received = true;
    valueReceived(true);
}

void FakeNode::setCounterValues(NVData const& data)
{
    noteThread();
    counterPayloads.append(data.bytes());
}

void FakeNode::setConfigurationValues(NVData const& data)
{
    noteThread();
    configurationPayloads.append(data.bytes());
}

void FakeNode::setDcCallback(ILonCalibrationDCCallback* callback)
{
    dcCallback = callback;
}

bool FakeNode::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value, bool* valid) const
{
    if (!owned.contains(parameter)) {
        if (valid != nullptr)
            *valid = false;
        return false;
    }
    value = values.value(parameter);
    if (valid != nullptr)
        *valid = received;
    return true;
}

bool FakeNode::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    if (!owned.contains(parameter) || readOnly.contains(parameter))
        return false;
    values.insert(parameter, value);
    valueChanged();
    return true;
}

unsigned char FakeNode::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return owned.contains(parameter) && !readOnly.contains(parameter) ? nodeId : 0;
}

void FakeNode::sendCalibUpdateToLon()
{
    ++sends;
    if (m_lon == nullptr)
        return;
    QByteArray bytes;
    for (CalibrationParameters parameter : qAsConst(owned))
        bytes.append(static_cast<char>(values.value(parameter)));
    m_lon->sendNV(static_cast<unsigned short>(nodeId << 8 | 116), NVData(bytes));
}

void FakeNode::openCalibrationDialog()
{
    DialogWindow* dialog = openNodeDialog(QStringLiteral("Calibrate Fake"), "FAKE", 350);
    if (dialog == nullptr)
        return;
    int row = dialog->getTopInnerElements();
    int const first = row;
    int const x = dialog->margins();
    int const width = 350 - 2 * dialog->margins();
    addDisplayNumberEdit(dialog, row, x, width, MainsVoltage, 4, 1, QStringLiteral("V"));
    addDisplayNumberEdit(dialog, row, x, width, RIso, 9, 4, QStringLiteral("k"));
    row += 15;
    addElements(dialog, row, x, width);
    dialog->setHeightInnerElements(row - first);
    insertCloseButton(true);
    dialog->show();
    pollCalibrationValues();
}
