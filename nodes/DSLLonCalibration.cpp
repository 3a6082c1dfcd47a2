#include "nodes/DSLLonCalibration.h"

#include "nodes/ByteLayout.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMetaObject>

#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"
#include "host/Path.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 22;
constexpr unsigned short kPollId = 0x1675;
constexpr unsigned short kWriteId = 0x1674;
constexpr int kDialogWidth = 350;

// Bytes 0 and 1 are not shown and go back to the node as received.
constexpr ByteField kLayout[] = {
    {IIsoOffset, 2},
    {IIsoGain, 3},
};

int byteOf(CalibrationParameters parameter)
{
    return byteOf(kLayout, parameter);
}

} // namespace

DSLLonCalibration::DSLLonCalibration(IModuleControl* control, ILon* lon) : NodeLonCalibrationBase(control), m_lon(lon)
{
}

bool DSLLonCalibration::connectIsoStartMethod(QObject* receiver, char const* method)
{
    if (receiver == nullptr || method == nullptr)
        return false;
    QMetaObject const* meta = receiver->metaObject();
    if (meta == nullptr)
        return false;
    int const index = meta->indexOfMethod(method);
    if (index < 0)
        return false;
    m_startReceiver = receiver;
    m_startMethod = meta->method(index);
    return true;
}

void DSLLonCalibration::slotIsoStart()
{
    if (m_startReceiver && m_startMethod.isValid())
        m_startMethod.invoke(m_startReceiver.data(), Qt::AutoConnection);
}

void DSLLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HDSL / VDSL"));
    addCalibrationNumberEdit(parent, row, x, width, IIsoOffset, 3, 0, QString());
    addCalibrationNumberEdit(parent, row, x, width, IIsoGain, 3, 0, QString());
    row += 5;
}

void DSLLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    showOrPoll(m_lon, m_received, kPollId);
}

void DSLLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    m_calibration = data.getCalVDSL();
    m_received = true;
    valueReceived(true);
}

bool DSLLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                   bool* valid) const
{
    int const byte = byteOf(parameter);
    if (valid != nullptr)
        *valid = byte >= 0 && m_received;
    if (byte < 0)
        return false;
    value = signedByte(m_calibration, byte);
    return true;
}

bool DSLLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    int const byte = byteOf(parameter);
    if (byte < 0)
        return false;
    storeLowByte(m_calibration, byte, value);
    valueChanged();
    return true;
}

unsigned char DSLLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return byteOf(parameter) >= 0 ? kNode : 0;
}

void DSLLonCalibration::sendCalibUpdateToLon()
{
    // Only a record that came from the node may go back to it.
    if (m_lon == nullptr || !m_received)
        return;
    NVData data;
    data.setCalVDSL(m_calibration);
    m_lon->sendNV(kWriteId, data);
}

void DSLLonCalibration::openCalibrationDialog()
{
    DialogWindow* dialog
        = openNodeDialog(QStringLiteral("Calibrate ISO"), QT_TRANSLATE_NOOP("Menu", "ISO"), kDialogWidth);
    if (dialog == nullptr)
        return;

    int row = dialog->getTopInnerElements();
    int const first = row;
    int const x = dialog->margins();
    int const width = kDialogWidth - 2 * dialog->margins();

    addDisplayNumberEdit(dialog, row, x, width, IIso, 6, 0, QString(QChar(0x3382)));
    addDisplayNumberEdit(dialog, row, x, width, RIso, 9, 4, QStringLiteral("k%1").arg(QChar(0x2126)));
    row += 15;
    addElements(dialog, row, x, width);
    dialog->setHeightInnerElements(row - first);

    QAbstractButton* start = dialog->insertAcceptButton(QStringLiteral("Start"), false, false);
    if (start != nullptr) {
        connect(start, &QAbstractButton::clicked, this, &DSLLonCalibration::slotIsoStart);
        setButtonImage(start, Path::icon(QStringLiteral("active.svg")), -1, -1);
    }
    insertCloseButton(false);

    dialog->show();
    pollCalibrationValues();
}
