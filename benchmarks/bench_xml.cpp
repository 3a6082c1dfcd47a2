// XML: the module's export and import against bare Qt doing the same visible
// work on the same document of a full instrument. The export against QDom
// building and writing the same document and against QXmlStreamWriter; the
// import (without its dialog) against QDom parsing the same text and walking
// the same values, and against one QXmlStreamReader pass reading them. Then
// the costliest stick files under the size cap, one accepted and one refused,
// from the text to the dialog shown; against QDom parsing the same text.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDomDocument>
#include <QScopedPointer>
#include <QVector>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
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

using namespace LonCalibrationTypes;

namespace {

constexpr double kExportRatioGoal = 2.0;
constexpr double kImportRatioGoal = 1.5;
// The user interface may not hang on a stick file longer than this.
constexpr double kStickFileGoalSeconds = 0.1;
constexpr int kIdleTimeoutMs = 10000;
QString const kMainWindow = QStringLiteral("MainWindow");

struct Value
{
    QString key;
    int value;
};

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
        for (QDomElement element = document.documentElement().firstChildElement(); !element.isNull();
             element = element.nextSiblingElement())
            m_values.append({element.attribute(QStringLiteral("key")), element.text().toInt()});
        // The import's text: the last value one step off the instrument's, so
        // that a run shows it walked to the end.
        if (!m_values.isEmpty()) {
            QDomElement last = document.documentElement().lastChildElement();
            m_changedParameter = calibrationParameterForKey(m_values.last().key);
            m_changedValue = m_values.last().value > 0 ? m_values.last().value - 1 : m_values.last().value + 1;
            last.firstChild().toText().setData(QString::number(m_changedValue));
            m_importText = document.toString();
        }
    }

    ~FullInstrument()
    {
        m_module->shutdownModule();
        m_module.reset();
        HostFixture::flushDeferredDeletes();
    }

    LonCalibration* module() const { return m_module.data(); }
    QString const& text() const { return m_text; }
    QString const& importText() const { return m_importText; }
    QVector<Value> const& values() const { return m_values; }
    CalibrationParameters changedParameter() const { return m_changedParameter; }
    int changedValue() const { return m_changedValue; }
    // Without a main window the import has nowhere to show its dialog and ends
    // after the walk: the import without its dialog.
    void hideMainWindow(bool hidden)
    {
        m_instrument.mainWindow()->setObjectName(hidden ? QStringLiteral("NoMainWindow") : kMainWindow);
    }

private:
    BenchInstrument m_instrument;
    QScopedPointer<LonCalibration> m_module;
    QString m_text;
    QString m_importText;
    QVector<Value> m_values;
    CalibrationParameters m_changedParameter = CalParamNone;
    int m_changedValue = 0;
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
    if (!message.endsWith(expected))
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

// The values a bare program reads, and the last of them, to check a run.
struct Walked
{
    int count = 0;
    int last = 0;
    bool ok() const { return count == g_instrument->values().size() && last == g_instrument->changedValue(); }
};

void BM_Export(benchmark::State& state)
{
    LonCalibration* module = g_instrument->module();
    QString text;
    for (auto _ : state) {
        QDomDocument document;
        module->writeAllCalibrationValuesToDom(document);
        text = document.toString();
        benchmark::DoNotOptimize(text.constData());
    }
    if (text != g_instrument->text())
        state.SkipWithError("the export changed between runs");
}

// The same document as the module's, built and written with QDom.
void BM_BaselineDomExport(benchmark::State& state)
{
    QVector<Value> const& values = g_instrument->values();
    QString text;
    for (auto _ : state) {
        QDomDocument document;
        QDomElement root = document.createElement(QStringLiteral("calibration"));
        document.appendChild(root);
        for (Value const& value : values) {
            QDomElement element = document.createElement(QStringLiteral("value"));
            root.appendChild(element);
            element.setAttribute(QStringLiteral("key"), value.key);
            element.appendChild(document.createTextNode(QString::number(value.value)));
        }
        text = document.toString();
        benchmark::DoNotOptimize(text.constData());
    }
    if (text != g_instrument->text())
        state.SkipWithError("the QDom baseline wrote another document");
}

// The same text as the module's, written in one stream.
void BM_BaselineStreamExport(benchmark::State& state)
{
    QVector<Value> const& values = g_instrument->values();
    QString text;
    for (auto _ : state) {
        text.clear();
        QXmlStreamWriter writer(&text);
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(1);
        writer.writeStartElement(QStringLiteral("calibration"));
        for (Value const& value : values) {
            writer.writeStartElement(QStringLiteral("value"));
            writer.writeAttribute(QStringLiteral("key"), value.key);
            writer.writeCharacters(QString::number(value.value));
            writer.writeEndElement();
        }
        writer.writeEndElement();
        benchmark::DoNotOptimize(text.constData());
    }
    // The writer ends without the document's last line break.
    if (text.trimmed() != g_instrument->text().trimmed())
        state.SkipWithError("the stream baseline wrote another text");
}

void BM_Import(benchmark::State& state)
{
    LonCalibration* module = g_instrument->module();
    g_instrument->hideMainWindow(true);
    QMap<int, long long> loaded;
    for (auto _ : state) {
        module->importFileFromStick(g_instrument->importText());
        state.PauseTiming();
        loaded = module->loadedValues();
        state.ResumeTiming();
    }
    g_instrument->hideMainWindow(false);
    if (module->infoDialog() != nullptr || loaded.size() != 1
        || loaded.value(g_instrument->changedParameter(), -1) != g_instrument->changedValue())
        state.SkipWithError("the import did not read the file to its end");
}

// QDom parsing the text and walking every value as the import does: element
// name, key and number.
void BM_BaselineDomImport(benchmark::State& state)
{
    QString const& text = g_instrument->importText();
    Walked walked;
    for (auto _ : state) {
        walked = Walked();
        QDomDocument document;
        document.setContent(text, false);
        for (QDomNode child = document.documentElement().firstChild(); !child.isNull(); child = child.nextSibling()) {
            QDomElement const element = child.toElement();
            if (element.isNull() || element.tagName() != QLatin1String("value"))
                break;
            benchmark::DoNotOptimize(element.attribute(QStringLiteral("key")));
            walked.last = element.text().toInt();
            ++walked.count;
        }
    }
    if (!walked.ok())
        state.SkipWithError("the QDom baseline read other values");
}

// One stream pass reading the same values, refusing what the guard refuses.
void BM_BaselineStreamImport(benchmark::State& state)
{
    QString const& text = g_instrument->importText();
    Walked walked;
    for (auto _ : state) {
        walked = Walked();
        QXmlStreamReader reader(text);
        reader.setNamespaceProcessing(false);
        while (!reader.atEnd()) {
            QXmlStreamReader::TokenType const token = reader.readNext();
            if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
                break;
            if (token == QXmlStreamReader::StartElement && reader.name() == QLatin1String("value")) {
                benchmark::DoNotOptimize(reader.attributes().value(QLatin1String("key")).toString());
                walked.last = reader.readElementText().toInt();
                ++walked.count;
            }
        }
        benchmark::DoNotOptimize(reader.hasError());
    }
    if (!walked.ok())
        state.SkipWithError("the stream baseline read other values");
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

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Repetitions(9)->MinTime(0.2)->UseRealTime()->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Export)->Apply(configure);
BENCHMARK(BM_BaselineDomExport)->Apply(configure);
BENCHMARK(BM_BaselineStreamExport)->Apply(configure);
BENCHMARK(BM_Import)->Apply(configure);
BENCHMARK(BM_BaselineDomImport)->Apply(configure);
BENCHMARK(BM_BaselineStreamImport)->Apply(configure);
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
    if (instrument->values().isEmpty() || instrument->changedParameter() == CalParamNone) {
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
    std::fprintf(stderr, "export of %d values, %d characters\n", static_cast<int>(instrument->values().size()),
        static_cast<int>(instrument->text().size()));
    // The import with its dialog, once, untimed: what a person would see.
    instrument->module()->importFileFromStick(instrument->importText());
    if (DialogWindow* dialog = instrument->module()->infoDialog())
        g_summary = dialog->message();
    QMetaObject::invokeMethod(instrument->module(), "cleanUp", Qt::DirectConnection);
    HostFixture::flushDeferredDeletes();
    std::fprintf(stderr, "import summary: %s\n", qPrintable(g_summary));

    RunCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    g_instrument = nullptr;
    instrument.reset();
    benchmark::Shutdown();

    // CPU time of the one thread: the least disturbed by other work on the machine.
    struct Row
    {
        char const* benchmark;
        char const* baseline;
        char const* figure;
        char const* goal;
        double ratioGoal; // 0: a reference without a goal
    };
    static Row const rows[] = {
        {"BM_Export", "BM_BaselineDomExport", "xml_export_vs_dom", "ratio<=2", kExportRatioGoal},
        {"BM_Export", "BM_BaselineStreamExport", "xml_export_vs_stream_writer", "reference", 0},
        {"BM_Import", "BM_BaselineDomImport", "xml_import_vs_dom", "ratio<=1.5", kImportRatioGoal},
        {"BM_Import", "BM_BaselineStreamImport", "xml_import_vs_stream_reader", "reference", 0},
    };
    FigureTable table;
    for (Row const& row : rows) {
        double const seconds = collector.medianCpuSeconds(row.benchmark);
        double const baseline = collector.medianCpuSeconds(row.baseline);
        if (seconds <= 0 || baseline <= 0) {
            std::fprintf(stderr, "%s or %s did not run\n", row.benchmark, row.baseline);
            continue;
        }
        table.add(QLatin1String(row.figure), seconds * 1e6, baseline * 1e6, QStringLiteral("us"), 1,
            QLatin1String(row.goal), row.ratioGoal == 0 || seconds / baseline <= row.ratioGoal);
    }
    for (Row const& row : {Row{"BM_StickWorstAccepted", "BM_BaselineParseWorstAccepted", "stick_worst_accepted", "", 0},
             Row{"BM_StickWorstRefused", "BM_BaselineParseWorstRefused", "stick_worst_refused", "", 0}}) {
        double const seconds = collector.medianCpuSeconds(row.benchmark);
        double const parse = collector.medianCpuSeconds(row.baseline);
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
