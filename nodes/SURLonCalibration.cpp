#include "nodes/SURLonCalibration.h"

#include <QCoreApplication>

#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/NVData.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 20;
constexpr unsigned short kCalibrationPoll = 0x1475;
constexpr unsigned short kCalibrationWrite = 0x1474;
constexpr unsigned short kCounterPoll = 0x1479;
constexpr unsigned short kCounterWrite = 0x1478;
constexpr unsigned short kNewCounterVersion = 0x206;
constexpr int kNsurHardware = 11;
constexpr int kDialogWidth = 400;
// Fields hold ten times the shown value in 16 bits.
constexpr long long kScale = 10;

// Word of each record that holds a counter, by layout (VSUR, HSUR, HCNT, NSUR, none); -1: not held.
struct CounterWords
{
    CalibrationParameters parameter;
    int word[5];
};

constexpr CounterWords kCounterWords[] = {
    {SurgeCounter2kV, {0, 0, 0, -1, -1}},   {SurgeCounter8kV, {-1, -1, 1, 0, -1}},
    {SurgeCounter12kV, {-1, -1, -1, 1, -1}}, {SurgeCounter16kV, {-1, -1, -1, 2, -1}},
    {SurgeCounter32kV, {1, 1, 2, 3, -1}},    {SurgeCounter60kV, {-1, -1, 3, -1, -1}},
};

QString counterUnit()
{
    return QStringLiteral("%1 100").arg(QChar(0x00D7));
}

} // namespace

SURLonCalibration::SURLonCalibration(IModuleControl* control, ILon* lon) : NodeLonCalibrationBase(control), m_lon(lon)
{
    if (NVData::m_NetworkType != 3 || control == nullptr)
        return;
    if (auto* management = dynamic_cast<ILonManagement*>(control->getModule("ILonManagement")))
        m_newCounters = management->checkNodeVersion(kNode, kNewCounterVersion);
}

SURLonCalibration::Layout SURLonCalibration::layout() const
{
    switch (NVData::m_NetworkType) {
    case 2:
        return LayoutVsur;
    case 3:
        return m_newCounters ? LayoutHcnt : LayoutHsur;
    case 9:
        return LayoutNsur;
    default:
        return LayoutNone;
    }
}

int SURLonCalibration::wordOf(CalibrationParameters parameter) const
{
    for (CounterWords const& entry : kCounterWords) {
        if (entry.parameter == parameter)
            return entry.word[layout()];
    }
    return -1;
}

bool SURLonCalibration::activeRecordReceived() const
{
    switch (layout()) {
    case LayoutHcnt:
    case LayoutNsur:
        return m_countersReceived;
    default:
        return m_calibrationReceived;
    }
}

unsigned int SURLonCalibration::readWord(int word) const
{
    switch (layout()) {
    case LayoutVsur: {
        uint8_t const* bytes = word == 0 ? m_oldCalibration.counter2kV : m_oldCalibration.counter32kV;
        return static_cast<unsigned int>(bytes[0]) << 8 | bytes[1];
    }
    case LayoutHsur:
        return m_newCalibration.counter[word];
    case LayoutHcnt:
        return m_counters.counter[word];
    case LayoutNsur:
        return m_networkCounters.counter[word];
    default:
        return 0;
    }
}

void SURLonCalibration::writeWord(int word, unsigned int value)
{
    auto const word16 = static_cast<uint16_t>(value);
    switch (layout()) {
    case LayoutVsur: {
        uint8_t* bytes = word == 0 ? m_oldCalibration.counter2kV : m_oldCalibration.counter32kV;
        bytes[0] = static_cast<uint8_t>(word16 >> 8);
        bytes[1] = static_cast<uint8_t>(word16 & 0xFF);
        break;
    }
    case LayoutHsur:
        m_newCalibration.counter[word] = word16;
        break;
    case LayoutHcnt:
        m_counters.counter[word] = word16;
        break;
    case LayoutNsur:
        m_networkCounters.counter[word] = word16;
        break;
    default:
        break;
    }
}

void SURLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    if (NVData::m_NetworkType == 3)
        m_newCalibration = data.getCalHSUR();
    else
        m_oldCalibration = data.getCalVSUR();
    m_calibrationReceived = true;
    valueReceived(true);
}

void SURLonCalibration::setCounterValues(NVData const& data)
{
    if (NVData::m_NetworkType == 3)
        m_counters = data.getCntHSUR();
    else if (NVData::m_NetworkType == 9)
        m_networkCounters = data.getNVS_CNT_NSUR();
    else
        return;
    m_countersReceived = true;
    valueReceived(true);
}

void SURLonCalibration::pollCalibrationValues()
{
    if (activeRecordReceived()) {
        valueReceived(true);
        return;
    }
    if (m_lon == nullptr)
        return;
    bool const countersOnly = m_newCounters || NVData::m_NetworkType == 9;
    m_lon->pollNV(countersOnly ? kCounterPoll : kCalibrationPoll);
}

bool SURLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                   bool* valid) const
{
    int const word = wordOf(parameter);
    if (valid != nullptr)
        *valid = word >= 0 && activeRecordReceived();
    if (word < 0)
        return false;
    value = readWord(word) / kScale;
    return true;
}

bool SURLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    int const word = wordOf(parameter);
    if (word < 0)
        return false;
    // Ten times the value must fit the 16-bit field; a wrapped counter would be
    // written to the node. Refused, and the dialog shows the stored value again.
    if (!fitsField(parameter, NVData::m_NetworkType, value)) {
        valueReceived(parameter, true);
        return false;
    }
    writeWord(word, static_cast<unsigned int>(value * kScale));
    valueChanged();
    return true;
}

unsigned char SURLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return parameter >= SurgeCounter2kV && parameter <= SurgeCounter60kV ? kNode : 0;
}

void SURLonCalibration::sendCalibUpdateToLon()
{
    if (m_lon == nullptr || !activeRecordReceived())
        return;
    NVData data;
    switch (layout()) {
    case LayoutNsur:
        data.setNVS_CNT_NSUR(m_networkCounters);
        m_lon->sendNV(kCounterWrite, data);
        break;
    case LayoutHcnt:
        data.setCntHSUR(m_counters);
        m_lon->sendNV(kCounterWrite, data);
        break;
    case LayoutHsur:
        data.setCalHSUR(m_newCalibration);
        m_lon->sendNV(kCalibrationWrite, data);
        break;
    default:
        data.setCalVSUR(m_oldCalibration);
        m_lon->sendNV(kCalibrationWrite, data);
        break;
    }
}

void SURLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    bool const nsur = HWConfiguration::getHardware() == kNsurHardware;
    QString const title = nsur       ? QCoreApplication::translate("Dialog", "Data in NSUR")
        : NVData::m_NetworkType == 3 ? QCoreApplication::translate("Dialog", "Data in HSUR")
                                     : QCoreApplication::translate("Dialog", "Data in VSUR");
    createTitle(parent, row, x, width, title);

    QList<CalibrationParameters> rows;
    if (nsur) {
        rows = {SurgeCounter8kV, SurgeCounter12kV, SurgeCounter16kV, SurgeCounter32kV};
    } else {
        rows.append(SurgeCounter2kV);
        if (m_newCounters)
            rows.append(SurgeCounter8kV);
        rows.append(SurgeCounter32kV);
        if (m_newCounters)
            rows.append(SurgeCounter60kV);
    }
    for (CalibrationParameters parameter : qAsConst(rows))
        addCounterCalibrationNumberEdit(parent, row, x, width, parameter, 4, 0, counterUnit());
    row += 5;
}

void SURLonCalibration::openCalibrationDialog()
{
    DialogWindow* dialog = openNodeDialog(
        QStringLiteral("Calibrate Surge counter"), QT_TRANSLATE_NOOP("Menu", "Surge Counters"), kDialogWidth);
    if (dialog == nullptr)
        return;
    int row = dialog->getTopInnerElements();
    int const first = row;
    int const x = dialog->margins();
    addElements(dialog, row, x, kDialogWidth - 2 * x);
    dialog->setHeightInnerElements(row - first);
    insertCloseButton(true);
    dialog->show();
    pollCalibrationValues();
}
