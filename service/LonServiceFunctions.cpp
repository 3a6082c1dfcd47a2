#include "service/LonServiceFunctions.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <algorithm>

#include "host/Button.h"
#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/IParameterControl.h"
#include "host/IStatemachine.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/PasswordDialog.h"
#include "host/Path.h"
#include "host/SvgLoader.h"
#include "module/ITestFacilityModeCallback.h"
#include "data/ServiceLog.h"

using namespace LonCalibrationTypes;

namespace {

// Where each test function lives in the service record: bits of NVS_SERVICE
// byte 1, of the service byte, and of NVH_SERVICE_3 bytes 0 and 1.
struct TestFunctionBits
{
    TestFunctions function;
    uint8_t nvsFunctions;
    uint8_t serviceByte;
    uint8_t service3Mode;
    uint8_t service3Functions;
};

constexpr TestFunctionBits kTestFunctionBits[] = {
    {OvdHhvs, 0x00, 0x10, 0x00, 0x01}, {OvdHsur, 0x00, 0x20, 0x00, 0x02}, {OvdHsel, 0x00, 0x40, 0x00, 0x04},
    {OvdHbrn, 0x00, 0x80, 0x00, 0x08}, {OvdHvce, 0x04, 0x00, 0x00, 0x00}, {PnHvce, 0x02, 0x00, 0x00, 0x00},
    {PpHvce, 0x01, 0x00, 0x00, 0x00},  {DcMax, 0x00, 0x04, 0x04, 0x00},   {OvdNsur, 0x08, 0x00, 0x00, 0x00},
    {OvdNvlf, 0x04, 0x00, 0x00, 0x00}, {PnNvlf, 0x02, 0x00, 0x00, 0x00},  {PpNvlf, 0x01, 0x00, 0x00, 0x00},
};

TestFunctionBits const* bitsOf(TestFunctions function)
{
    auto const it = std::find_if(std::begin(kTestFunctionBits), std::end(kTestFunctionBits),
                                 [function](TestFunctionBits const& bits) { return bits.function == function; });
    return it == std::end(kTestFunctionBits) ? nullptr : it;
}

// Dialog rows per hardware; the U-max row follows where the hardware has one.
constexpr TestFunctions kRowsNsur[] = {OvdNsur, OvdNvlf, PnNvlf, PpNvlf};
constexpr TestFunctions kRowsHvDc[] = {DcMax};
constexpr TestFunctions kRowsHvce[] = {OvdHvce, PnHvce, PpHvce};
constexpr TestFunctions kRowsGeneral[] = {OvdHhvs, OvdHsur, OvdHsel, OvdHbrn, DcMax};

void setBits(uint8_t& byte, uint8_t mask, bool on)
{
    if (on)
        byte = static_cast<uint8_t>(byte | mask);
    else
        byte = static_cast<uint8_t>(byte & ~mask);
}

constexpr uint8_t kCalibrationNvs = 0xC0;  // NVS_SERVICE byte 1, bits 7 and 6
constexpr uint8_t kSctsCurrent = 0x10;
constexpr uint8_t kSctsVoltage = 0x20;
constexpr uint8_t kNvsTestFunctions = 0x0F;
constexpr uint8_t kCalibrationBit = 0x01;   // service byte and NVH_SERVICE_3 byte 0
constexpr uint8_t kRelaxBit = 0x02;
constexpr uint8_t kBurnInBit = 0x08;        // NVH_SERVICE_3 byte 0
constexpr uint8_t kPsuFlagsChanged = 0x80;  // NVH_SERVICE_3 byte 0
constexpr uint8_t kPsuEnabled = 0x01;       // NVH_SERVICE_3 byte 2
constexpr uint8_t kPsuOffset = 0x02;

constexpr unsigned short kServiceNvs = 0x1171;
constexpr unsigned short kService3 = 0x117E;
constexpr unsigned short kServiceAdapter = 0x1149;
constexpr unsigned short kServiceBool = 0x117F;
constexpr unsigned short kUMaxCompact = 0x0453;
constexpr unsigned short kUMax = 0x1153;

constexpr unsigned short kUMaxLimit = 10560;  // 105.60 kV
constexpr int kDialogWidth = 430;
constexpr int kRowStep = 32;
constexpr int kSynchronizingMs = 2500;

char const kAccessCode[] = "5186";
char const kPasswordCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

} // namespace

LonServiceFunctions::LonServiceFunctions(IModuleControl* control, ILon* lon, IStatemachine* stateMachine)
    : m_lon(lon), m_stateMachine(stateMachine)
{
    if (control != nullptr)
        m_parameters = dynamic_cast<IParameterControl*>(control->getModule("IParameterControl"));
    GUIClient::initialize(control);

    if (control != nullptr) {
        if (auto* management = dynamic_cast<ILonManagement*>(control->getModule("ILonManagement"))) {
            const QList<unsigned char> nodes = management->getNodeList();
            for (unsigned char node : nodes) {
                if (management->checkNodeVersion(node, 0x300))
                    m_newGeneration = true;
                else
                    m_oldGeneration = true;
            }
        }
    }
    // Every test function and mode starts switched off on the nodes.
    sendServiceRecord();
}

// A dialog of a replaced object is taken off the window with it.
LonServiceFunctions::~LonServiceFunctions()
{
    closeDialogWindow();
}

DialogWindow* LonServiceFunctions::dialog() const
{
    return m_dialog.data();
}

NumberEdit* LonServiceFunctions::testFunctionEdit(TestFunctions function) const
{
    return m_edits.value(function);
}

void LonServiceFunctions::setTestFacilityModeCallback(ITestFacilityModeCallback* callback)
{
    m_testFacilityCallback = callback;
}

void LonServiceFunctions::sendServiceRecord()
{
    if (m_lon == nullptr)
        return;
    NVData data;
    switch (NVData::m_NetworkType) {
    case 9:
        data.setNVS_SERVICE(m_service);
        m_lon->sendNV(kServiceNvs, data);
        break;
    case 3:
        if (m_newGeneration) {
            data.setNVH_SERVICE_3(m_service3);
            m_lon->sendNV(kService3, data);
        }
        if (m_oldGeneration) {
            data.setByteValue(m_serviceByte);
            m_lon->sendNV(kServiceNvs, data);
        }
        if (HWConfiguration::hasPruefzusatz60kV_25uF()) {
            data.setNVS_SERVICE(m_service);
            m_lon->sendNV(kServiceAdapter, data);
        }
        break;
    default:
        data.setBoolValue((m_serviceByte & kCalibrationBit) != 0);
        m_lon->sendNV(kServiceBool, data);
        break;
    }
}

void LonServiceFunctions::sendUMax()
{
    if (m_lon == nullptr)
        return;
    NVData data;
    data.setShortValue(static_cast<short>(m_uMax));
    m_lon->sendNV(NVData::m_NetworkType == 1 ? kUMaxCompact : kUMax, data);
}

void LonServiceFunctions::setTestFunction(TestFunctions function, bool on)
{
    TestFunctionBits const* bits = bitsOf(function);
    if (bits == nullptr)
        return;
    setBits(m_service.functions, bits->nvsFunctions, on);
    setBits(m_serviceByte, bits->serviceByte, on);
    setBits(m_service3.mode, bits->service3Mode, on);
    setBits(m_service3.testFunctions, bits->service3Functions, on);
}

bool LonServiceFunctions::isTestFunctionOn(TestFunctions function) const
{
    TestFunctionBits const* bits = bitsOf(function);
    if (bits == nullptr)
        return false;
    return (m_service.functions & bits->nvsFunctions) != 0 || (m_serviceByte & bits->serviceByte) != 0;
}

bool LonServiceFunctions::isDcMaxOn() const
{
    TestFunctionBits const* bits = bitsOf(DcMax);
    return (m_serviceByte & bits->serviceByte) != 0 || (m_service3.mode & bits->service3Mode) != 0;
}

bool LonServiceFunctions::isCalibrationOn() const
{
    if (NVData::m_NetworkType == 9)
        return (m_service.functions & kCalibrationNvs) != 0;
    return (m_serviceByte & kCalibrationBit) != 0 || (m_service3.mode & kCalibrationBit) != 0;
}

bool LonServiceFunctions::isRelaxModeOn() const
{
    if (NVData::m_NetworkType == 9)
        return false;
    return (m_serviceByte & kRelaxBit) != 0 || (m_service3.mode & kRelaxBit) != 0;
}

void LonServiceFunctions::switchCalibration(bool on)
{
    if (NVData::m_NetworkType == 9) {
        setBits(m_service.functions, kCalibrationNvs, on);
        if (on) {
            sendServiceRecord();
            return;
        }
        setBits(m_service.functions, kSctsCurrent | kSctsVoltage, false);
    } else if (HWConfiguration::hasPruefzusatz60kV_25uF()) {
        setBits(m_service.functions, kCalibrationNvs, on);
        if (on) {
            setBits(m_serviceByte, kCalibrationBit, true);
            setBits(m_service3.mode, kCalibrationBit, true);
            sendServiceRecord();
            return;
        }
        setBits(m_service.functions, kSctsCurrent | kSctsVoltage, false);
        setBits(m_serviceByte, kCalibrationBit, false);
        setBits(m_service3.mode, kCalibrationBit, false);
        m_service3.psuFlags = 0;
        setBits(m_service3.mode, kPsuFlagsChanged, false);
    } else {
        setBits(m_serviceByte, kCalibrationBit, on);
        setBits(m_service3.mode, kCalibrationBit, on);
        if (on) {
            sendServiceRecord();
            return;
        }
        m_service3.psuFlags = 0;
        setBits(m_service3.mode, kPsuFlagsChanged, false);
    }

    // Switching off: the nodes write their values back while the user waits.
    if (m_parameters != nullptr)
        m_parameters->setParameter(ParamPsuOffsetCalibration, 0);
    showSynchronizingDialog();
    sendServiceRecord();
}

void LonServiceFunctions::switchRelax(bool on)
{
    if (NVData::m_NetworkType == 9)
        return;
    setBits(m_serviceByte, kRelaxBit, on);
    setBits(m_service3.mode, kRelaxBit, on);
    sendServiceRecord();
}

void LonServiceFunctions::setBurnInMode(bool on)
{
    if (!m_newGeneration || ((m_service3.mode & kBurnInBit) != 0) == on)
        return;
    setBits(m_service3.mode, kBurnInBit, on);
    sendServiceRecord();
}

void LonServiceFunctions::setPsuCalibrationFlags(bool bEnabled, bool bOffsetCalibration)
{
    bool const enabled = (m_service3.psuFlags & kPsuEnabled) != 0;
    bool const offset = (m_service3.psuFlags & kPsuOffset) != 0;
    if (!m_newGeneration || (enabled == bEnabled && offset == bOffsetCalibration))
        return;
    // The changed flag marks only the one send that carries the new flags.
    setBits(m_service3.mode, kPsuFlagsChanged, true);
    setBits(m_service3.psuFlags, kPsuEnabled, bEnabled);
    setBits(m_service3.psuFlags, kPsuOffset, bOffsetCalibration);
    if (m_parameters != nullptr)
        m_parameters->setParameter(ParamPsuOffsetCalibration, bOffsetCalibration ? 1 : 0);
    sendServiceRecord();
    setBits(m_service3.mode, kPsuFlagsChanged, false);
}

void LonServiceFunctions::setSctsCalibrationFlags(bool bCalCurrent, bool bCalVoltage)
{
    if (NVData::m_NetworkType != 9 && !HWConfiguration::hasPruefzusatz60kV_25uF())
        return;
    if (bCalCurrent || bCalVoltage)
        setBits(m_service.functions, kNvsTestFunctions, false);
    bool const calibration = isCalibrationOn();
    setBits(m_service.functions, kSctsCurrent, bCalCurrent && calibration);
    setBits(m_service.functions, kSctsVoltage, bCalVoltage && calibration);
    sendServiceRecord();
}

NumberEdit* LonServiceFunctions::addTestFunctionSwitch(QWidget* parent, int& row, int x, int width,
                                                       TestFunctions function, long long value)
{
    auto* edit = new NumberEdit(parent, 1, 0, 40, nullptr, false);
    edit->setGeometry(x, row, width, 27);
    edit->setLabelText(testFunctionName(function), 130);
    edit->setRange(0, 1);
    edit->substitute(QLatin1Char('0'), QChar(0x2501));
    edit->substitute(QLatin1Char('1'), QChar(0x2714));
    edit->showNumber(value);
    row += kRowStep;
    m_edits.insert(function, edit);
    connect(edit, &NumberEdit::numberChanged, this, &LonServiceFunctions::changeTestFunctions);
    return edit;
}

DialogWindow* LonServiceFunctions::replaceDialog(QWidget* parent)
{
    // One slot serves the test functions dialog and the waiting dialog: the
    // dialog it held is closed and released, never orphaned on the screen.
    closeDialogWindow();
    m_dialog = new DialogWindow(parent, nullptr);
    return m_dialog.data();
}

void LonServiceFunctions::openTestFunctionsDialog()
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;

    m_uMax = 0;
    if (m_stateMachine != nullptr) {
        unsigned short const kV = m_stateMachine->getVoltage();
        if (kV != 0) {
            // 110 % of the test voltage in hundredths of a kV, in 16 bits.
            unsigned short const hundredths = static_cast<unsigned short>(kV * 100);
            m_uMax = static_cast<unsigned short>(hundredths + hundredths / 10);
        }
    }

    DialogWindow* dialog = replaceDialog(mainWindow);
    dialog->setTitle(QCoreApplication::translate("Menu", "Test Functions"));
    dialog->setHideKeyboard(true);
    dialog->setGeometry(0, 0, kDialogWidth, 0);
    int const first = dialog->getTopInnerElements();
    int row = first;
    int const x = dialog->margins();
    int const width = kDialogWidth - 2 * dialog->margins();

    auto addRows = [&](auto const& functions) {
        for (TestFunctions function : functions)
            addTestFunctionSwitch(dialog, row, x, width, function, isTestFunctionOn(function) ? 1 : 0);
    };
    int const hardware = HWConfiguration::getHardware();
    bool withUMax = true;
    if (hardware == 11) {
        addRows(kRowsNsur);
        withUMax = false;
    } else if (hardware == 7 || hardware == 12) {
        addRows(kRowsHvDc);
        withUMax = false;
    } else if (hardware != 13) {
        if (HWConfiguration::hasPruefzusatz60kV_25uF())
            addRows(kRowsHvce);
        addRows(kRowsGeneral);
    }

    if (withUMax) {
        auto* edit = new NumberEdit(dialog, 4, 2, 40, nullptr, true);
        edit->setGeometry(x, row, width, 27);
        edit->setLabelText(testFunctionName(UMax), 130);
        edit->setRange(0, kUMaxLimit);
        edit->showNumber(std::min(m_uMax, kUMaxLimit));
        edit->setUnitText(QStringLiteral("kV"), width - 30);
        m_edits.insert(UMax, edit);
        connect(edit, &NumberEdit::numberChanged, this, &LonServiceFunctions::changeTestFunctions);
        row += kRowStep;
    }

    dialog->setHeightInnerElements(row - first);
    QAbstractButton* ok = dialog->insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, false);
    if (ok != nullptr) {
        QImage const image = svgLoader::SVG::loadImage(Path::image(QStringLiteral("yes.svg")), 15, 15, 0,
                                                       QColor(Qt::black), true, true);
        ok->setIcon(QIcon(QPixmap::fromImage(image)));
        connect(ok, &QAbstractButton::clicked, this, &LonServiceFunctions::closeDialogWindow);
    }
    dialog->show();
}

void LonServiceFunctions::switchOffDcMax(bool wasOn)
{
    if (m_parameters != nullptr)
        m_parameters->setParameter(ParamDcMax, 0);
    if (wasOn && m_testFacilityCallback != nullptr)
        m_testFacilityCallback->testFacilityModeOff();
    setTestFunction(DcMax, false);
}

void LonServiceFunctions::changeTestFunctions(NumberEdit* pNumberEdit)
{
    if (m_lon == nullptr || pNumberEdit == nullptr)
        return;
    uint8_t const nvsBefore = m_service.functions;
    uint8_t const modeBefore = m_service3.mode;
    uint8_t const functionsBefore = m_service3.testFunctions;
    unsigned short const uMaxBefore = m_uMax;

    long long const number = pNumberEdit->getNumber();
    bool const switchedOn = number == 1 && pNumberEdit != m_edits.value(UMax);
    QString const state = number == 1 ? QStringLiteral("on") : QStringLiteral("off");

    const auto edits = m_edits;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        TestFunctions const function = it.key();
        NumberEdit* edit = it.value();
        if (function == DcMax) {
            bool const dcMaxOn = isDcMaxOn();
            if (edit == pNumberEdit) {
                if (number == 0 || dcMaxOn) {
                    switchOffDcMax(dcMaxOn);
                    logService(QStringLiteral("Switch off test function DC-MAX"));
                } else if (!switchOnDcMax()) {
                    pNumberEdit->showNumber(0);
                }
            } else if (switchedOn) {
                switchOffDcMax(dcMaxOn);
                edit->showNumber(0);
            }
        } else if (function == UMax) {
            if (edit == pNumberEdit) {
                logService(QStringLiteral("Set U-max to %1").arg(number));
                m_uMax = static_cast<unsigned short>(number & 0xFFFF);
            }
        } else if (edit == pNumberEdit) {
            logService(QStringLiteral("Switch %1 test function %2").arg(state, testFunctionName(function)));
            setTestFunction(function, number == 1);
        } else if (switchedOn) {
            edit->showNumber(0);
            setTestFunction(function, false);
        }
    }

    bool const nvsChanged = m_service.functions != nvsBefore;
    if (NVData::m_NetworkType == 9) {
        if (nvsChanged)
            sendServiceRecord();
        return;
    }
    if (nvsChanged || m_service3.mode != modeBefore || m_service3.testFunctions != functionsBefore)
        sendServiceRecord();
    if (m_uMax != uMaxBefore)
        sendUMax();
}

bool LonServiceFunctions::switchOnDcMax()
{
    QPointer<DialogWindow> dialog = m_dialog;
    if (dialog)
        dialog->close();

    QWidget* parent = mainWindow();
    auto* prompt = new PasswordDialog(parent, 8, QString::fromLatin1(kPasswordCharacters), QString(8, QLatin1Char(' ')),
                                      true);
    prompt->setTitle(QCoreApplication::translate("Menu", "Password"));
    if (auto* accept = prompt->findChild<Button*>(QStringLiteral("button_accept")))
        accept->setDefault(true);

    bool accepted = false;
    if (prompt->exec() == 0) {
        // The typed text is compared and dropped; it never reaches the service log.
        QString const password = prompt->getPassword().trimmed();
        if (password.isEmpty() || password != QLatin1String(kAccessCode)) {
            DialogWindow::execMessageDialog(parent, 513, QCoreApplication::translate("Menu", "Password"),
                                            QCoreApplication::translate("Dialog", "Incorrect password!"));
        } else {
            logService(QStringLiteral("Switch on test function DC-MAX"));
            if (m_parameters != nullptr)
                m_parameters->setParameter(ParamDcMax, 1);
            setTestFunction(DcMax, true);
            accepted = true;
        }
    }

    if (dialog)
        dialog->show();
    delete prompt;
    return accepted;
}

void LonServiceFunctions::closeDialogWindow()
{
    m_edits.clear();
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
}

void LonServiceFunctions::showSynchronizingDialog()
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;
    logService(QStringLiteral("Sychronizing calibration values..."));
    DialogWindow* dialog = replaceDialog(mainWindow);
    dialog->setWaitingIcon();
    dialog->setTitle(QCoreApplication::translate("Menu", "Calibration"));
    dialog->setMessage(QStringLiteral("Sychronizing calibration values ..."));
    // The timer closes only its own dialog, not one opened since in the same slot.
    QPointer<DialogWindow> waiting = dialog;
    QTimer::singleShot(kSynchronizingMs, this, [this, waiting] {
        if (waiting && waiting == m_dialog)
            closeDialogWindow();
    });
    dialog->show();
}
