// Memory: the heap the module holds after a start on the fullest instrument,
// and its growth over 1000 lifecycle cycles (instantiate, initialize, start,
// every record received, shut down, delete).
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
#include <cstdio>
#include <cstring>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "host/LoggingCtrl.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"

namespace {

// LONCAL_BENCH_CYCLES changes the count, to see whether growth follows it.
int const kCycles = qEnvironmentVariableIntValue("LONCAL_BENCH_CYCLES") > 0
                        ? qEnvironmentVariableIntValue("LONCAL_BENCH_CYCLES") : 1000;
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
    explicit HeapProbe(QString const& massifDirectory) : m_directory(massifDirectory) {}

    bool underMassif() const { return !m_directory.isEmpty() && RUNNING_ON_VALGRIND; }

    qint64 take(QByteArray const& name)
    {
        if (!underMassif())
            return heapInUse();
        QString const path = QDir(m_directory).filePath(QString::fromLatin1(name) + QStringLiteral(".massif"));
        QByteArray const command = "snapshot " + QFile::encodeName(path);
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
bool lifecycle(BenchInstrument& instrument, HeapProbe* probe = nullptr, qint64* held = nullptr,
               char const* name = "warm")
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

    // Under massif only the held heap: a thousand cycles there take minutes.
    if (!probe.underMassif()) {
        bool allStarted = true;
        for (int cycle = 0; cycle < kWarmCycles; ++cycle)
            allStarted = lifecycle(instrument) && allStarted;
        drainTimers();
        qint64 const start = heapInUse();
        QElapsedTimer clock;
        clock.start();
        for (int cycle = 0; cycle < kCycles; ++cycle)
            allStarted = lifecycle(instrument) && allStarted;
        qint64 const grownAtOnce = heapInUse() - start;
        double const cycleMs = clock.elapsed() / double(kCycles);
        drainTimers();
        qint64 const grown = heapInUse() - start;
        std::fprintf(stderr,
                     "%d cycles (%.2f ms each): heap grew %lld bytes right after, %lld bytes once their "
                     "timers ran out\n",
                     kCycles, cycleMs, static_cast<long long>(grownAtOnce), static_cast<long long>(grown));
        if (!allStarted)
            std::fprintf(stderr, "bench_memory: not every cycle received every record\n");
        else
            // The smallest block the allocator hands out is 32 bytes: less than
            // a byte a cycle means not one block a cycle stays behind.
            table.add(QStringLiteral("memory_growth_%1_cycles").arg(kCycles), static_cast<double>(grownAtOnce),
                      QStringLiteral("bytes"), 0, QStringLiteral("no_growth(<1B/cycle)"), grownAtOnce < kCycles);
    }
    table.print();
    return 0;
}
