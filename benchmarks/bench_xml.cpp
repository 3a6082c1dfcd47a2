// XML: the export of a full instrument into a document and its text, and the
// import of that text up to the summary; against QDomDocument parsing and
// writing the same text.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDomDocument>
#include <QScopedPointer>
#include <cstdio>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "RunCollector.h"
#include "host/DialogWindow.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"

namespace {

constexpr double kRatioGoal = 2.0;
constexpr int kIdleTimeoutMs = 10000;

// The module started on the fullest instrument with every record received.
class FullInstrument
{
public:
    FullInstrument()
    {
        m_module.reset(new LonCalibration());
        if (!m_instrument.isValid() || !m_module->initialize(m_instrument.registry()))
            return;
        m_instrument.answerAtOnce();
        m_module->startModule();
        if (!m_instrument.lon()->waitUntilIdle(kIdleTimeoutMs))
            return;
        QDomDocument document;
        m_module->writeAllCalibrationValuesToDom(document);
        m_text = document.toString();
        m_values = document.documentElement().childNodes().count();
    }

    ~FullInstrument()
    {
        m_module->shutdownModule();
        m_module.reset();
        HostFixture::flushDeferredDeletes();
    }

    LonCalibration* module() const { return m_module.data(); }
    QString const& text() const { return m_text; }
    int values() const { return m_values; }

private:
    BenchInstrument m_instrument;
    QScopedPointer<LonCalibration> m_module;
    QString m_text;
    int m_values = 0;
};

FullInstrument* g_instrument = nullptr;
QString g_summary;

void BM_Export(benchmark::State& state)
{
    LonCalibration* module = g_instrument->module();
    qsizetype length = 0;
    for (auto _ : state) {
        QDomDocument document;
        module->writeAllCalibrationValuesToDom(document);
        QString const text = document.toString();
        length = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    if (length != g_instrument->text().size())
        state.SkipWithError("the export changed between runs");
}

void BM_ImportToSummary(benchmark::State& state)
{
    LonCalibration* module = g_instrument->module();
    QString const text = g_instrument->text();
    for (auto _ : state) {
        module->importFileFromStick(text);
        benchmark::DoNotOptimize(module->infoDialog());
        // The summary dialog goes the way a person's "Ok" sends it.
        state.PauseTiming();
        if (DialogWindow* dialog = module->infoDialog())
            g_summary = dialog->message();
        QMetaObject::invokeMethod(module, "cleanUp", Qt::DirectConnection);
        HostFixture::flushDeferredDeletes();
        state.ResumeTiming();
    }
}

void BM_BaselineParseAndWrite(benchmark::State& state)
{
    QString const text = g_instrument->text();
    for (auto _ : state) {
        QDomDocument document;
        document.setContent(text, false);
        QString const written = document.toString();
        benchmark::DoNotOptimize(written.constData());
    }
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Repetitions(9)->MinTime(0.2)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Export)->Apply(configure);
BENCHMARK(BM_ImportToSummary)->Apply(configure);
BENCHMARK(BM_BaselineParseAndWrite)->Apply(configure);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QScopedPointer<FullInstrument> instrument(new FullInstrument());
    if (instrument->values() == 0) {
        std::fprintf(stderr, "bench_xml: the module received no values\n");
        return 1;
    }
    g_instrument = instrument.data();
    std::fprintf(stderr, "export of %d values, %d characters\n", instrument->values(),
                 static_cast<int>(instrument->text().size()));
    RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    g_instrument = nullptr;
    instrument.reset();
    benchmark::Shutdown();
    std::fprintf(stderr, "import summary: %s\n", qPrintable(g_summary));

    // CPU time of the one thread: the least disturbed by other work on the machine.
    double const baseline = collector.medianCpuSeconds("BM_BaselineParseAndWrite");
    FigureTable table;
    struct Row
    {
        char const* benchmark;
        char const* figure;
    };
    for (Row const& row : {Row{"BM_Export", "xml_export"}, Row{"BM_ImportToSummary", "xml_import"}}) {
        double const seconds = collector.medianCpuSeconds(row.benchmark);
        if (seconds <= 0 || baseline <= 0) {
            std::fprintf(stderr, "%s did not run\n", row.benchmark);
            continue;
        }
        table.add(QLatin1String(row.figure), seconds * 1e6, baseline * 1e6, QStringLiteral("us"), 1,
                  QStringLiteral("ratio<=2"), seconds / baseline <= kRatioGoal);
    }
    table.print();
    return 0;
}
