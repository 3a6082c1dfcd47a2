#include "nodes/VLFLonCalibration.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QTimer>

#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/Path.h"
#include "nodes/ByteLayout.h"
#include "module/ILonCalibrationDCCallback.h"

using namespace LonCalibrationTypes;

namespace {

constexpr unsigned char kNode = 28;
constexpr unsigned char kAdapterNode = 30;
constexpr unsigned char kCounterNode = 29;
constexpr unsigned short kCounterVersion = 0x107;
constexpr unsigned short kConfigurationPoll = 0x1C77;
constexpr unsigned char kCalibrationWriteIndex = 116;
constexpr unsigned char kCalibrationPollIndex = 117;
constexpr unsigned char kCounterWriteIndex = 120;
constexpr unsigned char kCounterPollIndex = 121;
constexpr int kNvlfHardware = 11;
constexpr int kHvOnState = 3;
constexpr int kHvActiveState = 6;
constexpr int kDischargeState = 7;
constexpr int kColumnWidth = 300;
constexpr int kVnomButtonWidth = 250;
constexpr int kButtonIconSize = 23;
constexpr int kRecheckDelayMs = 1000;
// The cycle counter travels as 100 times the shown value.
constexpr long long kCycleScale = 100;
constexpr long long kAdapterCurrentMaximum = 85000;

// NVH_CAL_HVLF, byte by byte; the dialog shows the rows in this order too.
constexpr ByteField kLayout[] = {
    {UNomNegOffset, 0}, {UNomNegGain, 1}, {UNomPosOffset, 2}, {UNomPosGain, 3},
    {UOutOffset, 4},    {UOutGain, 5},    {INomOffset, 6},    {INomGain, 7},
    {IOutNegOffset, 8}, {IOutNegGain, 9}, {IOutPosOffset, 10}, {IOutPosGain, 11},
};

// One row per calibration the switches can select; shares set the set point.
struct CalibrationRow
{
    SwitchParameters enableSwitch;
    CalibrationParameters first;
    CalibrationParameters second;
    int voltageShare;
    int currentShare;
    bool currentCalibration;
};

constexpr CalibrationRow kRows[] = {
    {EnableUNomOffset, UNomNegOffset, UNomPosOffset, 1, 100, false},
    {EnableUNomGain, UNomNegGain, UNomPosGain, 100, 100, false},
    {EnableUOutOffset, UOutOffset, CalParamNone, 1, 100, false},
    {EnableUOutGain, UOutGain, CalParamNone, 100, 100, false},
    {EnableINomOffset, INomOffset, CalParamNone, 25, 4, true},
    {EnableINomGain, INomGain, CalParamNone, 25, 100, true},
    {EnableIOutOffset, IOutNegOffset, IOutPosOffset, 0, 0, true},
    {EnableIOutGain, IOutNegGain, IOutPosGain, 25, 100, true},
};
constexpr int kRowCount = int(sizeof(kRows) / sizeof(kRows[0]));
// The I-out gain row, which the 60 kV / 25 uF adapter calibrates at a lower voltage.
constexpr int kIOutGainRow = 7;
constexpr int kAdapterIOutGainShare = 4;

// Current maximum by the adapter's HV level.
struct AdapterCurrent
{
    int level;
    long long maximum;
    long long highPowerMaximum;
};

constexpr AdapterCurrent kAdapterCurrents[] = {
    {28, 12000, 12000},
    {40, 7000, 7000},
    {60, 5000, 17100},
    {80, 12500, 12500},
};

bool isKnownAdapterLevel(int level)
{
    for (AdapterCurrent const& entry : kAdapterCurrents) {
        if (entry.level == level)
            return true;
    }
    return false;
}

unsigned short nvId(unsigned char node, unsigned char index)
{
    return static_cast<unsigned short>(node << 8 | index);
}

QString formatted(double value)
{
    return QString::number(value, 'g');
}

} // namespace

VLFLonCalibration::VLFLonCalibration(IModuleControl* control, ILon* lon) : NodeLonCalibrationBase(control), m_lon(lon)
{
    ParameterReceiver::initialize(control);
    StateEvent::initialize(control);
    registerStateEvent();
    setMetaMethodForReachedState(kHvActiveState, this, "HVActivated(QVariant)");
    setMetaMethodForRequestedState(kDischargeState, this, "HVDischarging(QVariant)");
    if (control != nullptr)
        m_lonManagement = dynamic_cast<ILonManagement*>(control->getModule("ILonManagement"));
}

VLFLonCalibration::~VLFLonCalibration()
{
    removeMetaMethods();
    unregisterStateEvent();
    // A question still open could only call back into a node that is gone.
    dropWarning();
}

unsigned char VLFLonCalibration::vlfNode()
{
    if (HWConfiguration::getHardware() == kNvlfHardware)
        return kNode;
    return HWConfiguration::hasPruefzusatz60kV_25uF() ? kAdapterNode : kNode;
}

long long VLFLonCalibration::currentMaximum() const
{
    if (HWConfiguration::hasPruefzusatz60kV_25uF())
        return kAdapterCurrentMaximum;
    if (m_currentMaximumConfigured)
        return static_cast<long long>(m_configuration.currentMax) * 100;
    int const level = HWConfiguration::pruefzusatzHvLevel();
    for (AdapterCurrent const& entry : kAdapterCurrents) {
        if (entry.level == level)
            return HWConfiguration::isPruefzusatzHighPower() ? entry.highPowerMaximum : entry.maximum;
    }
    return 0;
}

long long VLFLonCalibration::setPointVoltage(int row) const
{
    int const level = HWConfiguration::pruefzusatzHvLevel();
    if (!isKnownAdapterLevel(level))
        return 0;
    int share = kRows[row].voltageShare;
    if (row == kIOutGainRow && HWConfiguration::hasPruefzusatz60kV_25uF())
        share = kAdapterIOutGainShare;
    return static_cast<long long>(share) * level;
}

long long VLFLonCalibration::setPointCurrent(int row) const
{
    return currentMaximum() * kRows[row].currentShare / 100;
}

int VLFLonCalibration::selectedRow() const
{
    int selected = -1;
    for (int i = 0; i < kRowCount; ++i) {
        NumberEdit* enableSwitch = getSwitchNumberEdit(kRows[i].enableSwitch);
        if (enableSwitch != nullptr && enableSwitch->getNumber() == 1)
            selected = i;
    }
    return selected;
}

void VLFLonCalibration::setCalibrationValues(unsigned char node, NVData const& data)
{
    if (node != kNode && node != kAdapterNode)
        return;
    m_calibration = data.getCalHVLF();
    m_calibrationReceived = true;
    // While the dialog is open only a switch may enable a row.
    valueReceived(!m_dialogOpen);
}

void VLFLonCalibration::setCounterValues(NVData const& data)
{
    m_counters = data.getNVH_CNT_HVLF();
    m_countersReceived = true;
    valueReceived(!m_dialogOpen);
}

void VLFLonCalibration::setConfigurationValues(NVData const& data)
{
    m_configuration = data.getNVH_CFG_HVLF();
    m_currentMaximumConfigured = m_configuration.currentMax != 0;
}

void VLFLonCalibration::setDcCallback(ILonCalibrationDCCallback* callback)
{
    m_dcCallback = callback;
}

void VLFLonCalibration::pollCalibrationValues()
{
    if (m_lon == nullptr)
        return;
    unsigned char const node = vlfNode();
    if (!m_currentMaximumConfigured && !HWConfiguration::hasPruefzusatz60kV_25uF())
        m_lon->pollNV(kConfigurationPoll);
    if (!m_countersReceived)
        m_lon->pollNV(nvId(node, kCounterPollIndex));
    showOrPoll(m_lon, m_calibrationReceived, nvId(node, kCalibrationPollIndex));
}

bool VLFLonCalibration::getValueFromInternalBuffer(CalibrationParameters parameter, long long& value,
                                                   bool* valid) const
{
    bool isValid = false;
    int const byte = byteOf(kLayout, parameter);
    if (byte >= 0) {
        value = signedByte(m_calibration, byte);
        isValid = m_calibrationReceived;
    } else if (parameter == VlfStartCounter) {
        value = m_counters.startCounter;
        isValid = m_countersReceived;
    } else if (parameter == VlfCycleCounter) {
        value = m_counters.cycleCounter / kCycleScale;
        isValid = m_countersReceived;
    } else if (parameter == VlfCurrentMaximum) {
        value = currentMaximum();
        isValid = m_currentMaximumConfigured;
    } else {
        if (valid != nullptr)
            *valid = false;
        return false;
    }
    if (valid != nullptr)
        *valid = isValid;
    return true;
}

bool VLFLonCalibration::setValueToInternalBuffer(CalibrationParameters parameter, long long value)
{
    int const byte = byteOf(kLayout, parameter);
    if (byte >= 0) {
        storeLowByte(m_calibration, byte, value);
    } else if (parameter == VlfStartCounter || parameter == VlfCycleCounter) {
        // A counter that does not fit its field would reach the node wrapped:
        // refused, and the dialog shows the stored value again.
        if (!fitsField(parameter, NVData::m_NetworkType, value)) {
            valueReceived(parameter, true);
            return false;
        }
        if (parameter == VlfStartCounter)
            m_counters.startCounter = static_cast<uint16_t>(value);
        else
            m_counters.cycleCounter = static_cast<uint32_t>(value * kCycleScale);
    } else {
        return false;
    }
    valueChanged();
    return true;
}

unsigned char VLFLonCalibration::getNodeIdForCalibrationParameter(CalibrationParameters parameter) const
{
    return parameter >= UNomNegGain && parameter <= VlfCycleCounter ? vlfNode() : 0;
}

void VLFLonCalibration::sendCalibUpdateToLon()
{
    if (m_lon == nullptr)
        return;
    unsigned char const node = vlfNode();
    NVData data;
    if (m_countersReceived) {
        data.setNVH_CNT_HVLF(m_counters);
        m_lon->sendNV(nvId(node, kCounterWriteIndex), data);
    }
    if (m_calibrationReceived) {
        data.setCalHVLF(m_calibration);
        m_lon->sendNV(nvId(node, kCalibrationWriteIndex), data);
    }
}

void VLFLonCalibration::addElements(QWidget* parent, int& row, int x, int width)
{
    QString title = QCoreApplication::translate("Dialog", "Data in HVLF / HTDS");
    if (HWConfiguration::getHardware() == kNvlfHardware)
        title = QCoreApplication::translate("Dialog", "Data in NVLF");
    else if (HWConfiguration::hasPruefzusatz60kV_25uF())
        title = QCoreApplication::translate("Dialog", "Data in HVCE");
    createTitle(parent, row, x, width, title);

    // Offset before gain, a gap after each pair.
    for (ByteField const& field : kLayout) {
        addCalibrationNumberEdit(parent, row, x, width, field.parameter, 3, 0, QString());
        if (field.byte % 2 == 1)
            row += 5;
    }

    bool const hasCounters =
        m_lonManagement != nullptr
        && (m_lonManagement->checkNodeVersion(kNode, kCounterVersion)
            || m_lonManagement->checkNodeVersion(kCounterNode, kCounterVersion)
            || HWConfiguration::hasPruefzusatz60kV_25uF());
    if (hasCounters) {
        addCounterCalibrationNumberEdit(parent, row, x, width, VlfStartCounter, 5, 0, QString());
        addCounterCalibrationNumberEdit(parent, row, x, width, VlfCycleCounter, 6, 0,
                                        QStringLiteral("%1 100").arg(QChar(0x00D7)));
        row += 5;
    }
}

void VLFLonCalibration::openCalibrationDialog()
{
    DialogWindow* window = openNodeDialog(QStringLiteral("Calibrate VLF"), QT_TRANSLATE_NOOP("Menu", "VLF"), 0);
    if (window == nullptr)
        return;
    window->setHideKeyboard(true);
    int const width = twoColumnDialogWidth(window, 2 * kColumnWidth);
    window->setGeometry(0, 0, width, 0);

    int const first = window->getTopInnerElements();
    int const margin = window->margins();
    int left = first;
    addDisplayNumberEdit(window, left, margin, kColumnWidth, URefVlf, 5, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(window, left, margin, kColumnWidth, UVlf, 4, 2, QStringLiteral("kV"));
    addDisplayNumberEdit(window, left, margin, kColumnWidth, IVlf, 6, 0, QString(QChar(0x3382)));
    left += 15;
    for (int i = 0; i < kRowCount; ++i) {
        NumberEdit* enableSwitch = addSwitchNumberEdit(window, left, margin, kColumnWidth, kRows[i].enableSwitch);
        connect(enableSwitch, &NumberEdit::numberChanged, this, &VLFLonCalibration::changeEnableVlf);
        if (i % 2 == 0)
            left += 5;
    }

    int right = first;
    addElements(window, right, width - kColumnWidth - margin, kColumnWidth);
    window->setHeightInnerElements(qMax(left, right) - first);

    m_okButton = insertCloseButton(true);
    m_dialogOpen = true;
    window->show();
    pollCalibrationValues();
    updateVnomButtonVlf();
}

void VLFLonCalibration::changeEnableVlf(NumberEdit* pNumberEdit)
{
    long long const step = getParameter(ParamVlfCalibrationStep, 0);
    bool const firstAllowed = step == 41 || step == 49;
    bool const secondAllowed = step == 42 || step == 50;

    int selected = -1;
    for (int i = 0; i < kRowCount; ++i) {
        CalibrationRow const& entry = kRows[i];
        NumberEdit* enableSwitch = getSwitchNumberEdit(entry.enableSwitch);
        NumberEdit* first = getCalibrationNumberEdit(entry.first);
        NumberEdit* second = entry.second != CalParamNone ? getCalibrationNumberEdit(entry.second) : nullptr;
        if (enableSwitch != nullptr && enableSwitch == pNumberEdit && enableSwitch->getNumber() == 1) {
            selected = i;
            if (first != nullptr)
                first->setEnabled(firstAllowed);
            if (second != nullptr)
                second->setEnabled(secondAllowed);
            continue;
        }
        if (enableSwitch != nullptr)
            enableSwitch->showNumber(0);
        if (first != nullptr)
            first->setEnabled(false);
        if (second != nullptr)
            second->setEnabled(false);
    }

    if (selected < 0)
        emit sctsCalibrationFlagsChanged(false, false);
    else if (kRows[selected].currentCalibration)
        emit sctsCalibrationFlagsChanged(true, false);
    else
        emit sctsCalibrationFlagsChanged(false, true);
    updateVnomButtonVlf();
}

void VLFLonCalibration::updateVnomButtonVlf()
{
    DialogWindow* window = dialog();
    if (window == nullptr)
        return;
    int const row = selectedRow();

    QString message;
    if (m_dcCallback != nullptr) {
        int const level = HWConfiguration::pruefzusatzHvLevel();
        if (static_cast<long long>(m_dcCallback->getVoltageRange() / 10) < level)
            message = QCoreApplication::translate("Dialog", "Set Voltage Range to %1 kV").arg(level);
        else if (!m_dcCallback->isHvReady() || getCurrentState() != kHvOnState)
            message = QCoreApplication::translate("Dialog", "Switch HvOn");
    }

    if (m_dcCallback == nullptr || (row < 0 && message.isEmpty())) {
        if (m_vnomButton) {
            window->removeRejectButton();
            m_vnomButton = nullptr;
        }
        return;
    }

    if (!m_vnomButton) {
        m_vnomButton = window->insertRejectButton(QString(), false, false);
        if (!m_vnomButton)
            return;
        m_vnomButton->resize(kVnomButtonWidth, m_vnomButton->height());
        connect(m_vnomButton.data(), &QAbstractButton::clicked, this, &VLFLonCalibration::setHvNomVlf);
    }
    m_vnomButton->show();

    if (!message.isEmpty()) {
        setButtonImage(m_vnomButton, Path::image(QStringLiteral("error_Normal.svg")), kButtonIconSize,
                       kButtonIconSize);
        m_vnomButton->setText(message);
        m_vnomButton->setEnabled(false);
        if (m_okButton)
            m_okButton->setFocus();
        return;
    }

    long long const voltage = setPointVoltage(row);
    long long const current = setPointCurrent(row);
    bool const belowPresent = static_cast<long long>(m_dcCallback->getNominalVoltage()) > voltage;
    if (belowPresent)
        setButtonImage(m_vnomButton, Path::image(QStringLiteral("error_normal.svg")), kButtonIconSize,
                       kButtonIconSize);
    else
        setButtonImage(m_vnomButton, Path::icon(QStringLiteral("voltage_nom.svg")), kButtonIconSize,
                       kButtonIconSize);
    m_vnomButton->setEnabled(!belowPresent);

    if (row == kIOutGainRow && HWConfiguration::hasPruefzusatz60kV_25uF())
        m_vnomButton->setText(QCoreApplication::translate("Dialog", "U-nom %1 kV").arg(formatted(voltage / 100.0)));
    else
        m_vnomButton->setText(QCoreApplication::translate("Dialog", "U-nom %1 kV, I-nom %2 mA")
                                  .arg(formatted(voltage / 100.0), formatted(current / 1000.0)));

    if (m_okButton && belowPresent)
        m_okButton->setFocus();
    else if (voltage > static_cast<long long>(m_dcCallback->getNominalVoltage()))
        m_vnomButton->setFocus();
}

void VLFLonCalibration::setHvNomVlf()
{
    int const row = selectedRow();
    if (row < 0 || m_dcCallback == nullptr)
        return;
    long long const voltage = setPointVoltage(row);
    if (voltage <= static_cast<long long>(m_dcCallback->getNominalVoltage())) {
        dropWarning();
        setHvNomVlfSend();
        return;
    }

    QWidget* parent = mainWindow();
    if (parent == nullptr)
        return;
    // A second click replaces the question rather than stacking another one.
    dropWarning();
    m_warningDialog = new DialogWindow(parent, nullptr);
    m_warningDialog->setHideKeyboard(true);
    m_warningDialog->setTitle(QCoreApplication::translate("Dialog", "Warning"));
    m_warningDialog->setMessage(
        QCoreApplication::translate("Dialog", "Set U-nom to %1 kV?").arg(formatted(voltage / 100.0)));
    if (QAbstractButton* yes
        = m_warningDialog->insertAcceptButton(QCoreApplication::translate("Dialog", "Yes"), false, true))
        connect(yes, &QAbstractButton::clicked, this, &VLFLonCalibration::setHvNomVlfSend);
    if (QAbstractButton* no
        = m_warningDialog->insertRejectButton(QCoreApplication::translate("Dialog", "No"), true, true))
        connect(no, &QAbstractButton::clicked, this, &VLFLonCalibration::setHvNomVlfAbort);
    m_warningDialog->setWarningIcon();
    m_warningDialog->show();
}

void VLFLonCalibration::setHvNomVlfAbort()
{
    dropWarning();
}

void VLFLonCalibration::setHvNomVlfSend()
{
    dropWarning();
    int const row = selectedRow();
    if (row < 0)
        return;
    updateVnomButtonVlf();
    if (m_dcCallback != nullptr)
        m_dcCallback->setNominal(static_cast<unsigned int>(setPointVoltage(row) / 10),
                                 static_cast<unsigned int>(setPointCurrent(row)));
    NumberEdit* first = getCalibrationNumberEdit(kRows[row].first);
    if (first != nullptr && first->isShowNumber())
        first->setFocus();
}

void VLFLonCalibration::dropWarning()
{
    if (m_warningDialog)
        m_warningDialog->deleteLater();
    m_warningDialog = nullptr;
}

void VLFLonCalibration::HVActivated(QVariant oldState)
{
    Q_UNUSED(oldState)
    if (m_dialogOpen)
        QTimer::singleShot(kRecheckDelayMs, this, &VLFLonCalibration::updateVnomButtonVlf);
}

void VLFLonCalibration::HVDischarging(QVariant oldState)
{
    Q_UNUSED(oldState)
    if (!m_dialogOpen)
        return;
    cleanUp();
    updateVnomButtonVlf();
}

void VLFLonCalibration::cleanUp()
{
    NodeLonCalibrationBase::cleanUp();
    emit sctsCalibrationFlagsChanged(false, false);
    m_dialogOpen = false;
    m_okButton = nullptr;
    m_vnomButton = nullptr;
}
