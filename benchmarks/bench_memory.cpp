// Memory: the heap the module holds after a start on the fullest instrument,
// and its growth per lifecycle cycle (instantiate, initialize, start, every
// record received, shut down, delete), fitted over several cycle counts.
//
// The held heap is the difference of the heap in use before the module is
// made and after its start, both taken after one full lifecycle has filled
// Qt's own lazy caches. Run plainly, the program reads the allocator's own
// count (mallinfo2); run under valgrind's massif with --massif DIR, it takes a
// massif snapshot at both points instead and reads them back.
#include <malloc.h>
#include <valgrind/valgrind.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopedPointer>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "host/LoggingCtrl.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"

namespace {

// Heap readings after this many cycles, counted from the first reading.
constexpr int kCheckpoints[] = {200, 500, 1000, 2000, 3000};
// The smallest block the allocator hands out.
constexpr double kSmallestBlockBytes = 32;
constexpr int kWarmCycles = 100;
constexpr int kIdleTimeoutMs = 10000;
constexpr double kHeldGoalBytes = 2 * 1024 * 1024;
// Single-shot timers of a start (the ten-second clean-up) fire late by up to 5 %.
constexpr int kTimerDrainMs = 10600;

qint64 heapInUse()
{
    struct mallinfo2 const info = mallinfo2();
    return static_cast<qint64>(info.uordblks + info.hblkhd);
}

// Releases what the host and the simulator keep for their own records.
void dropHostRecords(BenchInstrument& instrument)
{
    instrument.lon()->clearRecords();
    getLogger()->clearTail();
    HostFixture::flushDeferredDeletes();
}

// The heap in use just now, from massif when running under it.
class HeapProbe
{
public:
    explicit HeapProbe(QString const& massifDirectory)
        : m_directory(massifDirectory)
    { }

    bool underMassif() const { return !m_directory.isEmpty() && RUNNING_ON_VALGRIND; }

    // A detailed snapshot keeps the allocation tree, to see where growth comes from.
    qint64 take(QByteArray const& name, bool detailed = false)
    {
        if (!underMassif())
            return heapInUse();
        QString const path = QDir(m_directory).filePath(QString::fromLatin1(name) + QStringLiteral(".massif"));
        QByteArray const command = (detailed ? "detailed_snapshot " : "snapshot ") + QFile::encodeName(path);
        if (VALGRIND_MONITOR_COMMAND(command.constData()) != 0)
            return -1;
        return readSnapshot(path);
    }

private:
    // Useful heap plus the allocator's overhead of the one snapshot in the file.
    static qint64 readSnapshot(QString const& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return -1;
        qint64 total = 0;
        QTextStream in(&file);
        while (!in.atEnd()) {
            QString const line = in.readLine();
            for (char const* key : {"mem_heap_B=", "mem_heap_extra_B="}) {
                if (line.startsWith(QLatin1String(key)))
                    total += line.mid(static_cast<int>(std::strlen(key))).toLongLong();
            }
        }
        return total;
    }

    QString m_directory;
};

// One lifecycle; with `held`, the heap after the start, less the heap before,
// goes there. False when the module did not start or not every record came.
bool lifecycle(
    BenchInstrument& instrument, HeapProbe* probe = nullptr, qint64* held = nullptr, char const* name = "warm")
{
    dropHostRecords(instrument);
    QByteArray const prefix(name);
    qint64 const before = probe != nullptr ? probe->take(prefix + "-before") : 0;

    QScopedPointer<LonCalibration> module(new LonCalibration());
    bool ok = module->initialize(instrument.registry());
    if (ok) {
        module->startModule();
        ok = instrument.lon()->waitUntilIdle(kIdleTimeoutMs);
    }
    if (probe != nullptr && held != nullptr) {
        dropHostRecords(instrument);
        *held = probe->take(prefix + "-held") - before;
    }
    module->shutdownModule();
    module.reset();
    // The host drops the published interface with the module.
    instrument.registry()->unregisterModule("ILonCalibration");
    dropHostRecords(instrument);
    return ok;
}

struct Slope
{
    double bytesPerCycle = 0;
    double standardError = 0;
};

// Least squares over (cycles, growth) points.
Slope fit(std::vector<double> const& x, std::vector<double> const& y)
{
    double const n = static_cast<double>(x.size());
    double meanX = 0;
    double meanY = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        meanX += x[i] / n;
        meanY += y[i] / n;
    }
    double sxx = 0;
    double sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - meanX) * (x[i] - meanX);
        sxy += (x[i] - meanX) * (y[i] - meanY);
    }
    Slope slope;
    slope.bytesPerCycle = sxy / sxx;
    double residuals = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        double const r = y[i] - (meanY + slope.bytesPerCycle * (x[i] - meanX));
        residuals += r * r;
    }
    slope.standardError = std::sqrt(residuals / (n - 2) / sxx);
    return slope;
}

void drainTimers()
{
    BenchInstrument::wait(kTimerDrainMs);
    HostFixture::flushDeferredDeletes();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString massifDirectory;
    if (argc == 3 && std::strcmp(argv[1], "--massif") == 0)
        massifDirectory = QString::fromLocal8Bit(argv[2]);

    BenchInstrument instrument;
    instrument.answerAtOnce();
    HeapProbe probe(massifDirectory);
    FigureTable table;

    // Fills Qt's lazy caches (meta types, icons, fonts) the first start touches;
    // what that first start leaves is shown, not counted as the module's.
    qint64 cold = -1;
    if (!lifecycle(instrument, &probe, &cold, "cold")) {
        std::fprintf(stderr, "bench_memory: the module did not start\n");
        return 1;
    }
    drainTimers();
    std::fprintf(stderr, "first start, Qt's lazy caches included: %lld bytes\n", static_cast<long long>(cold));
    qint64 held = -1;
    lifecycle(instrument, &probe, &held);
    QString const method = probe.underMassif() ? QStringLiteral("massif") : QStringLiteral("mallinfo2");
    std::fprintf(stderr, "held after start (%s): %lld bytes\n", qPrintable(method), static_cast<long long>(held));
    if (held >= 0)
        table.add(QStringLiteral("memory_held_after_start_%1").arg(method), held / 1024.0, QStringLiteral("KiB"), 1,
            QStringLiteral("<2MiB"), held < kHeldGoalBytes);

    // Growth: readings after several cycle counts and the slope through them.
    // Massif counts the bytes in use exactly; mallinfo2 counts whole chunks of
    // the main arena, which move with the allocator's own bookkeeping (a
    // chunk now and then, with no block left behind), so only massif's slope
    // is the figure and the plain run shows its own in the log.
    bool allStarted = true;
    for (int cycle = 0; cycle < kWarmCycles; ++cycle)
        allStarted = lifecycle(instrument) && allStarted;
    drainTimers();
    // Everything the readings keep is made before the first: the readings
    // must see the same heap of their own each time.
    constexpr size_t kReadings = std::size(kCheckpoints);
    std::vector<double> cycles{0};
    std::vector<double> growth{0};
    cycles.reserve(kReadings + 1);
    growth.reserve(kReadings + 1);
    std::vector<QByteArray> names;
    for (int checkpoint : kCheckpoints)
        names.push_back(QByteArray("growth-") + QByteArray::number(checkpoint).rightJustified(5, '0'));
    qint64 const start = probe.take("growth-00000", true);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (size_t reading = 0; reading < kReadings; ++reading) {
        int const checkpoint = kCheckpoints[reading];
        for (; done < checkpoint; ++done)
            allStarted = lifecycle(instrument) && allStarted;
        qint64 const grown = probe.take(names[reading], reading + 1 == kReadings) - start;
        cycles.push_back(done);
        growth.push_back(static_cast<double>(grown));
        std::fprintf(stderr, "after %d cycles: heap grew %lld bytes (%s)\n", done, static_cast<long long>(grown),
            qPrintable(method));
    }
    std::fprintf(stderr, "%.2f ms a cycle\n", clock.elapsed() / double(done));
    drainTimers();
    std::fprintf(stderr, "once their timers ran out: %lld bytes\n",
        static_cast<long long>(probe.take("growth-drained") - start));
    Slope const slope = fit(cycles, growth);
    // Zero within what the readings resolve: twice the fit's standard error,
    // and at least one byte (massif) or one smallest block (mallinfo2) over
    // the whole run. A block left behind each cycle is tens of bytes a cycle.
    double const step = probe.underMassif() ? 1 : kSmallestBlockBytes;
    double const resolution = 2 * slope.standardError + step / done;
    std::fprintf(stderr, "growth per cycle (%s) %.4f bytes, standard error %.4f, resolution %.4f\n", qPrintable(method),
        slope.bytesPerCycle, slope.standardError, resolution);
    if (!allStarted)
        std::fprintf(stderr, "bench_memory: not every cycle received every record\n");
    else if (probe.underMassif())
        table.add(QStringLiteral("memory_growth_per_cycle"), slope.bytesPerCycle, QStringLiteral("B/cycle"), 3,
            QStringLiteral("|slope|<=%1B/cycle (zero within resolution)").arg(resolution, 0, 'f', 4),
            std::fabs(slope.bytesPerCycle) <= resolution);
    table.print();
    return 0;
}
