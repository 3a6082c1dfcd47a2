#include "nodes/BRNLonCalibration.h"

#include "nodes/ByteLayout.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"
#include "nodes/XHVS.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 27;
constexpr unsigned short kPollId = 0x1B75;
constexpr unsigned short kWriteId = 0x1B74;
constexpr int kLeftWidth = 300;
constexpr int kRightWidth = 250;

constexpr ByteField kLayout[] = {
    {UBrnLvOffset, 0}, {UBrnLvGain, 1}, {IBrnLvOffset, 2}, {IBrnLvGain, 3}, {IBrnHvOffset, 4}, {IBrnHvGain, 5},
};

int byteOf(CalibrationParameters parameter)
{
    return byteOf(kLayout, parameter);
}

// The HV-source rows the burner dialog shows.
bool isHvSourceRow(CalibrationParameters parameter)
{
    return parameter == UNomGainBrn || parameter == UNomGainRes;
}

} // namespace

BRNLonCalibration::BRNLonCalibration(IModuleControl* control, ILon* lon, QSharedPointer<XHVS> hvSource)
    : NodeLonCalibrationBase(control), m_lon(lon), m_hvSource(std::move(hvSource))
{
    if (m_hvSource)
        connect(m_hvSource.data(), &XHVS::valueReceived, this, &BRNLonCalibration::XHVSValuesReceived);
}

void BRNLonCalibration::XHVSValuesReceived()
{
    valueReceived(true);
}

void BRNLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HBRN"));
    addCalibrationNumberEdit(parent, row, x, width, UBrnLvOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, UBrnLvGain, 3, 0, QString());
    row += 5;
    addCalibrationNumberEdit(parent, row, x, width, IBrnHvOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, IBrnHvGain, 3, 0, QString());
    row += 5;
    addCalibrationNumberEdit(parent, row, x, width, IBrnLvOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, IBrnLvGain, 3, 0, QString());
    row += 5;
}

void BRNLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    showOrPoll(m_lon, m_received, kPollId);
    if (m_hvSource)
        m_hvSource->pollCalibrationValues();
}

void BRNLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node == kNode) {
        m_calibration = data.getCalHBRN();
        m_received = true;
        valueReceived(true);
    } else if (node == 19 && m_hvSource) {
        // The HV source announces the record; its signal refreshes the rows.
        m_hvSource->setCalibrationValues(node, data);
    }
}

bool BRNLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                   bool* valid) const
{
    if (valid != nullptr)
        *valid = false;
    if (isHvSourceRow(parameter))
        return m_hvSource && m_hvSource->getValueFromInternalBuffer(parameter, value, valid);

    int const byte = byteOf(parameter);
    if (byte < 0)
        return false;
    value = signedByte(m_calibration, byte);
    if (valid != nullptr)
        *valid = m_received;
    return true;
}

bool BRNLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    if (isHvSourceRow(parameter)) {
        if (!m_hvSource || !m_hvSource->setValueToInternalBuffer(parameter, value))
            return false;
    } else {
        int const byte = byteOf(parameter);
        if (byte < 0)
            return false;
        storeLowByte(m_calibration, byte, value);
    }
    valueChanged();
    return true;
}

unsigned char BRNLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    if (isHvSourceRow(parameter))
        return m_hvSource ? m_hvSource->getNodeIdForCalibrationParameter(parameter) : 0;
    return byteOf(parameter) >= 0 ? kNode : 0;
}

void BRNLonCalibration::sendCalibUpdateToLon()
{
    if (m_lon == nullptr)
        return;
    // Only a record that came from the node may go back to it.
    if (m_received) {
        NVData data;
        data.setCalHBRN(m_calibration);
        m_lon->sendNV(kWriteId, data);
    }
    if (m_hvSource)
        m_hvSource->sendCalibUpdateToLon();
}

void BRNLonCalibration::openCalibrationDialog()
{
    DialogWindow* dialog = openNodeDialog(QStringLiteral("Calibrate Burner"), QT_TRANSLATE_NOOP("Menu", "BRN"), 0);
    if (dialog == nullptr)
        return;
    int const dialogWidth = twoColumnDialogWidth(dialog, kLeftWidth + kRightWidth);
    dialog->setGeometry(0, 0, dialogWidth, 0);

    int const first = dialog->getTopInnerElements();
    int left = first;
    int const leftX = dialog->margins();
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, URef, 5, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, UInt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, UExt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, UBrnLv, 4, 2, QStringLiteral("V"));
    left += 5;
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, IInt, 6, 0, QString(QChar(0x3382)));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, IBrnHv, 6, 3, QStringLiteral("A"));
    addDisplayNumberEdit(dialog, left, leftX, kLeftWidth, IBrnLv, 6, 2, QStringLiteral("A"));
    left += 15;
    createTitle(dialog, left, leftX, kLeftWidth, QCoreApplication::translate("Dialog", "Data in HHVS"));
    addCalibrationNumberEdit(dialog, left, leftX, kLeftWidth, UNomGainBrn, 3, 0, QString());
    addCalibrationNumberEdit(dialog, left, leftX, kLeftWidth, UNomGainRes, 3, 0, QString());

    int right = first;
    addElements(dialog, right, dialogWidth - kRightWidth - dialog->margins(), kRightWidth);

    dialog->setHeightInnerElements(std::max(left, right) - first);
    insertCloseButton(true);
    dialog->show();
    pollCalibrationValues();
}
