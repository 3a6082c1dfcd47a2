// Intake: network-variable updates from another thread through the module's
// handler, its queued delivery, the routing to the node objects and the PSU
// dialog's refresh; against bare Qt receiving the same updates on the same
// threads and showing the same numbers in the same host widgets (the PSU
// dialog's own edits), with as many queued signals per update as the module.
// Three measurements:
// - throughput in windows, without the event loop (CPU per update);
// - the bus's pace: 72 updates a second, the event loop running normally and
//   every update painted (CPU per update and share of a core);
// - headroom: the largest rate the GUI thread sustains with the dialog open.
// Every run counts its deliveries and checks the last value shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QScopedPointer>
#include <QSemaphore>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "BareQtIntake.h"
#include "BenchInstrument.h"
#include "CapturingLon.h"
#include "DeliveryCounter.h"
#include "FigureTable.h"
#include "IntakeBaseline.h"
#include "RunCollector.h"
#include "host/ILonEvent.h"
#include "host/NumberEdit.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "sim/LonSimulator.h"

using namespace LonCalibrationTypes;

namespace {

constexpr int kBurst = 20000;
constexpr int kPayloadKinds = 256;
// Updates per window; the environment may change it (LONCAL_BENCH_WINDOW=20000:
// the whole burst as one backlog).
int const kWindow = qEnvironmentVariableIntValue("LONCAL_BENCH_WINDOW") > 0
    ? qEnvironmentVariableIntValue("LONCAL_BENCH_WINDOW")
    : 256;
// The PSU's measurement variable carries four values, one signal each.
constexpr int kValuesPerMeasurement = 4;
constexpr unsigned short kPsuRecord = 0x127B;
constexpr unsigned short kPsuMeasurement = 0x1269;
// The PSU record's bytes in order (interface version 3).
constexpr CalibrationParameters kPsuRecordBytes[]
    = {UMainsOffset, UMainsGain, IMainsOffsetInt, IMainsGainInt, IMainsOffsetExt, IMainsGainExt};
constexpr MeasurementParameters kPsuDisplays[]
    = {MainsVoltage, MainsCurrentInt, MainsCurrentExt, InternalSupplyVoltage};
constexpr double kThroughputRatioGoal = 1.5;
// A TP/FT-10 channel carries at most about 72 updates a second.
constexpr double kBusRate = 72;
constexpr int kPaceSeconds = 3;
constexpr int kPaceRounds = 7;
constexpr double kPaintedShare = 0.95;
// A run that stalls ends and fails its check instead of hanging the bench.
constexpr int kLoopTimeoutMs = 72000;
constexpr double kPaceRatioGoal = 1.1;
constexpr double kHeadroomGoal = 30;
constexpr int kHeadroomUpdates = 20000;
constexpr int kHeadroomRounds = 3;
// What a LON client buffers before it waits.
constexpr int kHeadroomQueue = 64;
// Ten seconds on a coarse timer, which may be late by 5 %.
constexpr int kStartupCleanUpMs = 10600;

// Payloads of one variable with values that change from one update to the next.
// With `changing` off, every update repeats the one before, as a node answers
// each poll with the same record.
std::vector<NVData> payloads(unsigned short nvId, bool changing = true)
{
    std::vector<NVData> result;
    for (int kind = 0; kind < kPayloadKinds; ++kind) {
        int const i = changing ? kind : 0;
        QByteArray bytes;
        if (nvId == kPsuRecord) {
            for (int b = 0; b < 6; ++b)
                bytes.append(static_cast<char>((i + b * 7) % 100 - 50));
        } else {
            bytes.append('\0');
            for (int value : {2300 + i, 150 + i, -160 - i})
                bytes.append(static_cast<char>((value >> 8) & 0xFF)).append(static_cast<char>(value & 0xFF));
            bytes.append(static_cast<char>(200 + i % 50));
        }
        result.push_back(NVData(bytes));
    }
    return result;
}

// A payload none of the runs sends: shown before each run, so that the check
// afterwards sees what the run drew.
NVData primer(unsigned short nvId)
{
    return nvId == kPsuRecord ? NVData(QByteArray(6, char(49))) : NVData(QByteArray(8, char(1)));
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The module started on the fullest instrument, calibration on, PSU dialog
// open; and bare Qt on the same dialog's edits.
class OpenPsuDialog
{
public:
    OpenPsuDialog()
        : m_instrument(QStringLiteral("nt3-full"), true)
    {
        m_instrument.mainWindow()->show();
        m_module.reset(new LonCalibration());
        if (!m_module->initialize(m_instrument.registry()))
            return;
        m_module->startModule();
        // The start-up clean-up closes every dialog after ten seconds; the
        // dialog is opened after it, as a person would.
        BenchInstrument::wait(kStartupCleanUpMs);
        QMetaObject::invokeMethod(
            m_module.data(), "slotToggleCalibrationLon", Qt::DirectConnection, Q_ARG(ToggleStates, ToggleOn));
        m_psu = m_module->nodeTable().value(18);
        m_handler = m_instrument.capturing()->receiver(kPsuRecord);
        if (!m_psu || m_handler == nullptr || m_instrument.capturing()->receiver(kPsuMeasurement) != m_handler)
            return;
        m_psu->openCalibrationDialog();
        QCoreApplication::processEvents();
        QVector<NumberEdit*> recordEdits;
        for (CalibrationParameters parameter : kPsuRecordBytes)
            recordEdits.append(m_psu->getCalibrationNumberEdit(parameter));
        QHash<MeasurementParameters, NumberEdit*> displayEdits;
        for (MeasurementParameters parameter : kPsuDisplays) {
            if (NumberEdit* edit = m_psu->getDisplayNumberEdit(parameter))
                displayEdits.insert(parameter, edit);
        }
        if (recordEdits.contains(nullptr) || displayEdits.size() != 4) {
            std::fprintf(stderr, "the PSU dialog lacks edits: %d of 6 record fields, %d of 4 displays\n",
                6 - static_cast<int>(recordEdits.count(nullptr)), static_cast<int>(displayEdits.size()));
            return;
        }
        m_bare.reset(new BareQtIntake(recordEdits, displayEdits));
        m_moduleDeliveries.watch(m_module.data());
        m_bareDeliveries.watch(m_bare.data());
        m_bareTransport.watch(&m_transportReceiver);
        QObject::connect(&m_transportEmitter, &IntakeBaseline::update, &m_transportReceiver, &IntakeBaseline::take);
        // Every update changes UMainsGain: its edit and its labels must paint.
        NumberEdit* painted = m_psu->getCalibrationNumberEdit(UMainsGain);
        m_paints.watch(painted);
        for (QWidget* child : painted->findChildren<QWidget*>())
            m_paints.watch(child);
        m_ready = m_psu->dialog() != nullptr && m_psu->dialog()->isVisible();
        if (!m_ready)
            std::fprintf(stderr, "the PSU dialog is not shown\n");
    }

    ~OpenPsuDialog()
    {
        m_bare.reset();
        if (m_psu)
            m_psu->cleanUp();
        m_psu.reset();
        m_module->shutdownModule();
        m_module.reset();
        HostFixture::flushDeferredDeletes();
    }

    bool isReady() const { return m_ready; }

    // The module on the sending thread, as the LON client calls it.
    void toModule(unsigned short nvId, NVData const& data) { m_handler->nvReceived(nvId, data); }
    void toBareQt(unsigned short nvId, NVData const& data)
    {
        if (nvId == kPsuRecord)
            m_bare->receiveRecord(data);
        else
            m_bare->receiveMeasurement(data);
    }
    void toTransport(NVData const& data) { emit m_transportEmitter.update(data); }

    // On the GUI thread: shown at once, no queued delivery.
    void prime(unsigned short nvId, bool module)
    {
        if (module)
            toModule(nvId, primer(nvId));
        else
            toBareQt(nvId, primer(nvId));
    }

    DeliveryCounter& deliveries(bool module) { return module ? m_moduleDeliveries : m_bareDeliveries; }
    DeliveryCounter& transportDeliveries() { return m_bareTransport; }
    DeliveryCounter& paints() { return m_paints; }

    // The dialog shows what `data` says.
    bool shows(unsigned short nvId, NVData const& data) const
    {
        QByteArray const& bytes = data.bytes();
        if (nvId == kPsuRecord) {
            for (int i = 0; i < bytes.size(); ++i) {
                NumberEdit const* edit = m_psu->getCalibrationNumberEdit(kPsuRecordBytes[i]);
                if (!edit->isShowNumber() || edit->getNumber() != static_cast<signed char>(bytes[i]))
                    return false;
            }
            return true;
        }
        NVH_MMEAS_3 const mains = data.getNVH_MMEAS_3();
        qint64 const expected[] = {mains.voltage, mains.currentInt, mains.currentExt, mains.supplyVoltage};
        for (int i = 0; i < 4; ++i) {
            NumberEdit const* edit = m_psu->getDisplayNumberEdit(kPsuDisplays[i]);
            if (!edit->isShowNumber() || edit->getNumber() != expected[i])
                return false;
        }
        return true;
    }

private:
    BenchInstrument m_instrument;
    QScopedPointer<LonCalibration> m_module;
    QSharedPointer<NodeLonCalibrationBase> m_psu;
    ILonEvent* m_handler = nullptr;
    QScopedPointer<BareQtIntake> m_bare;
    IntakeBaseline m_transportEmitter;
    IntakeBaseline m_transportReceiver;
    DeliveryCounter m_moduleDeliveries{QEvent::MetaCall};
    DeliveryCounter m_bareDeliveries{QEvent::MetaCall};
    DeliveryCounter m_bareTransport{QEvent::MetaCall};
    DeliveryCounter m_paints{QEvent::Paint};
    bool m_ready = false;
};

OpenPsuDialog* g_dialog = nullptr;

// One burst from a second thread, in windows: the sender posts a window of
// updates while the GUI thread waits, then the GUI thread delivers every
// posted event. Each side's work is measured whole, without the event loop's
// own polling and wake-ups, whose cost depends on how the two threads happen
// to interleave rather than on what either does; and the queue never holds
// more than a window, as with a LON client's bounded buffers.
void runBurst(std::function<void(int)> const& send)
{
    QSemaphore go;
    QSemaphore posted;
    std::thread sender([&] {
        for (int first = 0; first < kBurst; first += kWindow) {
            go.acquire();
            int const end = std::min(first + kWindow, kBurst);
            for (int i = first; i < end; ++i)
                send(i);
            posted.release();
        }
    });
    for (int first = 0; first < kBurst; first += kWindow) {
        go.release();
        posted.acquire();
        QCoreApplication::sendPostedEvents();
    }
    sender.join();
    // What the deliveries posted in turn (the edits' layout requests, paints).
    QCoreApplication::sendPostedEvents();
}

// Module or bare Qt, one kind of update, in windows.
void throughput(benchmark::State& state, bool module, unsigned short nvId, bool changing)
{
    if (g_dialog == nullptr || !g_dialog->isReady()) {
        state.SkipWithError("the module did not start");
        return;
    }
    std::vector<NVData> const data = payloads(nvId, changing);
    DeliveryCounter& deliveries = g_dialog->deliveries(module);
    deliveries.reset();
    for (auto _ : state) {
        state.PauseTiming();
        g_dialog->prime(nvId, module);
        state.ResumeTiming();
        runBurst([&](int i) {
            NVData const& update = data[static_cast<size_t>(i % kPayloadKinds)];
            module ? g_dialog->toModule(nvId, update) : g_dialog->toBareQt(nvId, update);
        });
    }
    int const signalsPerUpdate = nvId == kPsuRecord ? 1 : kValuesPerMeasurement;
    if (deliveries.count() != static_cast<int>(state.iterations()) * kBurst * signalsPerUpdate)
        state.SkipWithError("deliveries lost or surplus");
    else if (!g_dialog->shows(nvId, data[(kBurst - 1) % kPayloadKinds]))
        state.SkipWithError("the last update is not shown");
    state.SetItemsProcessed(state.iterations() * kBurst);
}

void BM_ModuleRepeatedRecords(benchmark::State& state)
{
    throughput(state, true, kPsuRecord, false);
}
void BM_BareQtRepeatedRecords(benchmark::State& state)
{
    throughput(state, false, kPsuRecord, false);
}
void BM_ModuleChangingRecords(benchmark::State& state)
{
    throughput(state, true, kPsuRecord, true);
}
void BM_BareQtChangingRecords(benchmark::State& state)
{
    throughput(state, false, kPsuRecord, true);
}
void BM_ModuleMeasurements(benchmark::State& state)
{
    throughput(state, true, kPsuMeasurement, true);
}
void BM_BareQtMeasurements(benchmark::State& state)
{
    throughput(state, false, kPsuMeasurement, true);
}

// The bare transport: one queued signal carrying the record to an empty slot.
void BM_BareTransport(benchmark::State& state)
{
    std::vector<NVData> const data = payloads(kPsuRecord);
    DeliveryCounter& deliveries = g_dialog->transportDeliveries();
    deliveries.reset();
    for (auto _ : state)
        runBurst([&](int i) { g_dialog->toTransport(data[static_cast<size_t>(i % kPayloadKinds)]); });
    if (deliveries.count() != static_cast<int>(state.iterations()) * kBurst)
        state.SkipWithError("the transport lost updates");
    state.SetItemsProcessed(state.iterations() * kBurst);
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Iterations(3)->Repetitions(9)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ModuleRepeatedRecords)->Apply(configure);
BENCHMARK(BM_BareQtRepeatedRecords)->Apply(configure);
BENCHMARK(BM_ModuleChangingRecords)->Apply(configure);
BENCHMARK(BM_BareQtChangingRecords)->Apply(configure);
BENCHMARK(BM_ModuleMeasurements)->Apply(configure);
BENCHMARK(BM_BareQtMeasurements)->Apply(configure);
BENCHMARK(BM_BareTransport)->Apply(configure);

struct LoopRun
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    int paints = 0;
    bool ok = false;
};

// Changing records from a second thread with the event loop running
// normally. `period` > 0: one update each period (the bus's pace). Otherwise
// as fast as the GUI thread takes them, at most `kHeadroomQueue` waiting.
LoopRun loopRun(bool module, int updates, std::chrono::nanoseconds period)
{
    std::vector<NVData> const data = payloads(kPsuRecord);
    DeliveryCounter& deliveries = g_dialog->deliveries(module);
    g_dialog->prime(kPsuRecord, module);
    QCoreApplication::processEvents();
    deliveries.reset();
    g_dialog->paints().reset();
    QSemaphore room(kHeadroomQueue);
    bool const paced = period.count() > 0;
    deliveries.setRoom(paced ? nullptr : &room);
    QEventLoop loop;
    // One period after the last delivery, so its paint is in the figure.
    int const settleMs = paced ? static_cast<int>(period.count() / 1000000) : 20;
    deliveries.whenReached(updates, [&] { QTimer::singleShot(settleMs, &loop, &QEventLoop::quit); });
    QTimer::singleShot(kLoopTimeoutMs, &loop, &QEventLoop::quit);

    double const cpu = processCpuSeconds();
    auto const start = std::chrono::steady_clock::now();
    std::thread sender([&] {
        for (int i = 0; i < updates; ++i) {
            if (paced)
                std::this_thread::sleep_until(start + i * period);
            else
                room.acquire();
            NVData const& update = data[static_cast<size_t>(i % kPayloadKinds)];
            module ? g_dialog->toModule(kPsuRecord, update) : g_dialog->toBareQt(kPsuRecord, update);
        }
    });
    loop.exec();
    LoopRun run;
    run.cpuSeconds = processCpuSeconds() - cpu;
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sender.join();
    deliveries.setRoom(nullptr);
    run.paints = g_dialog->paints().count();
    run.ok = deliveries.count() == updates && g_dialog->shows(kPsuRecord, data[(updates - 1) % kPayloadKinds]);
    return run;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t const middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Medians of module and bare Qt, their rounds taken in turn.
struct SideBySide
{
    double module = -1;
    double bare = -1;
    bool ok = true;
};

SideBySide atBusPace()
{
    int const updates = static_cast<int>(kPaceSeconds * kBusRate);
    auto const period = std::chrono::nanoseconds(static_cast<long long>(1e9 / kBusRate));
    std::vector<double> cost[2];
    SideBySide result;
    for (int round = 0; round < kPaceRounds; ++round) {
        for (bool module : {round % 2 == 0, round % 2 != 0}) {
            LoopRun const run = loopRun(module, updates, period);
            std::fprintf(stderr, "bus pace, %s: %.1f us CPU per update, %d paints of UMainsGain for %d updates%s\n",
                module ? "module" : "bare Qt", run.cpuSeconds / updates * 1e6, run.paints, updates,
                run.ok ? "" : ", deliveries or last value wrong");
            // Each update painted: the changed field once per update, but for
            // the few that the machine's load bunched into one pass of the loop.
            result.ok = result.ok && run.ok && run.paints >= updates * kPaintedShare;
            cost[module ? 0 : 1].push_back(run.cpuSeconds / updates);
        }
    }
    result.module = median(cost[0]);
    result.bare = median(cost[1]);
    return result;
}

SideBySide headroom()
{
    std::vector<double> rate[2];
    SideBySide result;
    for (int round = 0; round < kHeadroomRounds; ++round) {
        for (bool module : {round % 2 == 0, round % 2 != 0}) {
            LoopRun const run = loopRun(module, kHeadroomUpdates, std::chrono::nanoseconds(0));
            std::fprintf(stderr, "headroom, %s: %.0f updates/s, %.1f us CPU per update, %d paints%s\n",
                module ? "module" : "bare Qt", kHeadroomUpdates / run.wallSeconds,
                run.cpuSeconds / kHeadroomUpdates * 1e6, run.paints, run.ok ? "" : ", deliveries or last value wrong");
            result.ok = result.ok && run.ok;
            rate[module ? 0 : 1].push_back(kHeadroomUpdates / run.wallSeconds);
        }
    }
    result.module = median(rate[0]);
    result.bare = median(rate[1]);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QScopedPointer<OpenPsuDialog> dialog(new OpenPsuDialog());
    if (!dialog->isReady()) {
        std::fprintf(stderr, "bench_intake: the module did not start or the PSU dialog is not shown\n");
        return 1;
    }
    g_dialog = dialog.data();
    RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    SideBySide const pace = atBusPace();
    SideBySide const room = headroom();
    g_dialog = nullptr;
    dialog.reset();
    benchmark::Shutdown();

    FigureTable table;
    struct Row
    {
        char const* module;
        char const* bare;
        char const* figure;
        int signalsPerUpdate;
    };
    static Row const rows[] = {
        {"BM_ModuleRepeatedRecords", "BM_BareQtRepeatedRecords", "intake_repeated_records_vs_bare_qt", 1},
        {"BM_ModuleChangingRecords", "BM_BareQtChangingRecords", "intake_changing_records_vs_bare_qt", 1},
        {"BM_ModuleMeasurements", "BM_BareQtMeasurements", "intake_changing_measurements_vs_bare_qt",
            kValuesPerMeasurement},
    };
    for (Row const& row : rows) {
        double const module = collector.medianCpuSeconds(row.module) / kBurst;
        double const bare = collector.medianCpuSeconds(row.bare) / kBurst;
        if (module <= 0 || bare <= 0) {
            std::fprintf(stderr, "%s or %s did not run\n", row.module, row.bare);
            continue;
        }
        table.add(QLatin1String(row.figure), module * 1e9, bare * 1e9, QStringLiteral("ns/update"), 0,
            QStringLiteral("ratio<=1.5"), module / bare <= kThroughputRatioGoal);
    }
    double const transport = collector.medianCpuSeconds("BM_BareTransport") / kBurst;
    if (transport > 0)
        table.add(QStringLiteral("intake_bare_transport"), transport * 1e9, QStringLiteral("ns/signal"), 0,
            QStringLiteral("reference"), true);
    if (pace.module > 0 && pace.bare > 0) {
        double const share = pace.module * kBusRate * 100;
        table.add(QStringLiteral("intake_at_bus_pace"), pace.module * 1e6, pace.bare * 1e6, QStringLiteral("us/update"),
            1,
            QStringLiteral("ratio<=1.1 (module %1% of a core at 72/s, bare Qt %2%)")
                .arg(share, 0, 'f', 2)
                .arg(pace.bare * kBusRate * 100, 0, 'f', 2),
            pace.ok && pace.module / pace.bare <= kPaceRatioGoal);
    }
    if (room.module > 0) {
        std::fprintf(stderr, "headroom: module %.0f updates/s, bare Qt %.0f updates/s\n", room.module, room.bare);
        table.add(QStringLiteral("intake_headroom"), room.module, kBusRate, QStringLiteral("updates/s"), 0,
            QStringLiteral("ratio>=30"), room.ok && room.module / kBusRate >= kHeadroomGoal);
    }
    table.print();
    return 0;
}
