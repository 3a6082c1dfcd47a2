#include "service/LonAlarmTests.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>

#include "host/Button.h"
#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/ILon.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"
#include "host/IParameterControl.h"
#include "host/NVData.h"
#include "host/Path.h"
#include "host/SvgLoader.h"
#include "data/ServiceLog.h"

namespace {

enum AlarmIndex
{
    Alarm,
    HvOff,
    Emergency,
    Alive
};

struct AlarmTest
{
    char const* buttonText;
    char const* logText;
    unsigned short nvId;
    bool twoBytes;  // setAlarm(group, code) rather than setByteValue(group)
    unsigned char group;
    unsigned char code;
};

constexpr AlarmTest kAlarms[] = {
    {"ALARM", "Alarm Test Alarm", 0x021F, false, 0x11, 0x00},
    {"HVOFF", "Alarm Test HV Off", 0x1211, true, 0x11, 0x11},
    {"EMERG", "Alarm Test Emergency Off", 0x1211, true, 0x11, 0x22},
    {"ALIVE", "Alarm Test Alive", 0x1211, true, 0x11, 0x33},
};

constexpr int kHardwareWithAlarmOnly = 13;
constexpr int kInnerHeight = 58;

} // namespace

LonAlarmTests::LonAlarmTests(IModuleControl* control, ILon* lon) : m_lon(lon)
{
    if (control != nullptr)
        m_parameters = dynamic_cast<IParameterControl*>(control->getModule("IParameterControl"));
    GUIClient::initialize(control);
}

// A dialog of a replaced object is taken off the window with it.
LonAlarmTests::~LonAlarmTests()
{
    closeDialogWindow();
}

DialogWindow* LonAlarmTests::dialog() const
{
    return m_dialog.data();
}

QAbstractButton* LonAlarmTests::addAlarmButton(int alarm, int centre, int top)
{
    auto* button = new Button(m_dialog.data(), nullptr, false);
    button->setFlat(true);
    button->setText(QString::fromLatin1(kAlarms[alarm].buttonText));
    button->resize(button->sizeHint());
    button->move(centre - button->width() / 2, top);
    return button;
}

void LonAlarmTests::openAlarmDialog()
{
    QWidget* mainWindow = findWidget(QStringLiteral("MainWindow"), nullptr);
    if (mainWindow == nullptr)
        return;

    // A second opening replaces the dialog instead of leaving the first behind.
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
    }
    m_dialog = new DialogWindow(mainWindow, nullptr);
    m_dialog->setTitle(QCoreApplication::translate("Menu", "Alarm Test"));
    int const first = m_dialog->getTopInnerElements();
    bool const alarmOnly = HWConfiguration::getHardware() == kHardwareWithAlarmOnly;
    int const width = alarmOnly ? 200 : 450;
    m_dialog->setGeometry(0, 0, width, 0);
    int const centre = width / 2;
    int const top = first + 10;

    if (alarmOnly) {
        connect(addAlarmButton(Alarm, centre, top), &QAbstractButton::clicked, this, &LonAlarmTests::alarmTestALARM);
    } else {
        QAbstractButton* hvOff = addAlarmButton(HvOff, centre, top);
        hvOff->move(centre - 100 - hvOff->width(), top);  // last pixel column at centre - 101
        connect(hvOff, &QAbstractButton::clicked, this, &LonAlarmTests::alarmTestHVOFF);
        connect(addAlarmButton(Emergency, centre, top), &QAbstractButton::clicked, this,
                &LonAlarmTests::alarmTestEMERG);
        QAbstractButton* alive = addAlarmButton(Alive, centre, top);
        alive->move(centre + 100, top);
        connect(alive, &QAbstractButton::clicked, this, &LonAlarmTests::alarmTestALIVE);
    }

    m_dialog->setHeightInnerElements(kInnerHeight);
    QAbstractButton* ok = m_dialog->insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, false);
    if (ok != nullptr) {
        QImage const image = svgLoader::SVG::loadImage(Path::image(QStringLiteral("yes.svg")), 15, 15, 0,
                                                       QColor(Qt::black), true, true);
        ok->setIcon(QIcon(QPixmap::fromImage(image)));
        connect(ok, &QAbstractButton::clicked, this, &LonAlarmTests::closeDialogWindow);
    }
    m_dialog->show();
}

void LonAlarmTests::runAlarm(int alarm)
{
    closeDialogWindow();
    if (m_lon == nullptr)
        return;
    AlarmTest const& test = kAlarms[alarm];
    logService(QString::fromLatin1(test.logText));
    NVData data;
    if (test.twoBytes)
        data.setAlarm(test.group, test.code);
    else
        data.setByteValue(test.group);
    bool const sent = m_lon->sendNV(test.nvId, data);
    if (alarm == Alive && sent && m_parameters != nullptr)
        m_parameters->setParameter(ParamAliveAlarmTest, 1);
}

void LonAlarmTests::alarmTestALARM()
{
    runAlarm(Alarm);
}

void LonAlarmTests::alarmTestHVOFF()
{
    runAlarm(HvOff);
}

void LonAlarmTests::alarmTestEMERG()
{
    runAlarm(Emergency);
}

void LonAlarmTests::alarmTestALIVE()
{
    runAlarm(Alive);
}

void LonAlarmTests::closeDialogWindow()
{
    if (!m_dialog)
        return;
    m_dialog->close();
    m_dialog->deleteLater();
    m_dialog = nullptr;
    emit enableLonModuleStatus(false);
}
