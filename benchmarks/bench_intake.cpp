// Intake throughput: network-variable updates from another thread through the
// module's handler, its queued delivery and the routing to the node objects,
// with the PSU dialog open so its edits are refreshed; against a bare queued
// signal carrying an NVData between the same two threads.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMetaObject>
#include <QScopedPointer>
#include <QSemaphore>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchInstrument.h"
#include "CapturingLon.h"
#include "FigureTable.h"
#include "IntakeBaseline.h"
#include "RunCollector.h"
#include "host/ILonEvent.h"
#include "host/ISegment.h"
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
                        ? qEnvironmentVariableIntValue("LONCAL_BENCH_WINDOW") : 256;
// The PSU's measurement variable carries four values, one signal each.
constexpr int kValuesPerMeasurement = 4;
constexpr unsigned short kPsuRecord = 0x127B;
constexpr unsigned short kPsuMeasurement = 0x1269;
constexpr double kUpdatesGoal = 100000;
constexpr double kCostRatioGoal = 1.5;
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

// The module started on the fullest instrument, calibration on, PSU dialog open.
class OpenPsuDialog
{
public:
    OpenPsuDialog() : m_instrument(QStringLiteral("nt3-full"), true)
    {
        m_instrument.mainWindow()->show();
        m_module.reset(new LonCalibration());
        if (!m_module->initialize(m_instrument.registry()))
            return;
        m_module->startModule();
        // The start-up clean-up closes every dialog after ten seconds; the
        // dialog is opened after it, as a person would.
        BenchInstrument::wait(kStartupCleanUpMs);
        QMetaObject::invokeMethod(m_module.data(), "slotToggleCalibrationLon", Qt::DirectConnection,
                                  Q_ARG(ToggleStates, ToggleOn));
        m_psu = m_module->nodeTable().value(18);
        m_handler = m_instrument.capturing()->receiver(kPsuRecord);
        if (!m_psu || m_handler == nullptr)
            return;
        m_psu->openCalibrationDialog();
        m_handler->nvReceived(kPsuRecord, payloads(kPsuRecord).front());
        QCoreApplication::processEvents();
    }

    ~OpenPsuDialog()
    {
        if (m_psu)
            m_psu->cleanUp();
        m_psu.reset();
        m_module->shutdownModule();
        m_module.reset();
        HostFixture::flushDeferredDeletes();
    }

    bool isReady() const { return m_psu && m_psu->dialog() != nullptr && m_handler != nullptr; }
    ILonEvent* handler() const { return m_handler; }
    NodeLonCalibrationBase* psu() const { return m_psu.data(); }

private:
    BenchInstrument m_instrument;
    QScopedPointer<LonCalibration> m_module;
    QSharedPointer<NodeLonCalibrationBase> m_psu;
    ILonEvent* m_handler = nullptr;
};

OpenPsuDialog* g_dialog = nullptr;

// One burst from a second thread, in windows: the sender posts a window of
// updates while the GUI thread waits, then the GUI thread delivers every
// posted event. Each side's work is measured whole, without the event loop's
// own polling and wake-ups, whose cost depends on how the two threads happen
// to interleave rather than on what either does; and the queue never holds
// more than a window, as with a LON client's bounded buffers.
template <typename Send>
void runBurst(Send send)
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
    // What the deliveries posted in turn (the edits' layout requests).
    QCoreApplication::sendPostedEvents();
}

void intoModule(benchmark::State& state, unsigned short nvId, bool changing)
{
    if (g_dialog == nullptr || !g_dialog->isReady()) {
        state.SkipWithError("the module did not start");
        return;
    }
    std::vector<NVData> const data = payloads(nvId, changing);
    ILonEvent* handler = g_dialog->handler();
    for (auto _ : state) {
        runBurst([&](int i) { handler->nvReceived(nvId, data[static_cast<size_t>(i % kPayloadKinds)]); });
    }
    state.SetItemsProcessed(state.iterations() * kBurst);
}

void BM_IntakeRepeatedRecords(benchmark::State& state)
{
    intoModule(state, kPsuRecord, false);
}

void BM_IntakeChangingRecords(benchmark::State& state)
{
    intoModule(state, kPsuRecord, true);
}

void BM_IntakeMeasurements(benchmark::State& state)
{
    intoModule(state, kPsuMeasurement, true);
}

void BM_BaselineQueuedSignal(benchmark::State& state)
{
    std::vector<NVData> const data = payloads(kPsuRecord);
    IntakeBaseline emitter;
    IntakeBaseline receiver;
    QObject::connect(&emitter, &IntakeBaseline::update, &receiver, &IntakeBaseline::take);
    for (auto _ : state) {
        runBurst([&](int i) { emit emitter.update(data[static_cast<size_t>(i % kPayloadKinds)]); });
    }
    if (receiver.received != static_cast<int>(state.iterations()) * kBurst)
        state.SkipWithError("the baseline lost updates");
    state.SetItemsProcessed(state.iterations() * kBurst);
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Iterations(3)->Repetitions(9)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_IntakeRepeatedRecords)->Apply(configure);
BENCHMARK(BM_IntakeChangingRecords)->Apply(configure);
BENCHMARK(BM_IntakeMeasurements)->Apply(configure);
BENCHMARK(BM_BaselineQueuedSignal)->Apply(configure);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QScopedPointer<OpenPsuDialog> dialog(new OpenPsuDialog());
    g_dialog = dialog.data();
    RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    // The burst really reached the dialog: the last record's values are shown.
    bool shown = false;
    if (dialog->isReady()) {
        NumberEdit const* gain = dialog->psu()->getCalibrationNumberEdit(UMainsGain);
        shown = gain != nullptr && gain->isShowNumber();
    }
    g_dialog = nullptr;
    dialog.reset();
    benchmark::Shutdown();

    double const baseline = collector.medianCpuSeconds("BM_BaselineQueuedSignal") / kBurst;
    double const baselineRate = kBurst / collector.medianSeconds("BM_BaselineQueuedSignal");
    FigureTable table;
    struct Row
    {
        char const* benchmark;
        char const* figure;
        int signalsPerUpdate;
    };
    for (Row const& row : {Row{"BM_IntakeRepeatedRecords", "intake_repeated_records", 1},
                           Row{"BM_IntakeChangingRecords", "intake_changing_records", 1},
                           Row{"BM_IntakeMeasurements", "intake_changing_measurements", kValuesPerMeasurement}}) {
        double const perUpdate = collector.medianCpuSeconds(row.benchmark) / kBurst;
        double const perSecond = kBurst / collector.medianSeconds(row.benchmark);
        if (perUpdate <= 0 || baseline <= 0 || !shown) {
            std::fprintf(stderr, "%s did not run\n", row.benchmark);
            continue;
        }
        QString const name = QLatin1String(row.figure);
        table.add(name + QStringLiteral("_cost"), perUpdate * 1e9, baseline * 1e9, QStringLiteral("ns/update"), 0,
                  QStringLiteral("ratio<=1.5"), perUpdate / baseline <= kCostRatioGoal);
        table.add(name + QStringLiteral("_rate"), perSecond, baselineRate, QStringLiteral("updates/s"), 0,
                  QStringLiteral(">=100000/s"), perSecond >= kUpdatesGoal);
        // Where one update is several signals by the handler's interface: the
        // cost of each against the same bare signal.
        if (row.signalsPerUpdate > 1) {
            double const perSignal = perUpdate / row.signalsPerUpdate;
            table.add(name + QStringLiteral("_cost_per_signal"), perSignal * 1e9, baseline * 1e9,
                      QStringLiteral("ns/signal"), 0, QStringLiteral("ratio<=1.5"),
                      perSignal / baseline <= kCostRatioGoal);
        }
    }
    table.print();
    return 0;
}
