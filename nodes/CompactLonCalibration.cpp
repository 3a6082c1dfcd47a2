#include "nodes/CompactLonCalibration.h"

#include <QCoreApplication>
#include <cstring>

#include "host/ConfigStore.h"
#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/IParameterControl.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 3;
constexpr unsigned char kCompensationNode = 17;
constexpr int kLeftColumnWidth = 300;
constexpr int kRightColumnWidth = 250;

// The three variables of node 3 and where their bytes sit in NVT_CAL_HVS.
struct RecordPart
{
    int offset;
    unsigned int length;
    int flagOffset;
    unsigned short pollId;
    unsigned short writeId;
};

constexpr RecordPart kParts[] = {
    {0, 6, 6, 898, 897},
    {7, 2, 9, 900, 899},
    {10, 2, 12, 902, 901},
};

struct NodeByte
{
    CalibrationParameters parameter;
    int offset;
    int part;
};

constexpr NodeByte kNodeBytes[] = {
    {UNomOffset, 0, 0},    {UNomGain2kV, 1, 0}, {UNomGain8kV, 2, 0},  {UNomGain32kV, 3, 0}, {UNomGain80kV, 4, 0},
    {UNomGainRes, 5, 0},   {UIntOffset, 7, 1},  {UIntGain, 8, 1},     {IIntOffset, 10, 2},  {IIntGain, 11, 2},
};


NodeByte const* nodeByte(CalibrationParameters parameter)
{
    for (NodeByte const& entry : kNodeBytes) {
        if (entry.parameter == parameter)
            return &entry;
    }
    return nullptr;
}

} // namespace

CompactLonCalibration::CompactLonCalibration(IModuleControl* control, ILon* lon)
    : NodeLonCalibrationBase(control), m_lon(lon)
{
    if (control != nullptr)
        m_parameterControl = dynamic_cast<IParameterControl*>(control->getModule("IParameterControl"));

    if (getConfig() == nullptr)
        return;
    // Read even without a parameter service: every send writes these values back
    // to the configuration, which must not turn stored values into zeros.
    m_compensation.load();
    m_compensation.publish(m_parameterControl);
}

void CompactLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode)
        return;
    // The intake hands over its whole assembly whenever one part arrives, and
    // the other parts in it may be older than what was written since. Only a
    // part that is new in the assembly replaces this copy's part.
    NVT_CAL_HVS const arrived = data.getCalHVS();
    auto const* in = reinterpret_cast<unsigned char const*>(&arrived);
    auto const* before = reinterpret_cast<unsigned char const*>(&m_lastArrived);
    for (RecordPart const& part : kParts) {
        bool const present = in[part.flagOffset] != 0;
        bool const changed = before[part.flagOffset] == 0 ||
                             std::memcmp(in + part.offset, before + part.offset, part.length) != 0;
        if (present && changed) {
            std::memcpy(recordBytes() + part.offset, in + part.offset, part.length);
            recordBytes()[part.flagOffset] = 1;
        }
    }
    m_lastArrived = arrived;
    valueReceived(true);
}

void CompactLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    bool anyReceived = false;
    for (RecordPart const& part : kParts) {
        if (recordBytes()[part.flagOffset] != 0)
            anyReceived = true;
        else
            m_lon->pollNV(part.pollId);
    }
    if (anyReceived)
        valueReceived(true);
}

bool CompactLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                       bool* valid) const
{
    bool isValid = true;
    if (NodeByte const* entry = nodeByte(parameter)) {
        value = static_cast<int8_t>(recordBytes()[entry->offset]);
        isValid = recordBytes()[kParts[entry->part].flagOffset] != 0;
    } else if (CompensationValues::holds(parameter)) {
        value = m_compensation.value(parameter);
    } else {
        if (valid != nullptr)
            *valid = false;
        return false;
    }
    if (valid != nullptr)
        *valid = isValid;
    return true;
}

bool CompactLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    if (NodeByte const* entry = nodeByte(parameter))
        recordBytes()[entry->offset] = static_cast<unsigned char>(value & 0xFF);
    else if (CompensationValues::holds(parameter))
        m_compensation.setValue(parameter, value);
    else
        return false;
    valueChanged();
    return true;
}

unsigned char CompactLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    if (nodeByte(parameter) != nullptr)
        return kNode;
    if (CompensationValues::holds(parameter))
        return kCompensationNode;
    return 0;
}

void CompactLonCalibration::sendCalibUpdateToLon()
{
    if (m_lon != nullptr) {
        NVData data;
        for (RecordPart const& part : kParts) {
            if (recordBytes()[part.flagOffset] == 0)
                continue;
            data.setData(recordBytes() + part.offset, part.length);
            m_lon->sendNV(part.writeId, data);
        }
    }

    m_compensation.publish(m_parameterControl);
    m_compensation.save();
}

void CompactLonCalibration::addNodeRows(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in HVS"));
    addCalibrationNumberEdit(parent, row, x, width, UNomOffset, 3, 0, QString());
    row += 5;
    for (CalibrationParameters gain : {UNomGain80kV, UNomGain32kV, UNomGain8kV, UNomGain2kV, UNomGainRes})
        addCalibrationNumberEdit(parent, row, x, width, gain, 3, 0, QString());
    row += 5;
    for (CalibrationParameters internal : {UIntOffset, UIntGain, IIntOffset, IIntGain})
        addCalibrationNumberEdit(parent, row, x, width, internal, 3, 0, QString());
    row += 5;
}

void CompactLonCalibration::addCompensationRows(QWidget* parent, int& row, int x, int width)
{
    createTitle(parent, row, x, width, QCoreApplication::translate("Dialog", "Data in CON"));
    NumberEdit* enable = addSwitchNumberEdit(parent, row, x, width, EnableComp, false);
    enable->showNumber(m_compensation.isEnabled() ? 1 : 0);

    for (int i = 0; i < CompensationValues::RangeCount; ++i) {
        CalibrationParameters const parameter = CompensationValues::range(i);
        addCompensationNumberEdit(parent, row, x, width, parameter, CompensationValues::readConfigured(parameter));
    }
    row += 5;
}

void CompactLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    addNodeRows(parent, row, x, width);
    addCompensationRows(parent, row, x, width);
}

void CompactLonCalibration::addElements(QWidget* parent, int& row, int x, int width, int& row2, int x2, int width2)
{
    addNodeRows(parent, row, x, width);
    addCompensationRows(parent, row2, x2, width2);
}

void CompactLonCalibration::openCalibrationDialog()
{
    DialogWindow* window = openNodeDialog(QStringLiteral("Calibrate Compact"), QT_TRANSLATE_NOOP("Menu", "DC"), 0);
    if (window == nullptr)
        return;
    window->setHideKeyboard(true);
    int const width = twoColumnDialogWidth(window, kLeftColumnWidth + kRightColumnWidth);
    window->setGeometry(0, 0, width, 0);

    int const first = window->getTopInnerElements();
    int const margin = window->margins();
    int left = first;
    addDisplayNumberEdit(window, left, margin, kLeftColumnWidth, URef, 5, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(window, left, margin, kLeftColumnWidth, UInt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(window, left, margin, kLeftColumnWidth, UExt, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(window, left, margin, kLeftColumnWidth, IInt, 6, 0, QString(QChar(0x3382)));
    left += 15;
    int right = first;
    addElements(window, left, margin, kLeftColumnWidth, right, width - kRightColumnWidth - margin,
                kRightColumnWidth);
    window->setHeightInnerElements(qMax(left, right) - first);

    insertCloseButton(true);
    window->show();
    pollCalibrationValues();
}
