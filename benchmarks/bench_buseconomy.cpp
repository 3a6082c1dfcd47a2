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
    return QStringLiteral("0x%1")
        .arg(nvId, 4, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
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
        {18, UMainsGain},
        {18, UMainsOffset},
        {22, IIsoGain},
        {22, IIsoOffset},
        {27, IBrnLvGain},
        {27, UBrnLvGain},
        {19, UExtGain},
        {19, UExtOffset},
        {20, SurgeCounter2kV},
        {20, SurgeCounter32kV},
        {28, UNomNegGain},
    };
    int entered = 0;
    for (Edit const& edit : edits) {
        NumberEdit* field = scenario.node(edit.key)->getCalibrationNumberEdit(edit.parameter);
        if (field == nullptr || !field->isEnabled()) {
            std::fprintf(stderr, "edit burst: no enabled field %d in dialog %d\n", edit.parameter, edit.key);
            continue;
        }
        field->enterNumber(field->getNumber() == field->getMaximum() ? field->getNumber() - 1 : field->getNumber() + 1);
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

// A step of the least frames: its frames in this order, or, with `anyOrder`,
// in any order among themselves. Steps follow each other in order.
struct Step
{
    QStringList frames;
    bool anyOrder = false;
};

struct Expectation
{
    char const* figure;
    QList<Step> least;
    char const* why;
};

QStringList flatten(QList<Step> const& steps)
{
    QStringList frames;
    for (Step const& step : steps)
        frames += step.frames;
    return frames;
}

// Empty when the frames are the least, step by step; else what differs first.
QString difference(QStringList const& frames, QList<Step> const& least)
{
    int at = 0;
    for (int index = 0; index < least.size(); ++index) {
        Step const& step = least.at(index);
        QStringList seen = frames.mid(at, step.frames.size());
        QStringList wanted = step.frames;
        if (step.anyOrder) {
            seen.sort();
            wanted.sort();
        }
        if (seen != wanted)
            return QStringLiteral("step %1 wants %2, the bus carried %3")
                .arg(index + 1)
                .arg(step.frames.join(QStringLiteral(", ")),
                    seen.isEmpty() ? QStringLiteral("nothing")
                                   : frames.mid(at, step.frames.size()).join(QStringLiteral(", ")));
        at += step.frames.size();
    }
    if (at < frames.size())
        return QStringLiteral("beyond the least: %1").arg(frames.mid(at).join(QStringLiteral(", ")));
    return QString();
}

void report(FigureTable& table, Expectation const& expected, Result const& result)
{
    QStringList const least = flatten(expected.least);
    std::fprintf(stderr, "%s: %s\n  frames: %s\n  least:  %s\n", expected.figure, expected.why,
        qPrintable(result.frames.join(QStringLiteral(", "))), qPrintable(least.join(QStringLiteral(", "))));
    if (!result.ok) {
        std::fprintf(stderr, "%s: the scenario did not run through\n", expected.figure);
        return;
    }
    // Order and count: a missing, surplus or misplaced frame fails.
    QString const differs = difference(result.frames, expected.least);
    if (!differs.isEmpty())
        std::fprintf(stderr, "  %s\n", qPrintable(differs));
    table.addCount(QLatin1String(expected.figure), result.frames.size(), least.size(), QStringLiteral("frames"),
        QStringLiteral("the_least_in_order"), differs.isEmpty());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The least frames each scenario needs, from the rules of the behaviour,
    // not from what the module sent. "nt3-full" has both generations of the
    // service node, so a record send writes the new generation's part and then
    // the old one's (0x117E, 0x1171).
    QStringList const serviceRecord = {"send 0x117E", "send 0x1171"};
    // Each node's records once: the calibration records, the surge counters
    // (new counters), the VLF configuration, counters and calibration. The
    // start polls the node table in its iteration order, which no rule fixes.
    Step const everyRecordOnce{{"poll 0x127B", "poll 0x1375", "poll 0x1479", "poll 0x1675", "poll 0x1975",
                                   "poll 0x1B75", "poll 0x1C77", "poll 0x1C79", "poll 0x1C75"},
        true};
    // The PSU dialog sends its flags in the service record before it asks for
    // its record, and again when it closes: two record sends per opening
    // beyond the polls.
    QList<Step> const firstOpening = {
        {serviceRecord + QStringList{"poll 0x127B"}}, // PSU opens
        {serviceRecord}, // PSU closes
        {{"poll 0x1675"}}, // ISO
        {{"poll 0x1B75", "poll 0x1375"}}, // burner, then the shared HV source
        {{"poll 0x1975"}}, // cascade: the HV source has answered
        {{"poll 0x1479"}}, // surge counters
        {{"poll 0x1C77", "poll 0x1C79", "poll 0x1C75"}}, // VLF: configuration, counters, calibration
    };
    // The DC unit (the cascade dialog) writes the HV source, then the cascade.
    QStringList const dcUnit = {"send 0x1374", "send 0x1974"};

    FigureTable table;
    report(table,
        {"bus_startup", {{serviceRecord}, everyRecordOnce},
            "the service record with everything off, then every record polled once in the node table's order"},
        startUp());
    QPair<Result, Result> const dialogs = dialogsTwice();
    report(table,
        {"bus_dialogs_first_opening", firstOpening,
            "start-up answers lost: each dialog polls what it has not received, the PSU flags on opening and closing"},
        dialogs.first);
    report(table,
        {"bus_dialogs_second_opening", {{serviceRecord}, {serviceRecord}},
            "nothing polled again; the PSU flags on opening and closing"},
        dialogs.second);
    // Beyond one write: the VLF send writes its counters before its calibration.
    report(table,
        {"bus_import_ten_values", {{{"send 0x1C78", "send 0x1C74"}}},
            "ten confirmed values of the VLF node: one send, counters then calibration"},
        importTenValues());
    // In the order the dialogs were edited, each 200 ms after its last edit.
    // Beyond one write per node: the burner also writes the HV source after
    // node 27, the cascade writes the HV source before node 25, the VLF its
    // counters before its calibration.
    report(table,
        {"bus_edit_burst",
            {{{"send 0x127A"}}, {{"send 0x1674"}}, {{"send 0x1B74", "send 0x1374"}}, {dcUnit}, {{"send 0x1478"}},
                {{"send 0x1C78", "send 0x1C74"}}},
            "one send per dialog touched, in the order they were edited"},
        editBurst());
    // Beyond the service record: each switch has the DC unit write back.
    report(table,
        {"bus_calibration_on_off", {{serviceRecord}, {dcUnit}, {serviceRecord}, {dcUnit}},
            "per switch the service record, then the DC unit's write-back"},
        calibrationOnOff());
    table.print();
    return 0;
}
