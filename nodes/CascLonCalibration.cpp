#include "nodes/CascLonCalibration.h"

#include "nodes/ByteLayout.h"

#include "nodes/CompensationValues.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "nodes/XHVS.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kHvSourceNode = 19;
constexpr unsigned char kNode3 = 25;
constexpr unsigned char kNode = 21;
constexpr unsigned short kPollId3 = 0x1975;
constexpr unsigned short kWriteId3 = 0x1974;
constexpr unsigned short kPollId = 0x1575;
constexpr unsigned short kWriteId = 0x1574;
constexpr int kLeftWidth = 300;
constexpr int kRightWidth = 250;

// Both generations of the cascade record share this layout.
constexpr ByteField kLayout[] = {
    {UMaxOffset, 0},
    {UMaxGain, 1},
    {UExtOffset, 2},
    {UExtGain, 3},
};

int byteOf(CalibrationParameters parameter)
{
    return byteOf(kLayout, parameter);
}

constexpr CalibrationParameters kHvSourceGains[] = {UNomGain80kV, UNomGain40kV, UNomGain32kV, UNomGain8kV,
                                                    UNomGain2kV,  UNomGainBrn,  UNomGainRes};

bool isNetworkType3()
{
    return NVData::m_NetworkType == 3;
}

unsigned char cascadeNode()
{
    return isNetworkType3() ? kNode3 : kNode;
}

} // namespace

CascLonCalibration::CascLonCalibration(IModuleControl* control, ILon* lon, QSharedPointer<XHVS> hvSource)
    : NodeLonCalibrationBase(control), m_lon(lon), m_hvSource(std::move(hvSource))
{
    m_received.insert(kNode3, false);
    m_received.insert(kNode, false);
    if (m_hvSource)
        connect(m_hvSource.data(), &XHVS::valueReceived, this, &CascLonCalibration::XHVSValuesReceived);
}

// Both cascade records have one layout; the network type says which is the node's.
long long CascLonCalibration::cascadeByte(int byte) const
{
    return isNetworkType3() ? signedByte(m_calibration3, byte) : signedByte(m_calibration, byte);
}

void CascLonCalibration::storeCascadeByte(int byte, long long value)
{
    if (isNetworkType3())
        storeLowByte(m_calibration3, byte, value);
    else
        storeLowByte(m_calibration, byte, value);
}

void CascLonCalibration::XHVSValuesReceived()
{
    valueReceived(true);
}

void CascLonCalibration::addHvSourceSection(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HHVS / VHVS"));
    addCalibrationNumberEdit(parent, row, x, width, UNomOffset, 3, 0, QString());
    row += 5;
    for (CalibrationParameters parameter : kHvSourceGains)
        addCalibrationNumberEdit(parent, row, x, width, parameter, 3, 0, QString());
    row += 5;
    for (CalibrationParameters parameter : {UIntOffset, UIntGain, IIntOffset, IIntGain})
        addCalibrationNumberEdit(parent, row, x, width, parameter, 3, 0, QString());
    row += 5;
}

void CascLonCalibration::addCascadeSection(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HSEL / VDSH / PDSH"));
    addCalibrationNumberEdit(parent, row, x, width, UExtOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, UExtGain, 3, 0, QString());
    row += 5;
    addCalibrationNumberEdit(parent, row, x, width, UMaxOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, UMaxGain, 3, 0, QString());
    row += 5;
}

void CascLonCalibration::addCompensationSection(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HCON / VCON"));
    NumberEdit* enable = addSwitchNumberEdit(parent, row, x, width, EnableComp, false);

    if (isNetworkType3()) {
        // The HV source carries these values as bytes in this network type.
        for (int i = 0; i < CompensationValues::RangeCount; ++i)
            addCalibrationNumberEdit(parent, row, x, width, CompensationValues::range(i), 3, 0, QString());
        row += 5;
        return;
    }

    // Elsewhere they are configuration values, valid from the start: shown at
    // once. The shared HV source holds what will be written back.
    long long flag = 1;
    if (m_hvSource)
        m_hvSource->getValueFromInternalBuffer(EnableComp, flag, nullptr);
    enable->showNumber(flag != 0 ? 1 : 0);

    for (int i = 0; i < CompensationValues::RangeCount; ++i) {
        CalibrationParameters const parameter = CompensationValues::range(i);
        long long value = 0;
        if (m_hvSource)
            m_hvSource->getValueFromInternalBuffer(parameter, value, nullptr);
        else
            value = CompensationValues::readConfigured(parameter);
        addCompensationNumberEdit(parent, row, x, width, parameter, value);
    }
    row += 5;
}

void CascLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    addHvSourceSection(parent, row, x, width);
    addCascadeSection(parent, row, x, width);
    addCompensationSection(parent, row, x, width);
}

void CascLonCalibration::addElements(QWidget* parent, int& row, int x, int width, int& row2, int x2, int width2)
{
    addHvSourceSection(parent, row, x, width);
    addCascadeSection(parent, row2, x2, width2);
    addCompensationSection(parent, row2, x2, width2);
}

void CascLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    if (m_hvSource)
        m_hvSource->pollCalibrationValues();
    showOrPoll(m_lon, m_received.value(cascadeNode()), isNetworkType3() ? kPollId3 : kPollId);
}

void CascLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node == kHvSourceNode) {
        // The HV source announces the record; its signal refreshes the rows.
        if (m_hvSource)
            m_hvSource->setCalibrationValues(node, data);
        return;
    }
    // A record of the other network type's cascade node is not ours.
    if (node != cascadeNode())
        return;
    if (isNetworkType3())
        m_calibration3 = data.getCalHSEL();
    else
        m_calibration = data.getCalVDSH();
    m_received.insert(node, true);
    valueReceived(true);
}

bool CascLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                    bool* valid) const
{
    if (m_hvSource && m_hvSource->getValueFromInternalBuffer(parameter, value, valid))
        return true;
    int const byte = byteOf(parameter);
    if (valid != nullptr)
        *valid = byte >= 0 && m_received.value(cascadeNode());
    if (byte < 0)
        return false;
    value = cascadeByte(byte);
    return true;
}

bool CascLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    if (!m_hvSource || !m_hvSource->setValueToInternalBuffer(parameter, value)) {
        int const byte = byteOf(parameter);
        if (byte < 0)
            return false;
        storeCascadeByte(byte, value);
    }
    valueChanged();
    return true;
}

unsigned char CascLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    if (byteOf(parameter) >= 0)
        return cascadeNode();
    return m_hvSource ? m_hvSource->getNodeIdForCalibrationParameter(parameter) : 0;
}

void CascLonCalibration::sendCalibUpdateToLon()
{
    // The HV source writes node 19 and, outside network type 3, hands the
    // compensation values to the parameter service and the configuration.
    if (m_hvSource)
        m_hvSource->sendCalibUpdateToLon();

    // Only a record that came from the node may go back to it.
    unsigned char const node = cascadeNode();
    if (m_lon == nullptr || !m_received.value(node))
        return;
    NVData data;
    if (isNetworkType3()) {
        data.setCalHSEL(m_calibration3);
        m_lon->sendNV(kWriteId3, data);
    } else {
        data.setCalVDSH(m_calibration);
        m_lon->sendNV(kWriteId, data);
    }
}

void CascLonCalibration::openCalibrationDialog()
{
    DialogWindow* dialog = openNodeDialog(QStringLiteral("Calibrate Compact"), QT_TRANSLATE_NOOP("Menu", "DC"), 0);
    if (dialog == nullptr)
        return;
    dialog->setHideKeyboard(true);
    int const dialogWidth = twoColumnDialogWidth(dialog, kLeftWidth + kRightWidth);
    dialog->setGeometry(0, 0, dialogWidth, 0);

    int const first = dialog->getTopInnerElements();
    int left = first;
    int right = first;
    int const leftX = dialog->margins();
    int const rightX = dialogWidth - kRightWidth - dialog->margins();

    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, URef, 5, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, UInt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, UExt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, IInt, 6, 0, QString(QChar(0x3382)));
    left += 15;
    addElements(dialog, left, leftX, kLeftWidth, right, rightX, kRightWidth);

    dialog->setHeightInnerElements(std::max(left, right) - first);
    insertCloseButton(true);
    dialog->show();
    pollCalibrationValues();
}
