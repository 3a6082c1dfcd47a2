#include "nodes/NodeLonCalibrationBase.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/ILon.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/Path.h"
#include "host/SvgLoader.h"
#include "data/ServiceLog.h"

using namespace LonCalibrationTypes;

namespace {

// Switch edits draw their two states with these glyphs instead of 0 and 1.
QChar const kSwitchOffGlyph(0x2501);
QChar const kSwitchOnGlyph(0x2714);

constexpr int kLabelWidth = 130;
constexpr int kSwitchLabelWidth = 195;
constexpr int kTitleHeight = 25;

long long fieldMaximum(unsigned char digits)
{
    return static_cast<long long>(std::pow(10.0, digits)) - 1;
}

void makeSwitch(NumberEdit* edit)
{
    edit->substitute(QLatin1Char('0'), kSwitchOffGlyph);
    edit->substitute(QLatin1Char('1'), kSwitchOnGlyph);
    edit->setRange(0, 1);
}

} // namespace

NodeLonCalibrationBase::NodeLonCalibrationBase(IModuleControl* control)
{
    GUIClient::initialize(control);
    m_sendTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, &NodeLonCalibrationBase::sendCalibUpdateToLon);
}

// An open dialog belongs to the main window's widget tree; it is not deleted here.
NodeLonCalibrationBase::~NodeLonCalibrationBase() = default;

void NodeLonCalibrationBase::addElements(QWidget* parent, int& row, int x, int width, int& row2, int x2, int width2)
{
    Q_UNUSED(row2)
    Q_UNUSED(x2)
    Q_UNUSED(width2)
    addElements(parent, row, x, width);
}

void NodeLonCalibrationBase::setCounterValues(NVData const&) {}

void NodeLonCalibrationBase::setConfigurationValues(NVData const&) {}

void NodeLonCalibrationBase::setDcCallback(ILonCalibrationDCCallback*) {}

void NodeLonCalibrationBase::openConfigurationDialog() {}

void NodeLonCalibrationBase::setCalibrationEnabled(CalibrationModes mode)
{
    m_mode = mode;
}

void NodeLonCalibrationBase::valueChanged()
{
    m_sendTimer.start(SendDelayMs);
}

DialogWindow* NodeLonCalibrationBase::createDialogWindow(QString const& title)
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return nullptr;

    // A second opening must not orphan the first dialog and mix its edits into the tables.
    if (m_dialog) {
        m_calibrationEdits.clear();
        m_displayEdits.clear();
        m_switchEdits.clear();
        m_dialog->close();
        m_dialog->deleteLater();
    }

    m_dialog = new DialogWindow(mainWindow, nullptr);
    m_dialog->setTitle(title);
    emit enableLonModuleStatus(true);
    return m_dialog.data();
}

DialogWindow* NodeLonCalibrationBase::openNodeDialog(QString const& logText, char const* title, int width)
{
    logService(logText);
    DialogWindow* dialog = createDialogWindow(QCoreApplication::translate("Menu", title));
    if (dialog == nullptr)
        return nullptr;
    dialog->setGeometry(0, 0, width, 0);
    return dialog;
}

int NodeLonCalibrationBase::twoColumnDialogWidth(DialogWindow const* dialog, int columns)
{
    return columns + 3 * dialog->getInnerSpace() + 2 * dialog->margins();
}

DialogWindow* NodeLonCalibrationBase::dialog() const
{
    return m_dialog.data();
}

ColoredLabel* NodeLonCalibrationBase::createTitle(QWidget* parent, int& row, int x, int width, QString const& text)
{
    auto* label = new ColoredLabel(parent, nullptr, Qt::WindowFlags());
    label->setGeometry(x, row, width, kTitleHeight);
    label->setText(text);
    label->setProperty("alignment", static_cast<int>(Qt::AlignHCenter | Qt::AlignVCenter));
    row += RowHeight;
    return label;
}

NumberEdit* NodeLonCalibrationBase::makeEdit(QWidget* parent, int& row, int x, int width, unsigned char digits,
                                             unsigned char decimals, unsigned int fieldWidth, bool flag)
{
    auto* edit = new NumberEdit(parent, digits, decimals, fieldWidth, nullptr, flag);
    edit->setGeometry(x, row, width, RowHeight);
    row += RowHeight;
    return edit;
}

// An editable constant: labelled, limited to its field, disabled until the node has answered.
NumberEdit* NodeLonCalibrationBase::registerCalibrationEdit(NumberEdit* edit, CalibrationParameters parameter,
                                                            long long minimum, long long maximum)
{
    edit->setLabelText(calibrationParameterName(parameter), kLabelWidth);
    edit->setRange(minimum, maximum);
    edit->setEnabled(false);
    m_calibrationEdits.insert(parameter, edit);
    connect(edit, &NumberEdit::numberChanged, this, &NodeLonCalibrationBase::calibrationValueChanged);
    return edit;
}

NumberEdit* NodeLonCalibrationBase::addCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                             CalibrationParameters parameter, unsigned char digits,
                                                             unsigned char decimals, QString const& unit)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, digits, decimals, 40, false);
    edit->setUnitText(unit, width - 30);
    return registerCalibrationEdit(edit, parameter, -128, 127);
}

NumberEdit* NodeLonCalibrationBase::addCounterCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                                    CalibrationParameters parameter,
                                                                    unsigned char digits, unsigned char decimals,
                                                                    QString const& unit)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, digits, decimals, 80, true);
    edit->setUnitText(unit, width - 60);
    return registerCalibrationEdit(edit, parameter, 0, fieldMaximum(digits));
}

NumberEdit* NodeLonCalibrationBase::addSingleSelectCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                                         CalibrationParameters parameter,
                                                                         unsigned char digits, unsigned char decimals,
                                                                         QString const& unit)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, digits, decimals, 40, true);
    edit->setUnitText(unit, width - 30);
    return registerCalibrationEdit(edit, parameter, 0, fieldMaximum(digits));
}

NumberEdit* NodeLonCalibrationBase::addCompensationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                              CalibrationParameters parameter, long long value)
{
    NumberEdit* edit = addSingleSelectCalibrationNumberEdit(parent, row, x, width, parameter, 5, 0, QStringLiteral("pS"));
    FieldRange const range = calibrationFieldRange(parameter, NVData::m_NetworkType);
    edit->setRange(range.minimum, range.maximum);
    edit->showNumber(std::clamp(value, range.minimum, range.maximum));
    edit->setEnabled(m_mode == CalibrationModeFull);
    return edit;
}

NumberEdit* NodeLonCalibrationBase::addSwitchNumberEdit(QWidget* parent, int& row, int x, int width,
                                                        CalibrationParameters parameter, bool bEnabled)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, 1, 0, 40, true);
    edit->setLabelText(calibrationParameterName(parameter), kSwitchLabelWidth);
    makeSwitch(edit);
    if (bEnabled)
        edit->showNumber(0);
    else
        edit->setEnabled(false);
    m_calibrationEdits.insert(parameter, edit);
    connect(edit, &NumberEdit::numberChanged, this, &NodeLonCalibrationBase::calibrationValueChanged);
    return edit;
}

NumberEdit* NodeLonCalibrationBase::addSwitchNumberEdit(QWidget* parent, int& row, int x, int width,
                                                        SwitchParameters parameter)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, 1, 0, 40, true);
    edit->setLabelText(switchParameterName(parameter), kSwitchLabelWidth);
    makeSwitch(edit);
    edit->showNumber(0);
    edit->setEnabled(true);
    m_switchEdits.insert(parameter, edit);
    return edit;
}

NumberEdit* NodeLonCalibrationBase::addDisplayNumberEdit(QWidget* parent, int& row, int x, int width,
                                                         MeasurementParameters parameter, unsigned char digits,
                                                         unsigned char decimals, QString const& unit)
{
    NumberEdit* edit = makeEdit(parent, row, x, width, digits, decimals, 40, false);
    edit->setLabelText(measurementParameterName(parameter), kLabelWidth);
    edit->setUnitText(unit, width - 30);
    edit->setEnabled(true);
    edit->setFocusPolicy(Qt::NoFocus);
    m_displayEdits.insert(parameter, edit);
    return edit;
}

void NodeLonCalibrationBase::setUnitForDisplayNumberEdit(MeasurementParameters parameter, QString const& unit)
{
    if (NumberEdit* edit = m_displayEdits.value(parameter))
        edit->setUnitText(unit, edit->width() - 30);
}

void NodeLonCalibrationBase::setMeasurementValue(MeasurementParameters parameter, long long value)
{
    NumberEdit* edit = m_displayEdits.value(parameter);
    if (edit == nullptr)
        return;
    showIfChanged(edit, value);
    // The mains values are only meaningful to a person who may calibrate them.
    if (parameter >= MainsVoltage && parameter <= MainsCurrentExt)
        edit->setEnabled(m_mode == CalibrationModeFull);
}

NumberEdit* NodeLonCalibrationBase::getCalibrationNumberEdit(CalibrationParameters parameter) const
{
    return m_calibrationEdits.value(parameter);
}

NumberEdit* NodeLonCalibrationBase::getDisplayNumberEdit(MeasurementParameters parameter) const
{
    return m_displayEdits.value(parameter);
}

NumberEdit* NodeLonCalibrationBase::getSwitchNumberEdit(SwitchParameters parameter) const
{
    return m_switchEdits.value(parameter);
}

CalibrationParameters NodeLonCalibrationBase::getKey(NumberEdit const* edit) const
{
    for (auto it = m_calibrationEdits.cbegin(); it != m_calibrationEdits.cend(); ++it) {
        if (it.value() == edit)
            return it.key();
    }
    return CalParamNone;
}

void NodeLonCalibrationBase::valueReceived(CalibrationParameters parameter, bool bEnable)
{
    if (NumberEdit* edit = m_calibrationEdits.value(parameter))
        refresh(parameter, edit, bEnable);
}

void NodeLonCalibrationBase::refresh(CalibrationParameters parameter, NumberEdit* edit, bool bEnable)
{
    long long value = 0;
    bool valid = false;
    if (!getValueFromInternalBuffer(parameter, value, &valid) || !valid)
        return;

    if (value > edit->getMaximum())
        value = edit->getMaximum();
    else if (value < edit->getMinimum())
        value = edit->getMinimum();

    bool editable = false;
    if (bEnable) {
        switch (m_mode) {
        case CalibrationModeFull:
            editable = true;
            break;
        case CalibrationModeCounters:
            editable = isCounterParameter(parameter);
            break;
        case CalibrationModeOff:
            editable = false;
            break;
        }
    }
    showIfChanged(edit, value);
    // The field's own setting, not what a disabled dialog makes of it.
    if (edit->testAttribute(Qt::WA_ForceDisabled) == editable)
        edit->setEnabled(editable);
}

void NodeLonCalibrationBase::valueReceived(bool bEnable)
{
    // A shared copy of the table (no allocation) keeps the walk safe.
    const auto edits = m_calibrationEdits;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it)
        refresh(it.key(), it.value(), bEnable);
}

void NodeLonCalibrationBase::showOrPoll(ILon* lon, bool bReceived, unsigned short nvId)
{
    if (bReceived)
        valueReceived(true);
    else
        lon->pollNV(nvId);
}

void NodeLonCalibrationBase::showIfChanged(NumberEdit* edit, long long value)
{
    // Records come again at every poll and measurements often repeat; drawing
    // the number is most of what a refresh costs, and the same number looks the same.
    if (!edit->isShowNumber() || edit->getNumber() != value)
        edit->showNumber(value);
}

void NodeLonCalibrationBase::calibrationValueChanged(NumberEdit* edit)
{
    if (edit == nullptr)
        return;
    CalibrationParameters parameter = getKey(edit);
    if (parameter == CalParamNone)
        return;

    long long const value = edit->getNumber();
    QString const name = calibrationParameterName(parameter);
    logService(QStringLiteral("Set %1 to %2").arg(name).arg(value));
    if (setValueToInternalBuffer(parameter, value))
        return;
    // A node refuses what its field cannot hold; the log must not let the line
    // above stand as a change that happened.
    int const networkType = NVData::m_NetworkType;
    if (!fitsField(parameter, networkType, value)) {
        FieldRange const range = calibrationFieldRange(parameter, networkType);
        logService(QStringLiteral("%1 not set: %2 is outside %3 to %4")
                       .arg(name)
                       .arg(value)
                       .arg(range.minimum)
                       .arg(range.maximum));
    }
}

void NodeLonCalibrationBase::cleanUp()
{
    m_calibrationEdits.clear();
    m_displayEdits.clear();
    m_switchEdits.clear();
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
    emit enableLonModuleStatus(false);
}

QAbstractButton* NodeLonCalibrationBase::insertCloseButton(bool bAccept)
{
    if (!m_dialog)
        return nullptr;
    QString const text = QCoreApplication::translate("Dialog", "Ok");
    QAbstractButton* button =
        bAccept ? m_dialog->insertAcceptButton(text, true, false) : m_dialog->insertRejectButton(text, true, false);
    if (button == nullptr)
        return nullptr;
    connect(button, &QAbstractButton::clicked, this, &NodeLonCalibrationBase::cleanUp);
    setButtonImage(button, Path::image(QStringLiteral("yes.svg")), 15, 15);
    return button;
}

void NodeLonCalibrationBase::setButtonImage(QAbstractButton* button, QString const& path, int width, int height)
{
    if (button == nullptr)
        return;
    QImage const image = svgLoader::SVG::loadImage(path, width, height, 0, QColor(Qt::black), true, true);
    if (image.isNull())
        return;
    button->setIcon(QIcon(QPixmap::fromImage(image)));
    button->setIconSize(image.size());
}
