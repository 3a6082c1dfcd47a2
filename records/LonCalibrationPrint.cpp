// LonCalibration: the calibration information view, the printed sheet and the print dialogs.
#include "module/LonCalibration.h"

#include <QCoreApplication>
#include <QDate>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include "host/Button.h"
#include "host/ColoredLabel.h"
#include "host/CommonBasics.h"
#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/IModuleControl.h"
#include "host/IPrint.h"
#include "host/ISystem.h"
#include "host/NumberEdit.h"
#include "host/Path.h"
#include "host/SvgLoader.h"
#include "data/ServiceLog.h"
#include "nodes/NodeLonCalibrationBase.h"

using namespace LonCalibrationTypes;

namespace {

constexpr int kColumnWidth = 300;
constexpr int kButtonWidth = 120;
constexpr int kLoadButtonWidth = 200;
constexpr int kServicePrintDelayMs = 2000;

// Sheet layout in millimetres.
constexpr double kSheetTop = 30;
constexpr double kSheetColumnBreak = 240;
constexpr double kSecondColumnOffset = 95;

// Counters whose printed value is in hundreds.
char const* const kHundredsLabels[] = {
    "Surge Counter 2 kV",  "Surge Counter 8 kV",  "Surge Counter 12 kV", "Surge Counter 16 kV",
    "Surge Counter 32 kV", "Surge Counter 60 kV", "VLF cycle Counter",
};

QString const kSerialKey = QStringLiteral("/Software/Authentication/SerialNumber");

bool readSerialNumber(QString* serial)
{
    ConfigStore* config = getConfig();
    return config != nullptr && config->readString(kSerialKey, serial) == 0;
}

QIcon svgIcon(QString const& path, int width, int height)
{
    return QIcon(QPixmap::fromImage(svgLoader::SVG::loadImage(path, width, height, 0, QColor(Qt::black), true, true)));
}

FormLabel label(QString const& text, double x, double y, double width, double height, bool bold, int alignment)
{
    return FormLabel(text, Point(x, y), Size(width, height), bold, 10, alignment);
}

} // namespace

void LonCalibration::calibrationInfo(bool bServiceMode)
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;
    if (!m_servicePrint)
        logService(QStringLiteral("View calibration info"));

    m_acceptButton.reset();
    m_rejectButton.reset();
    m_infoDialog.reset(new DialogWindow(mainWindow, nullptr));
    DialogWindow* dialog = m_infoDialog.get();
    dialog->setTitle(QCoreApplication::translate("Menu", "Info"));
    dialog->setHideKeyboard(true);

    int const m = dialog->margins();
    int const s = dialog->getInnerSpace();
    dialog->setGeometry(0, 0, 900 + 2 * m + 4 * s, 0);
    int const top = dialog->getTopInnerElements();
    int const x[3] = {m, m + 300 + 2 * s, m + 600 + 4 * s};
    int y[3] = {top, top, top};

    auto column = [&](unsigned char key, int c) {
        if (QSharedPointer<NodeLonCalibrationBase> const node = m_nodes.value(key))
            node->addElements(dialog, y[c], x[c], kColumnWidth);
    };
    auto twoColumns = [&](unsigned char key) {
        if (QSharedPointer<NodeLonCalibrationBase> const node = m_nodes.value(key))
            node->addElements(dialog, y[0], x[0], kColumnWidth, y[1], x[1], kColumnWidth);
    };
    switch (HWConfiguration::getHardware()) {
    case 11:
        column(28, 0);
        column(20, 1);
        break;
    case 13:
        twoColumns(3);
        break;
    case 7:
    case 12:
        column(35, 0);
        break;
    default:
        column(18, 0);
        twoColumns(19);
        column(22, 1);
        column(27, 1);
        column(20, 2);
        column(28, 2);
        break;
    }
    dialog->setHeightInnerElements(std::max({y[0], y[1], y[2]}) - top);

    bool const service = isServiceEnabled();
    if (m_print != nullptr && service) {
        bool const pdf = m_print->currentPrinterName() == IPrint::pdfTarnel;
        QAbstractButton* print = dialog->insertAcceptButton(pdf ? QStringLiteral("Print (PDF)") : QStringLiteral("Print"),
                                                            false, false);
        print->setIcon(svgIcon(Path::icon(pdf ? QStringLiteral("printpdf.svg") : QStringLiteral("print.svg")), 23, 23));
        print->resize(kButtonWidth, print->height());
        connect(print, &QAbstractButton::clicked, this, &LonCalibration::slotPrint);
    }
    QAbstractButton* ok = dialog->insertRejectButton(QCoreApplication::translate("Dialog", "Ok"), true, false);
    connect(ok, &QAbstractButton::clicked, this, &LonCalibration::cleanUp);
    ok->setIcon(svgIcon(Path::image(QStringLiteral("yes.svg")), 15, 15));
    ok->resize(kButtonWidth, ok->height());

    if (m_testFunctions && isCalibrationOn() && service) {
        auto* load = new Button(dialog, "Load", false);
        load->setFlat(true);
        load->setText(QStringLiteral("Load from USB-Stick"));
        load->setGeometry(ok->x() + ok->width() + s, ok->y(), kLoadButtonWidth, ok->height());
        load->setIcon(svgIcon(Path::icon(QStringLiteral("stick.svg")), -1, -1));
        connect(load, &QAbstractButton::clicked, this, &LonCalibration::slotLoadFromStick);
    }

    if (!bServiceMode) {
        dialog->show();
        ok->setFocus(Qt::OtherFocusReason);
    }
    pollAllCalibrationValues(true);
}

void LonCalibration::slotServicePrint()
{
    if (m_infoDialog || m_print == nullptr)
        return;
    m_servicePrint = true;
    calibrationInfo(true);
    // The nodes' answers fill the hidden window before it is printed.
    QTimer::singleShot(kServicePrintDelayMs, this, &LonCalibration::slotPrint);
}

void LonCalibration::slotPrint()
{
    if (m_print == nullptr)
        return;
    if (!m_servicePrint)
        logService(QStringLiteral("Print calibration info"));

    QString name = QStringLiteral("Calibration");
    QString serial;
    if (readSerialNumber(&serial))
        name += QLatin1Char('_') + serial;

    PrintRequest request;
    request.items.append(PrintItem{name, false, true});
    request.response = this;
    request.name = name;
    request.servicePrint = m_servicePrint;
    m_print->print(request);
}

Form LonCalibration::createForm(QString const& name)
{
    Form form;
    if (!name.contains(QLatin1String("Calibration")) || m_print == nullptr)
        return form;
    if (!m_servicePrint)
        showPrintDialog();

    QString serial;
    bool const hasSerial = readSerialNumber(&serial);
    QString const date = QDate::currentDate().toString(QCoreApplication::translate("DateTime", "MM/dd/yyyy"));
    QString const time = CommonBasics::getTimeString(QCoreApplication::translate("DateTime", "h:mm:ss AP"));
    form.addLabel(FormLabel(QCoreApplication::translate("Print", "Calibration HV Unit"), Point(20, 10), Size(100, 10),
        true, 12, FormLabel::AlignLeftTop));
    form.addLabel(label(HWConfiguration::getHardwareVersionStr(), 20, 20, 70, 5, true, FormLabel::AlignLeftTop));
    form.addLabel(label(hasSerial ? QCoreApplication::translate("Print", "SN: ") + serial : QString(), 90, 20, 40, 5,
        true, FormLabel::AlignLeftTop));
    form.addLabel(label(date + QStringLiteral(", ") + time, 130, 20, 60, 5, true, FormLabel::AlignRightTop));

    if (!m_infoDialog)
        return form;
    // The window's rows in creation order; only a section title may start the second column.
    double offset = 0;
    double y = kSheetTop;
    for (QObject* child : m_infoDialog->children()) {
        if (auto* title = qobject_cast<ColoredLabel*>(child)) {
            double titleY = y + 5;
            if (y > kSheetColumnBreak) {
                titleY = kSheetTop + 5;
                offset = kSecondColumnOffset;
                y = kSheetTop;
            }
            form.addLabel(label(title->text(), offset + 20, titleY, 150, 5, true, FormLabel::AlignLeftTop));
            y += 10;
        } else if (auto* edit = qobject_cast<NumberEdit*>(child)) {
            QString text = edit->labelText();
            for (char const* hundreds : kHundredsLabels) {
                if (text == QLatin1String(hundreds)) {
                    text += QStringLiteral(" x 100");
                    break;
                }
            }
            form.addLabel(FormLabel(text, Point(offset + 25, y), Size(60, 5), false, 10, FormLabel::AlignLeftTop));
            form.addLabel(FormLabel(edit->shownText(), Point(offset + 85, y), Size(15, 5), false, 10,
                                    FormLabel::AlignRightTop));
            y += 5;
        }
    }
    return form;
}

void LonCalibration::printFinished(QString const& name)
{
    if (m_servicePrint) {
        m_servicePrint = false;
        cleanUp();
        return;
    }
    closePrintDialog();
    if (m_print == nullptr)
        return;
    switch (m_print->lastPrintResult()) {
    case IPrint::ResultBusy:
        showPrintFailedDialog(QCoreApplication::translate("Print", "Printer is still busy"));
        break;
    case IPrint::ResultDone:
        if (m_print->currentPrinterName() == IPrint::pdfTarnel && m_control != nullptr) {
            if (auto* system = dynamic_cast<ISystem*>(m_control->getModule("ISystem")))
                system->handleFiles(QStringList{name + QStringLiteral(".pdf")}, true);
        }
        break;
    default:
        showPrintFailedDialog(QCoreApplication::translate("Print", "Print failed"));
        break;
    }
}

void LonCalibration::showPrintDialog()
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;
    m_printDialog.reset(new DialogWindow(mainWindow, nullptr));
    m_printDialog->setTitle(QCoreApplication::translate("Print", "Printer"));
    m_printDialog->setMessage(QCoreApplication::translate("Print", "Print is running"));
    m_printDialog->setWaitingIcon();
    m_printDialog->show();
}

void LonCalibration::showPrintFailedDialog(QString const& text)
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;
    m_printDialog.reset(new DialogWindow(mainWindow, nullptr));
    m_printDialog->setTitle(QCoreApplication::translate("Print", "Printer"));
    m_printDialog->setMessage(text);
    m_printDialog->setWarningIcon();
    QAbstractButton* ok = m_printDialog->insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, true);
    connect(ok, &QAbstractButton::clicked, this, &LonCalibration::closePrintDialog);
    m_printDialog->show();
}

void LonCalibration::closePrintDialog()
{
    m_printDialog.reset();
}
