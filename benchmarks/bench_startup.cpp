// Start-up: from module_instantiate to every node record received, on a
// simulator that answers without latency, with the module loaded from the
// built plug-in file the way the host loads it; and the plug-in's load time,
// each load in a fresh process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopedPointer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "RunCollector.h"
#include "app/PluginLoader.h"
#include "module/ILonCalibration.h"
#include "sim/LonSimulator.h"

namespace {

constexpr double kGoalMs = 20;
constexpr int kLoadRuns = 21;
constexpr int kTimeoutMs = 10000;
char const kLoadOnce[] = "--load-once";

PluginLoader* g_loader = nullptr;
int g_expectedValues = 0;

int receivedValues(ILonCalibration* module)
{
    QDomDocument document;
    module->writeAllCalibrationValuesToDom(document);
    return document.documentElement().childNodes().count();
}

// One start on a fresh instrument; the seconds from instantiation to the last
// record, or a negative number when not every record arrived in time.
double startOnce(int* values = nullptr)
{
    BenchInstrument instrument;
    instrument.answerAtOnce();
    LonSimulator* lon = instrument.lon();

    QElapsedTimer clock;
    clock.start();
    IModule* module = g_loader->instantiate();
    auto* calibration = dynamic_cast<ILonCalibration*>(module);
    if (calibration == nullptr || !module->initialize(instrument.registry())) {
        delete module;
        return -1;
    }
    module->startModule();
    // The GUI thread sleeps until an answer's signal wakes it: spinning here
    // would take the core from the simulator's thread when both share one. The
    // timer only wakes it should the last answer be counted after its signal.
    QTimer wakeUp;
    wakeUp.start(1);
    int received = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (lon->pendingAnswers() > 0)
            continue;
        QCoreApplication::processEvents();
        received = receivedValues(calibration);
        if (received >= g_expectedValues || clock.elapsed() > kTimeoutMs)
            break;
    }
    double const seconds = clock.nsecsElapsed() / 1e9;
    module->shutdownModule();
    delete module;
    HostFixture::flushDeferredDeletes();
    if (values != nullptr)
        *values = received;
    return received >= g_expectedValues ? seconds : -1;
}

void BM_StartToAllRecords(benchmark::State& state)
{
    for (auto _ : state) {
        double const seconds = startOnce();
        if (seconds < 0) {
            state.SkipWithError("not every record arrived");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

BENCHMARK(BM_StartToAllRecords)->Iterations(20)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// In a fresh process: load the plug-in file and print the microseconds it took.
int loadOnce(QString const& path)
{
    PluginLoader loader(path);
    QElapsedTimer clock;
    clock.start();
    bool const loaded = loader.load();
    qint64 const nanoseconds = clock.nsecsElapsed();
    if (!loaded) {
        std::fprintf(stderr, "%s\n", qPrintable(loader.errorString()));
        return 1;
    }
    std::printf("%.1f\n", nanoseconds / 1e3);
    return 0;
}

// Median load time over fresh processes, in seconds; negative on failure.
double medianLoadSeconds(QString const& program, QString const& path)
{
    std::vector<double> microseconds;
    for (int run = 0; run < kLoadRuns; ++run) {
        QProcess child;
        child.start(program, {QString::fromLatin1(kLoadOnce), path});
        if (!child.waitForFinished(kTimeoutMs) || child.exitCode() != 0)
            return -1;
        bool ok = false;
        double const value = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toDouble(&ok);
        if (!ok)
            return -1;
        microseconds.push_back(value);
    }
    std::sort(microseconds.begin(), microseconds.end());
    return microseconds[microseconds.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kLoadOnce) == 0)
        return loadOnce(QString::fromLocal8Bit(argv[2]));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    PluginLoader loader(PluginLoader::defaultPath());
    if (!loader.load()) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    g_loader = &loader;
    // How many values a complete start holds: every record of the instrument.
    g_expectedValues = 1 << 30;
    int values = 0;
    startOnce(&values);
    g_expectedValues = values;
    std::fprintf(stderr, "a complete start holds %d values\n", values);

    RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    double const loadSeconds = medianLoadSeconds(QCoreApplication::applicationFilePath(), loader.path());

    double const startSeconds = collector.medianSeconds("BM_StartToAllRecords");
    FigureTable table;
    if (startSeconds > 0 && values > 0)
        table.add(QStringLiteral("startup_to_all_records"), startSeconds * 1e3, QStringLiteral("ms"), 2,
                  QStringLiteral("<20ms"), startSeconds * 1e3 < kGoalMs);
    else
        std::fprintf(stderr, "BM_StartToAllRecords did not run\n");
    if (loadSeconds > 0)
        table.add(QStringLiteral("plugin_load"), loadSeconds * 1e3, QStringLiteral("ms"), 2, QStringLiteral("<20ms"),
                  loadSeconds * 1e3 < kGoalMs);
    else
        std::fprintf(stderr, "the plug-in load was not measured\n");
    if (startSeconds > 0 && loadSeconds > 0 && values > 0) {
        double const totalMs = (startSeconds + loadSeconds) * 1e3;
        table.add(QStringLiteral("startup_total"), totalMs, QStringLiteral("ms"), 2, QStringLiteral("<20ms"),
                  totalMs < kGoalMs);
    }
    table.print();
    return 0;
}
