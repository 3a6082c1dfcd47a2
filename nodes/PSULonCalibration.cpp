#include "nodes/PSULonCalibration.h"

#include "nodes/ByteLayout.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/NVData.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 18;
constexpr unsigned short kVersion3 = 0x300;
constexpr unsigned short kPollId = 0x1275;
constexpr unsigned short kWriteId = 0x1274;
constexpr unsigned short kPollId3 = 0x127B;
constexpr unsigned short kWriteId3 = 0x127A;
constexpr int kDialogWidth = 350;

constexpr ByteField kLayout[] = {
    {UMainsOffset, 0},
    {UMainsGain, 1},
    {IMainsOffset, 2},
    {IMainsGain, 3},
};

constexpr ByteField kLayout3[] = {
    {UMainsOffset, 0},   {UMainsGain, 1},    {IMainsOffsetInt, 2},
    {IMainsGainInt, 3},  {IMainsOffsetExt, 4}, {IMainsGainExt, 5},
};

} // namespace

PSULonCalibration::PSULonCalibration(IModuleControl* control, ILon* lon) : NodeLonCalibrationBase(control), m_lon(lon)
{
    if (control == nullptr)
        return;
    auto* management = dynamic_cast<ILonManagement*>(control->getModule("ILonManagement"));
    if (management != nullptr)
        m_version3 = management->checkNodeVersion(kNode, kVersion3);
}

int PSULonCalibration::byteOf(CalibrationParameters parameter) const
{
    return m_version3 ? ::byteOf(kLayout3, parameter) : ::byteOf(kLayout, parameter);
}

void PSULonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HPSU / VPSU"));
    QList<CalibrationParameters> const currents =
        m_version3 ? QList<CalibrationParameters>{IMainsOffsetInt, IMainsGainInt, IMainsOffsetExt, IMainsGainExt}
                   : QList<CalibrationParameters>{IMainsOffset, IMainsGain};
    for (CalibrationParameters parameter : currents)
        addCalibrationNumberEdit(parent, row, x, width, parameter, 3, 0, QString());
    row += 5;
    addCalibrationNumberEdit(parent, row, x, width, UMainsOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, UMainsGain, 3, 0, QString());
    row += 5;
}

void PSULonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    showOrPoll(m_lon, m_received, m_version3 ? kPollId3 : kPollId);
}

void PSULonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    if (m_version3)
        m_calibration3 = data.getCalHPSU_3();
    else
        m_calibration = data.getCalVPSU();
    m_received = true;
    valueReceived(true);
}

bool PSULonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                   bool* valid) const
{
    int const byte = byteOf(parameter);
    if (valid != nullptr)
        *valid = byte >= 0 && m_received;
    if (byte < 0)
        return false;
    value = m_version3 ? signedByte(m_calibration3, byte) : signedByte(m_calibration, byte);
    return true;
}

bool PSULonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    int const byte = byteOf(parameter);
    if (byte < 0)
        return false;
    if (m_version3)
        storeLowByte(m_calibration3, byte, value);
    else
        storeLowByte(m_calibration, byte, value);
    valueChanged();
    return true;
}

unsigned char PSULonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return byteOf(parameter) >= 0 ? kNode : 0;
}

void PSULonCalibration::sendCalibUpdateToLon()
{
    // Only a record that came from the node may go back to it.
    if (m_lon == nullptr || !m_received)
        return;
    NVData data;
    if (m_version3) {
        data.setCalHPSU_3(m_calibration3);
        m_lon->sendNV(kWriteId3, data);
    } else {
        data.setCalVPSU(m_calibration);
        m_lon->sendNV(kWriteId, data);
    }
}

void PSULonCalibration::openCalibrationDialog()
{
    DialogWindow* dialog
        = openNodeDialog(QStringLiteral("Calibrate PSU"), QT_TRANSLATE_NOOP("Menu", "PSU"), kDialogWidth);
    if (dialog == nullptr)
        return;

    // Every dialog starts with the zero calibration off.
    m_offsetCalibration = false;

    int row = dialog->getTopInnerElements();
    int const first = row;
    int const x = dialog->margins();
    int const width = kDialogWidth - 2 * dialog->margins();

    if (m_version3) {
        addDisplayNumberEdit(dialog, row, x, width, MainsCurrentInt, 4, 2, QStringLiteral("A"));
        addDisplayNumberEdit(dialog, row, x, width, MainsCurrentExt, 4, 2, QStringLiteral("A"));
    } else {
        addDisplayNumberEdit(dialog, row, x, width, MainsCurrent, 4, 2, QStringLiteral("A"));
    }
    addDisplayNumberEdit(dialog, row, x, width, MainsVoltage, 4, 1, QStringLiteral("V"));
    if (m_version3)
        addDisplayNumberEdit(dialog, row, x, width, InternalSupplyVoltage, 4, 1, QStringLiteral("V"));
    row += 15;
    addElements(dialog, row, x, width);
    dialog->setHeightInnerElements(row - first);

    QAbstractButton* ok = insertCloseButton(true);

    if (m_zeroButton)
        m_zeroButton->deleteLater();
    m_zeroButton = dialog->insertRejectButton(QCoreApplication::translate("Dialog", "Enable zero"), false, false);
    if (m_zeroButton)
        connect(m_zeroButton.data(), &QAbstractButton::clicked, this, &PSULonCalibration::offsetCalibrationChanged);

    dialog->show();
    if (ok != nullptr)
        ok->setFocus(Qt::OtherFocusReason);
    emit setPsuCalibrationFlags(true, false);
    pollCalibrationValues();
}

void PSULonCalibration::offsetCalibrationChanged()
{
    m_offsetCalibration = !m_offsetCalibration;
    emit setPsuCalibrationFlags(true, m_offsetCalibration);

    QString const current = m_offsetCalibration ? QStringLiteral("!!") : QStringLiteral("A");
    setUnitForDisplayNumberEdit(MainsCurrentInt, current);
    setUnitForDisplayNumberEdit(MainsCurrentExt, current);
    setUnitForDisplayNumberEdit(MainsVoltage, m_offsetCalibration ? QStringLiteral("!!") : QStringLiteral("V"));

    if (m_zeroButton) {
        m_zeroButton->setText(m_offsetCalibration ? QCoreApplication::translate("Dialog", "Disable zero")
                                                  : QCoreApplication::translate("Dialog", "Enable zero"));
    }
}

void PSULonCalibration::cleanUp()
{
    if (m_zeroButton) {
        m_zeroButton->deleteLater();
        m_zeroButton = nullptr;
    }
    m_offsetCalibration = false;
    emit setPsuCalibrationFlags(false, false);
    NodeLonCalibrationBase::cleanUp();
}
