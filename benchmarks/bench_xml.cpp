// XML: the export of a full instrument into a document and its text, and the
// import of that text up to the summary; against QDomDocument parsing and
// writing the same text. Then the costliest stick files under the size cap,
// one accepted and one refused, from the text to the dialog shown; against
// QDomDocument parsing the same text, the least any import of it costs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDomDocument>
#include <QScopedPointer>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchInstrument.h"
#include "FigureTable.h"
#include "RunCollector.h"
#include "host/DialogWindow.h"
#include "module/LonCalibration.h"
#include "records/CalibrationFileGuard.h"
#include "sim/LonSimulator.h"

namespace {

constexpr double kRatioGoal = 2.0;
// The user interface may not hang on a stick file longer than this.
constexpr double kStickFileGoalSeconds = 0.1;
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
QString g_worstAccepted;
QString g_worstRefused;

// The costliest stick files we could build under the size cap. The guard lets
// MaxNodes - 1 "value" elements stand under the root, each with the most
// attributes it allows; each element is a value the instrument holds, and its
// attribute values are "&lt;" references up to the size cap: the densest text
// that both the guard's reader and the document parser must decode. The
// refused file is the same with a last value its byte field cannot hold, so
// that everything is parsed and walked before "Invalid file". Tried and
// cheaper, accepted: the same with plain, "&quot;", "&#1;" or line-break
// attribute values ("&#x10FFFF;" costs about as much), long comments, a value
// text of a million leading zeros, spaces or "&#48;" references; refused: one
// node too many after all of it (the guard stops before any parser), a key of
// a million characters.
QString worstStickFile(bool refused)
{
    int const elements = CalibrationFileGuard::MaxNodes - 1;
    int const extraAttributes = CalibrationFileGuard::MaxAttributes - 1;
    QString const root = QStringLiteral("<calibration>%1</calibration>");
    QString const element = QStringLiteral("<value key=\"U-mains Gain\"%1>%2</value>");
    // An attribute ' b="..."' takes five characters besides its value; three are left for the value text.
    int const share = (CalibrationFileGuard::MaxCharacters - root.size()) / elements - element.size() - 3;
    int const references = (share - 5 * extraAttributes) / 4;
    QString attributes;
    for (int i = 0; i < extraAttributes; ++i) {
        int const count = references / extraAttributes + (i == 0 ? references % extraAttributes : 0);
        QString const name(QChar(QLatin1Char('b' + i)));
        attributes += QStringLiteral(" %1=\"%2\"").arg(name, QStringLiteral("&lt;").repeated(count));
    }
    QString const accepted = element.arg(attributes, QStringLiteral("1"));
    QString const last = refused ? element.arg(attributes, QStringLiteral("128")) : accepted;
    return root.arg(accepted.repeated(elements - 1) + last);
}

// One import per iteration, timed from the text handed in to the dialog shown.
void importRepeatedly(benchmark::State& state, QString const& text, QString const& expected)
{
    LonCalibration* module = g_instrument->module();
    QString message;
    for (auto _ : state) {
        module->importFileFromStick(text);
        benchmark::DoNotOptimize(module->infoDialog());
        // The summary dialog goes the way a person's "Ok" sends it.
        state.PauseTiming();
        if (DialogWindow* dialog = module->infoDialog())
            message = dialog->message();
        QMetaObject::invokeMethod(module, "cleanUp", Qt::DirectConnection);
        HostFixture::flushDeferredDeletes();
        state.ResumeTiming();
    }
    if (expected.isEmpty())
        g_summary = message;
    else if (!message.endsWith(expected))
        state.SkipWithError("the file was not judged as intended");
}

void parseRepeatedly(benchmark::State& state, QString const& text)
{
    for (auto _ : state) {
        QDomDocument document;
        document.setContent(text, false);
        benchmark::DoNotOptimize(document.documentElement());
    }
}

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
    importRepeatedly(state, g_instrument->text(), QString());
}

void BM_StickWorstAccepted(benchmark::State& state)
{
    importRepeatedly(state, g_worstAccepted, QStringLiteral(" loaded, 0 equal"));
}

void BM_StickWorstRefused(benchmark::State& state)
{
    importRepeatedly(state, g_worstRefused, QStringLiteral("Invalid file"));
}

void BM_BaselineParseWorstAccepted(benchmark::State& state)
{
    parseRepeatedly(state, g_worstAccepted);
}

void BM_BaselineParseWorstRefused(benchmark::State& state)
{
    parseRepeatedly(state, g_worstRefused);
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
BENCHMARK(BM_StickWorstAccepted)->Apply(configure);
BENCHMARK(BM_BaselineParseWorstAccepted)->Apply(configure);
BENCHMARK(BM_StickWorstRefused)->Apply(configure);
BENCHMARK(BM_BaselineParseWorstRefused)->Apply(configure);

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
    g_worstAccepted = worstStickFile(false);
    g_worstRefused = worstStickFile(true);
    if (g_worstRefused.size() > CalibrationFileGuard::MaxCharacters) {
        std::fprintf(stderr, "bench_xml: the worst stick file is over the size cap\n");
        return 1;
    }
    std::fprintf(stderr, "worst stick files: %d and %d characters\n", static_cast<int>(g_worstAccepted.size()),
                 static_cast<int>(g_worstRefused.size()));
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
    for (Row const& row : {Row{"BM_StickWorstAccepted", "stick_worst_accepted"},
                           Row{"BM_StickWorstRefused", "stick_worst_refused"}}) {
        std::string const name = row.benchmark;
        double const seconds = collector.medianCpuSeconds(name);
        double const parse = collector.medianCpuSeconds("BM_BaselineParse" + name.substr(std::strlen("BM_Stick")));
        if (seconds <= 0 || parse <= 0) {
            std::fprintf(stderr, "%s did not run\n", row.benchmark);
            continue;
        }
        table.add(QLatin1String(row.figure), seconds * 1e3, parse * 1e3, QStringLiteral("ms"), 1,
                  QStringLiteral("<100ms"), seconds < kStickFileGoalSeconds);
    }
    table.print();
    return 0;
}
