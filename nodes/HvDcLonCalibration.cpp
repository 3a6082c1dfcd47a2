#include "nodes/HvDcLonCalibration.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/Path.h"
#include "nodes/ByteLayout.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 35;
constexpr unsigned short kCalibrationWrite = 9076;
constexpr unsigned short kCalibrationPoll = 9077;
constexpr unsigned short kConfigurationWrite = 9078;
constexpr unsigned short kConfigurationPoll = 9079;
constexpr int kCalibrationDialogWidth = 350;
constexpr int kConfigurationDialogWidth = 430;
constexpr uint8_t kSlimRotorBit = 0x01;

// NVH_CAL_RHVS: byte of each parameter; bytes 5 to 7 and 15 are the node's own.
constexpr ByteField kLayout[] = {
    {UMainsGain, 0},     {IMainsGain, 1},    {IMotorGain, 2},   {UIntOffset, 3},
    {UIntNegGain, 4},    {UVlfGain, 8},      {IIntOffset, 9},   {IInt300mAGain, 10},
    {IInt100mAGain, 11}, {IInt10mAGain, 12}, {IInt1mAGain, 13}, {IInt100uAGain, 14},
};

} // namespace

HvDcLonCalibration::HvDcLonCalibration(IModuleControl* control, ILon* lon) : NodeLonCalibrationBase(control), m_lon(lon)
{
}

void HvDcLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    m_calibration = data.getCalRHVS();
    m_calibrationReceived = true;
    valueReceived(true);
}

void HvDcLonCalibration::setConfigurationValues(NVData const& data)
{
    // What "Ok" writes is what the dialog shows: a field the user has changed
    // and not yet sent keeps the user's value; the rest is the node's.
    NVH_CFG_RHVS const edited = m_configuration;
    m_configuration = data.getConfigRHVS();
    if (m_cascadeEdited)
        m_configuration.cascade = edited.cascade;
    if (m_slimRotorEdited)
        m_configuration.flags =
            static_cast<uint8_t>((m_configuration.flags & ~kSlimRotorBit) | (edited.flags & kSlimRotorBit));
    m_configurationReceived = true;

    // An edit already showing a value shows the node's new one; the others
    // are filled by the next poll or calibration record.
    for (CalibrationParameters parameter : {Cascade, SlimRotorVlf}) {
        NumberEdit* edit = getCalibrationNumberEdit(parameter);
        if (edit != nullptr && edit->isShowNumber())
            valueReceived(parameter, true);
    }
}

void HvDcLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    showOrPoll(m_lon, m_configurationReceived, kConfigurationPoll);
    showOrPoll(m_lon, m_calibrationReceived, kCalibrationPoll);
}

bool HvDcLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                    bool* valid) const
{
    bool isValid = false;
    int const offset = byteOf(kLayout, parameter);
    if (offset >= 0) {
        value = signedByte(m_calibration, offset);
        isValid = m_calibrationReceived;
    } else if (parameter == Cascade) {
        value = m_configuration.cascade;
        isValid = m_configurationReceived;
    } else if (parameter == SlimRotorVlf) {
        value = (m_configuration.flags & kSlimRotorBit) != 0 ? 1 : 0;
        isValid = m_configurationReceived;
    } else {
        if (valid != nullptr)
            *valid = false;
        return false;
    }
    if (valid != nullptr)
        *valid = isValid;
    return true;
}

bool HvDcLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    // The configuration record changes only through its own dialog.
    int const offset = byteOf(kLayout, parameter);
    if (offset < 0)
        return false;
    storeLowByte(m_calibration, offset, value);
    valueChanged();
    return true;
}

unsigned char HvDcLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return byteOf(kLayout, parameter) >= 0 ? kNode : 0;
}

void HvDcLonCalibration::changedCascadeValue(NumberEdit* pNumberEdit)
{
    if (pNumberEdit == nullptr)
        return;
    m_configuration.cascade = static_cast<uint16_t>(pNumberEdit->getNumber() & 0xFFFF);
    m_cascadeEdited = true;
}

void HvDcLonCalibration::changedSlimVlfValue(NumberEdit* pNumberEdit)
{
    if (pNumberEdit == nullptr)
        return;
    if (pNumberEdit->getNumber() == 1)
        m_configuration.flags = static_cast<uint8_t>(m_configuration.flags | kSlimRotorBit);
    else
        m_configuration.flags = static_cast<uint8_t>(m_configuration.flags & ~kSlimRotorBit);
    m_slimRotorEdited = true;
}

void HvDcLonCalibration::sendCalibUpdateToLon()
{
    if (m_lon == nullptr || !m_calibrationReceived)
        return;
    NVData data;
    data.setCalRHVS(m_calibration);
    m_lon->sendNV(kCalibrationWrite, data);
}

void HvDcLonCalibration::sendConfigurationNVtoLON()
{
    cleanUp();
    if (m_lon == nullptr || !m_configurationReceived)
        return;
    NVData data;
    data.setNVH_CFG_RHVS(m_configuration);
    m_lon->sendNV(kConfigurationWrite, data);
    m_cascadeEdited = false;
    m_slimRotorEdited = false;
}

void HvDcLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in RHVS"));
    static CalibrationParameters const kGroups[][6] = {
        {UMainsGain, IMainsGain, IMotorGain, CalParamNone, CalParamNone, CalParamNone},
        {UIntOffset, UIntNegGain, UVlfGain, CalParamNone, CalParamNone, CalParamNone},
        {IIntOffset, IInt300mAGain, IInt100mAGain, IInt10mAGain, IInt1mAGain, IInt100uAGain},
    };
    for (auto const& group : kGroups) {
        for (CalibrationParameters parameter : group) {
            if (parameter != CalParamNone)
                addCalibrationNumberEdit(parent, row, x, width, parameter, 3, 0, QString());
        }
        row += 5;
    }
}

void HvDcLonCalibration::openCalibrationDialog()
{
    DialogWindow* window
        = openNodeDialog(QStringLiteral("Calibrate HV DC"), QT_TRANSLATE_NOOP("Menu", "DC"), kCalibrationDialogWidth);
    if (window == nullptr)
        return;
    window->setHideKeyboard(true);
    int row = window->getTopInnerElements();
    int const first = row;
    int const x = window->margins();
    int const width = kCalibrationDialogWidth - 2 * x;
    addDisplayNumberEdit(window, row, x, width, MainsCurrent, 4, 2, QStringLiteral("A"));
    addDisplayNumberEdit(window, row, x, width, MainsVoltage, 4, 1, QStringLiteral("V"));
    addDisplayNumberEdit(window, row, x, width, MotorCurrent, 4, 3, QStringLiteral("A"));
    addDisplayNumberEdit(window, row, x, width, IInt, 6, 0, QString(QChar(0x3382)));
    addDisplayNumberEdit(window, row, x, width, UInt, 4, 1, QStringLiteral("kV"));
    addDisplayNumberEdit(window, row, x, width, UAux, 3, 1, QStringLiteral("kV"));
    row += 15;
    addElements(window, row, x, width);
    window->setHeightInnerElements(row - first);
    insertCloseButton(true);
    window->show();
    pollCalibrationValues();
}

void HvDcLonCalibration::openConfigurationDialog()
{
    DialogWindow* window = createDialogWindow(QCoreApplication::translate("Menu", "HV DC Configuration"));
    if (window == nullptr)
        return;
    window->setHideKeyboard(true);
    window->setGeometry(0, 0, kConfigurationDialogWidth, 0);
    int row = window->getTopInnerElements();
    int const first = row;
    int const x = window->margins();
    int const width = kConfigurationDialogWidth - 2 * x;

    // The base logs each change and refuses to store it; these slots, connected after, store it.
    NumberEdit* cascade = addSingleSelectCalibrationNumberEdit(window, row, x, width, Cascade, 4, 0,
                                                               QStringLiteral("kV"));
    connect(cascade, &NumberEdit::numberChanged, this, &HvDcLonCalibration::changedCascadeValue);
    NumberEdit* slimRotor = addSwitchNumberEdit(window, row, x, width, SlimRotorVlf, false);
    connect(slimRotor, &NumberEdit::numberChanged, this, &HvDcLonCalibration::changedSlimVlfValue);
    window->setHeightInnerElements(row - first);

    // Ok writes the configuration; it is the only way it reaches the node.
    if (QAbstractButton* ok = window->insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, false)) {
        connect(ok, &QAbstractButton::clicked, this, &HvDcLonCalibration::sendConfigurationNVtoLON);
        setButtonImage(ok, Path::image(QStringLiteral("yes.svg")), 15, 15);
    }
    window->show();
    pollCalibrationValues();
}
