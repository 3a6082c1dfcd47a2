// Bus economy: the LON frames (polls and sends) the module puts on the bus in
// scripted scenarios on the fullest instrument, against the least frames the
// behaviour needs. Every scenario prints the frames it saw on stderr.
#include <QAbstractButton>
#include <QApplication>
#include <QDomDocument>
#include <QScopedPointer>
#include <QStringList>
#include <cstdio>
#include <functional>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "host/DialogWindow.h"
#include "host/MenuStrip.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "host/Parameters.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "service/LonAlarmTests.h"
#include "service/LonServiceFunctions.h"
#include "sim/LonSimulator.h"

using namespace LonCalibrationTypes;

namespace {

constexpr int kIdleTimeoutMs = 10000;
// Longer than the dialogs' 200 ms send delay.
constexpr int kSendSettleMs = 400;
// Node dialogs in the order of the menu page.
constexpr unsigned char kDialogKeys[] = {18, 22, 27, 19, 20, 28};
constexpr unsigned char kVlfKey = 28;

QString hex(unsigned short nvId)
{
    return QStringLiteral("0x%1").arg(nvId, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"),
                                                                                       QLatin1String("0x"));
}

// The module on the fullest instrument with the "/lon" page built.
class Scenario
{
public:
    // With `answered` off, the answers to the start-up polls are lost.
    explicit Scenario(bool answered = true)
    {
        m_menu.reset(new MenuStrip());
        m_module.reset(new LonCalibration());
        if (!m_instrument.isValid() || !m_module->initialize(m_instrument.registry()))
            return;
        if (answered)
            m_instrument.answerAtOnce();
        m_module->startModule();
        m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
        if (!answered)
            m_instrument.answerAtOnce();
        m_ready = settle();
    }

    ~Scenario()
    {
        m_instrument.lon()->setAutoAnswer(false);
        m_module->shutdownModule();
        m_module.reset();
        m_menu.reset();
        HostFixture::flushDeferredDeletes();
    }

    bool isReady() const { return m_ready; }
    LonCalibration* module() const { return m_module.data(); }
    LonSimulator* lon() const { return m_instrument.lon(); }
    NodeLonCalibrationBase* node(unsigned char key) const { return m_module->nodeTable().value(key).data(); }

    void setParameter(Parameters parameter, long long value)
    {
        m_instrument.host().parameters()->setParameter(parameter, value);
    }

    bool settle() { return m_instrument.lon()->waitUntilIdle(kIdleTimeoutMs); }
    // Lets the send timers run out and the answers arrive.
    void settleSends()
    {
        BenchInstrument::wait(kSendSettleMs);
        settle();
    }

    void toggleCalibration(bool on)
    {
        QMetaObject::invokeMethod(m_module.data(), "slotToggleCalibrationLon", Qt::DirectConnection,
                                  Q_ARG(ToggleStates, on ? ToggleOn : ToggleOff));
    }

    // Polls and sends since the last call, in order ("poll 0x127B").
    QStringList takeFrames()
    {
        QStringList frames;
        for (LonSimulator::Record const& record : m_instrument.lon()->records()) {
            if (record.kind == LonSimulator::Record::Poll)
                frames << QStringLiteral("poll ") + hex(record.nvId);
            else if (record.kind == LonSimulator::Record::Send)
                frames << QStringLiteral("send ") + hex(record.nvId);
        }
        m_instrument.lon()->clearRecords();
        return frames;
    }

private:
    BenchInstrument m_instrument;
    QScopedPointer<MenuStrip> m_menu;
    QScopedPointer<LonCalibration> m_module;
    bool m_ready = false;
};

// Every dialog of the page, opened and closed one after the other, each
// answer in before the next dialog opens.
void openEveryDialog(Scenario& scenario)
{
    for (unsigned char key : kDialogKeys) {
        NodeLonCalibrationBase* node = scenario.node(key);
        if (node == nullptr)
            continue;
        node->openCalibrationDialog();
        scenario.settle();
        node->cleanUp();
        scenario.settle();
    }
    LonCalibration* module = scenario.module();
    QMetaObject::invokeMethod(module, "calibrationInfo", Qt::DirectConnection, Q_ARG(bool, false));
    scenario.settle();
    QMetaObject::invokeMethod(module, "cleanUp", Qt::DirectConnection);
    if (LonServiceFunctions* functions = module->testFunctions()) {
        functions->openTestFunctionsDialog();
        functions->closeDialogWindow();
    }
    if (LonAlarmTests* alarms = module->alarmTests()) {
        alarms->openAlarmDialog();
        alarms->closeDialogWindow();
    }
    scenario.settle();
    HostFixture::flushDeferredDeletes();
}

struct Result
{
    QStringList frames;
    bool ok = false;
};

Result startUp()
{
    // The frames of the start itself: the scenario's own set-up.
    BenchInstrument instrument;
    QScopedPointer<LonCalibration> module(new LonCalibration());
    Result result;
    if (!instrument.isValid() || !module->initialize(instrument.registry()))
        return result;
    instrument.answerAtOnce();
    instrument.lon()->clearRecords();
    module->startModule();
    result.ok = instrument.lon()->waitUntilIdle(kIdleTimeoutMs);
    for (LonSimulator::Record const& record : instrument.lon()->records()) {
        if (record.kind == LonSimulator::Record::Poll)
            result.frames << QStringLiteral("poll ") + hex(record.nvId);
        else if (record.kind == LonSimulator::Record::Send)
            result.frames << QStringLiteral("send ") + hex(record.nvId);
    }
    instrument.lon()->setAutoAnswer(false);
    module->shutdownModule();
    module.reset();
    HostFixture::flushDeferredDeletes();
    return result;
}

QPair<Result, Result> dialogsTwice()
{
    Scenario scenario(false);
    scenario.takeFrames();
    QPair<Result, Result> result;
    openEveryDialog(scenario);
    result.first.frames = scenario.takeFrames();
    openEveryDialog(scenario);
    result.second.frames = scenario.takeFrames();
    result.first.ok = result.second.ok = scenario.isReady();
    return result;
}

// A stick file that differs from the instrument in ten values of the VLF node.
QString stickFileWithTenVlfChanges(LonCalibration* module)
{
    QDomDocument document;
    module->writeAllCalibrationValuesToDom(document);
    QStringList keys;
    for (int parameter = UNomNegGain; parameter < UNomNegGain + 10; ++parameter)
        keys << calibrationParameterKey(static_cast<CalibrationParameters>(parameter));
    for (QDomElement value = document.documentElement().firstChildElement(); !value.isNull();
         value = value.nextSiblingElement()) {
        if (!keys.contains(value.attribute(QStringLiteral("key"))))
            continue;
        int const old = value.text().toInt();
        QDomText text = value.firstChild().toText();
        text.setData(QString::number(old < 100 ? old + 7 : old - 7));
    }
    return document.toString();
}

Result importTenValues()
{
    Scenario scenario;
    Result result;
    if (!scenario.isReady())
        return result;
    LonCalibration* module = scenario.module();
    QString const text = stickFileWithTenVlfChanges(module);
    scenario.takeFrames();
    module->importFileFromStick(text);
    // "Load", then "Confirm" for every value as it is offered.
    int confirmed = 0;
    for (int click = 0; click < 11 && module->infoDialog() != nullptr; ++click) {
        QAbstractButton* accept = module->infoDialog()->acceptButton();
        if (accept == nullptr)
            break;
        accept->click();
        if (click > 0)
            ++confirmed;
    }
    scenario.settleSends();
    result.frames = scenario.takeFrames();
    result.ok = confirmed == 10;
    if (!result.ok)
        std::fprintf(stderr, "import: only %d values confirmed\n", confirmed);
    return result;
}

// Two edits in each node dialog, all within the send delay.
Result editBurst()
{
    Scenario scenario;
    Result result;
    if (!scenario.isReady())
        return result;
    scenario.toggleCalibration(true);
    scenario.settleSends();
    for (unsigned char key : kDialogKeys) {
        if (NodeLonCalibrationBase* node = scenario.node(key))
            node->openCalibrationDialog();
    }
    scenario.settle();
    // The generator's rows open through their enable switch, at the set point
    // the instrument reports (the first value of the row).
    scenario.setParameter(ParamVlfCalibrationStep, 41);
    if (NumberEdit* enable = scenario.node(kVlfKey)->getSwitchNumberEdit(EnableUNomGain))
        enable->enterNumber(1);
    scenario.takeFrames();

    struct Edit
    {
        unsigned char key;
        CalibrationParameters parameter;
    };
    // Each dialog's own node's values only.
    Edit const edits[] = {
        {18, UMainsGain},   {18, UMainsOffset}, {22, IIsoGain},        {22, IIsoOffset},
        {27, IBrnLvGain},   {27, UBrnLvGain},   {19, UExtGain},        {19, UExtOffset},
        {20, SurgeCounter2kV}, {20, SurgeCounter32kV}, {28, UNomNegGain},
    };
    int entered = 0;
    for (Edit const& edit : edits) {
        NumberEdit* field = scenario.node(edit.key)->getCalibrationNumberEdit(edit.parameter);
        if (field == nullptr || !field->isEnabled()) {
            std::fprintf(stderr, "edit burst: no enabled field %d in dialog %d\n", edit.parameter, edit.key);
            continue;
        }
        field->enterNumber(field->getNumber() == field->getMaximum() ? field->getNumber() - 1
                                                                      : field->getNumber() + 1);
        ++entered;
    }
    scenario.settleSends();
    result.frames = scenario.takeFrames();
    result.ok = entered == int(sizeof(edits) / sizeof(edits[0]));
    for (unsigned char key : kDialogKeys)
        scenario.node(key)->cleanUp();
    return result;
}

Result calibrationOnOff()
{
    Scenario scenario;
    Result result;
    if (!scenario.isReady())
        return result;
    scenario.takeFrames();
    scenario.toggleCalibration(true);
    scenario.settleSends();
    scenario.toggleCalibration(false);
    scenario.settleSends();
    result.frames = scenario.takeFrames();
    result.ok = true;
    return result;
}

struct Expectation
{
    char const* figure;
    QStringList least;
    char const* why;
};

void report(FigureTable& table, Expectation const& expected, Result const& result)
{
    std::fprintf(stderr, "%s: %s\n  frames: %s\n  least:  %s\n", expected.figure, expected.why,
                 qPrintable(result.frames.join(QStringLiteral(", "))),
                 qPrintable(expected.least.join(QStringLiteral(", "))));
    if (!result.ok) {
        std::fprintf(stderr, "%s: the scenario did not run through\n", expected.figure);
        return;
    }
    // Beyond the least: every frame the least does not account for.
    QStringList extra = result.frames;
    for (QString const& frame : expected.least)
        extra.removeOne(frame);
    if (!extra.isEmpty())
        std::fprintf(stderr, "  beyond the least: %s\n", qPrintable(extra.join(QStringLiteral(", "))));
    table.addCount(QLatin1String(expected.figure), result.frames.size(), expected.least.size(),
                   QStringLiteral("frames"), QStringLiteral("no_frame_beyond_the_least"), extra.isEmpty());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // What each scenario needs, from the behaviour: see docs/PERFORMANCE.md.
    QStringList const records = {"poll 0x127B", "poll 0x1375", "poll 0x1479", "poll 0x1675", "poll 0x1975",
                                 "poll 0x1B75", "poll 0x1C75", "poll 0x1C79", "poll 0x1C77"};
    // The service record per network configuration on the instrument: both node generations.
    QStringList const serviceRecord = {"send 0x117E", "send 0x1171"};
    // The PSU dialog's flags go out in the service record when it opens and when it closes.
    QStringList const psuFlags = serviceRecord + serviceRecord;
    // The DC unit dialog (cascade) writes back the HV source and the cascade.
    QStringList const dcUnit = {"send 0x1374", "send 0x1974"};

    FigureTable table;
    report(table, {"bus_startup", serviceRecord + records, "service record once, every record polled once"},
           startUp());
    QPair<Result, Result> const dialogs = dialogsTwice();
    report(table,
           {"bus_dialogs_first_opening", records + psuFlags,
            "start-up answers lost: each record polled once, the service record with the PSU flags on opening and closing"},
           dialogs.first);
    report(table,
           {"bus_dialogs_second_opening", psuFlags, "nothing polled again, the service record with the PSU flags on opening and closing"},
           dialogs.second);
    report(table,
           {"bus_import_ten_values", {"send 0x1C78", "send 0x1C74"},
            "ten confirmed values of the VLF node: its one send, which writes its counter and calibration records"},
           importTenValues());
    report(table,
           {"bus_edit_burst",
            {"send 0x127A", "send 0x1674", "send 0x1B74", "send 0x1374", "send 0x1374", "send 0x1974",
             "send 0x1478", "send 0x1C78", "send 0x1C74"},
            "one send per dialog touched; burner and cascade also write the shared HV source, the VLF its counters"},
           editBurst());
    report(table,
           {"bus_calibration_on_off", serviceRecord + dcUnit + serviceRecord + dcUnit,
            "service record per network configuration and the DC unit write-back, on and off"},
           calibrationOnOff());
    table.print();
    return 0;
}
