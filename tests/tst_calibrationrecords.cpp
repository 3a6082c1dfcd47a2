#include <QAbstractButton>
#include <QDomDocument>
#include <QProcess>
#include <QtTest>

#include "host/Button.h"
#include "host/ColoredLabel.h"
#include "host/ConfigStore.h"
#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/IPrint.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/SystemService.h"
#include "module/ILoadFromStickCallback.h"
#include "module/LonCalibration.h"
#include "records/CalibrationFileGuard.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/FakeNode.h"
#include "support/HostFixture.h"
#include "support/LonCalibrationTestAccess.h"
#include "support/ModuleHarness.h"

using namespace LonCalibrationTypes;

namespace {

// A calibration file of "key=value" pairs, one "value" element each.
QString file(QList<QPair<QString, QString>> const& values, QString const& extra = QString())
{
    QString text = QStringLiteral("<calibration>");
    for (auto const& value : values)
        text += QStringLiteral("<value key=\"%1\">%2</value>").arg(value.first, value.second);
    return text + extra + QStringLiteral("</calibration>");
}

// The twelve values the test instrument holds: PSU (node 18) 1 to 6, burner (node 27) 32 to 37.
QList<QPair<QString, QString>> twelveValues()
{
    return {{"U-mains Gain", "1"},    {"U-mains Offset", "2"},    {"I-mains Gain", "3"},
            {"I-mains Offset", "4"},  {"I-mains Gain (int)", "5"}, {"I-mains Offset (int)", "6"},
            {"I-brn lv Gain", "3"},   {"I-brn lv Offset", "33"},   {"I-brn hv Gain", "34"},
            {"I-brn hv Offset", "35"}, {"U-brn lv Gain", "36"},    {"U-brn lv Offset", "37"}};
}

class StickModule : public ILoadFromStickCallback
{
public:
    void loadFromStick() override { ++calls; }
    int calls = 0;
};

QStringList buttonTexts(LonCalibration const* module)
{
    QStringList texts;
    if (DialogWindow* dialog = module->infoDialog()) {
        if (dialog->acceptButton())
            texts << dialog->acceptButton()->text();
        if (dialog->rejectButton())
            texts << dialog->rejectButton()->text();
    }
    return texts;
}

void click(LonCalibration const* module, QString const& text)
{
    DialogWindow* dialog = module->infoDialog();
    QVERIFY(dialog);
    for (QAbstractButton* button : {dialog->acceptButton(), dialog->rejectButton()}) {
        if (button != nullptr && button->text() == text) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button %1").arg(text)));
}

// A "value" element with the key and `extra` further attributes.
QString valueWithAttributes(int extra, QString const& name = QStringLiteral("a"))
{
    QString text = QStringLiteral("<calibration><value key=\"U-mains Gain\"");
    for (int i = 0; i < extra; ++i)
        text += QStringLiteral(" %1%2=\"\"").arg(name).arg(i);
    return text + QStringLiteral(">1</value></calibration>");
}

// The profile with every byte of its node memory set to `fill`: the extremes
// of every field, signed and unsigned.
InstrumentProfile filled(InstrumentProfile profile, int fill)
{
    if (fill < 0)
        return profile;
    for (QByteArray& bytes : profile.variables)
        bytes.fill(static_cast<char>(fill));
    return profile;
}

QString pdfText(QString const& fileName)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), fileName, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

// The calibration document written for other modules, its value-by-value load
// back from a stick, the information view and its printed sheet.
class tst_CalibrationRecords : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void exportHoldsReceivedValuesInOrder();
    void importSummary_data();
    void importSummary();
    void walkConfirmsSkipsAndCancels();
    void walkPassesOverValuesNoNodeTakes();
    void importChecksTheFieldRange_data();
    void importChecksTheFieldRange();
    void exportLoadsBackAllEqual_data();
    void exportLoadsBackAllEqual();
    void loadFromStickAsksTheStickModule();
    void informationViewColumns_data();
    void informationViewColumns();
    void informationViewButtons();
    void sheetLayout();
    void sheetBreaksColumnsAtTheNextTitle();
    void printedPdfHoldsTheSheet();
    void printOutcomes();
    void servicePrint();
    void servicePrintOutlivesAScheduledCleanUp();

private:
    void start(int hardware = 1, int networkType = 3);
    FakeNode* addNode(unsigned char key, unsigned char nodeId, QList<CalibrationParameters> const& owned,
                      bool received = true);
    QStringList buttonTexts() const;
    void click(QString const& text);

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<LonCalibration> m_module;
    LonCalibration::NodeTable m_nodes;
};

void tst_CalibrationRecords::cleanup()
{
    if (m_module)
        m_module->shutdownModule();
    m_module.reset();
    m_nodes.clear();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_CalibrationRecords::start(int hardware, int networkType)
{
    // A second start in one test replaces the module first, then its host.
    if (m_module)
        m_module->shutdownModule();
    m_module.reset();
    m_nodes.clear();
    m_host.reset();
    HostFixture::Options options;
    options.hardware = hardware;
    options.networkType = static_cast<unsigned char>(networkType);
    m_host.reset(new HostFixture(options));
    m_host->parameters()->setParameter(ParamServiceMode, 1);
    m_module.reset(new LonCalibration());
    QVERIFY(m_module->initialize(&m_host->registry));
    m_module->startModule();
}

FakeNode* tst_CalibrationRecords::addNode(unsigned char key, unsigned char nodeId,
                                          QList<CalibrationParameters> const& owned, bool received)
{
    QSharedPointer<FakeNode> node(new FakeNode(&m_host->registry, m_host->lon(), nodeId, owned));
    node->received = received;
    for (CalibrationParameters parameter : owned)
        node->values.insert(parameter, parameter);
    m_nodes.insert(key, node);
    LonCalibrationTestAccess::setNodes(*m_module, m_nodes);
    return node.data();
}

QStringList tst_CalibrationRecords::buttonTexts() const
{
    return ::buttonTexts(m_module.data());
}

void tst_CalibrationRecords::click(QString const& text)
{
    ::click(m_module.data(), text);
}

void tst_CalibrationRecords::exportHoldsReceivedValuesInOrder()
{
    start();
    FakeNode* cascade = addNode(19, 19, {UNomGain40kV, UNomOffset});
    cascade->values.insert(UNomOffset, -7);
    cascade->values.insert(UNomGain40kV, 0);
    FakeNode* psu = addNode(18, 18, {UMainsOffset, UMainsGain});
    psu->values.insert(UMainsGain, 12);
    psu->values.insert(UMainsOffset, -3);
    FakeNode* vlf = addNode(28, 28, {VlfCurrentMaximum});
    vlf->values.insert(VlfCurrentMaximum, 12000);
    addNode(20, 20, {SurgeCounter2kV}, false);

    QDomDocument document;
    m_module->writeAllCalibrationValuesToDom(document);
    QString const expected = QStringLiteral(
        "<calibration>"
        "<value key=\"U-mains Gain\">12</value>"
        "<value key=\"U-mains Offset\">-3</value>"
        "<value key=\"U-nom Offset\">-7</value>"
        "<value key=\"UnomGain40kV\">0</value>"
        "<value key=\"\">12000</value>"
        "</calibration>");
    QDomDocument reference;
    QVERIFY(reference.setContent(expected));
    QCOMPARE(document.toString(-1), reference.toString(-1));

    // Before any node has answered, only the root is written.
    start();
    addNode(18, 18, {UMainsGain}, false);
    QDomDocument empty;
    m_module->writeAllCalibrationValuesToDom(empty);
    QCOMPARE(empty.toString(-1), QStringLiteral("<calibration/>"));
}

void tst_CalibrationRecords::importSummary_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");     // empty: no dialog at all
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("log");

    QStringList const ok{"Ok"};
    QString const invalid = QStringLiteral("Invalid file");
    QString const failed = QStringLiteral("Load Calibration data failed");
    auto values = twelveValues();

    QTest::newRow("all-equal") << file(values) << "12 loaded, 12 equal" << ok
                               << "Load Calibration data from stick (12 loaded, 12 equal)";
    auto differing = values;
    differing[1].second = QStringLiteral("-1");
    differing[6].second = QStringLiteral("5");
    differing[10].second = QStringLiteral("9");
    QTest::newRow("three-differing") << file(differing) << "12 loaded, 9 equal" << QStringList{"Load", "Cancel"}
                                     << "Load Calibration data from stick (12 loaded, 9 equal)";
    QTest::newRow("other-instrument-keys-ignored")
        << file(values + QList<QPair<QString, QString>>{{"Surge Counter 2 kV", "12"}, {"UnomGain40kV", "1"}})
        << "12 loaded, 12 equal" << ok << "Load Calibration data from stick (12 loaded, 12 equal)";
    QTest::newRow("negative-accepted") << file({{"U-mains Gain", "-5"}}) << "1 loaded, 0 equal"
                                       << QStringList{"Load", "Cancel"}
                                       << "Load Calibration data from stick (1 loaded, 0 equal)";
    QTest::newRow("comment-skipped") << file({{"U-mains Gain", "1"}}, "<!-- saved on site -->")
                                     << "1 loaded, 1 equal" << ok << "Load Calibration data from stick (1 loaded, 1 equal)";
    QTest::newRow("name-of-13-is-no-key") << file({{"U-nom Gain 40 kV (DC)", "1"}}) << invalid << ok << failed;
    QTest::newRow("unknown-key") << file({{"U-mains Gain!", "1"}}) << invalid << ok << failed;
    QTest::newRow("decimal-point") << file({{"U-mains Gain", "5.0"}}) << invalid << ok << failed;
    QTest::newRow("hexadecimal") << file({{"U-mains Gain", "0x5"}}) << invalid << ok << failed;
    QTest::newRow("beyond-32-bits") << file({{"U-mains Gain", "2147483648"}}) << invalid << ok << failed;
    QTest::newRow("empty-value") << file({{"U-mains Gain", ""}}) << invalid << ok << failed;
    QTest::newRow("processing-instruction") << file({{"U-mains Gain", "1"}}, "<?note x?>") << invalid << ok << failed;
    QTest::newRow("text-in-root") << file({{"U-mains Gain", "1"}}, "loose") << invalid << ok << failed;
    QTest::newRow("other-element") << file({{"U-mains Gain", "1"}}, "<val key=\"U-mains Gain\">1</val>") << invalid
                                   << ok << failed;
    QTest::newRow("empty-text") << QString() << QString() << QStringList{} << QString();
    QTest::newRow("not-well-formed") << QStringLiteral("<calibration><value key=\"U-mains Gain\">1</calibration>")
                                     << QString() << QStringList{} << QString();
    QTest::newRow("byte-order-mark") << QChar(0xFEFF) + file(values) << "12 loaded, 12 equal" << ok
                                     << "Load Calibration data from stick (12 loaded, 12 equal)";
    // Well-formed, yet the document parser refuses the middle dot in a name.
    QTest::newRow("name-the-document-parser-refuses")
        << QStringLiteral("<calibration\u00b7><value key=\"U-mains Gain\">1</value></calibration\u00b7>") << invalid
        << ok << failed;
    QTest::newRow("name-longer-than-the-reader-takes")
        << QStringLiteral("<calibration><value key=\"U-mains Gain\" %1=\"\">1</value></calibration>")
               .arg(QString(5000, QLatin1Char('n')))
        << invalid << ok << failed;
    QTest::newRow("attributes-up-to-the-limit") << valueWithAttributes(CalibrationFileGuard::MaxAttributes - 1)
                                                << "1 loaded, 1 equal" << ok
                                                << "Load Calibration data from stick (1 loaded, 1 equal)";
    QTest::newRow("attributes-beyond-the-limit") << valueWithAttributes(CalibrationFileGuard::MaxAttributes) << invalid
                                                 << ok << failed;
    // The root, one value and comments: every one a node of the document.
    QString const comment = QStringLiteral("<!---->");
    QTest::newRow("nodes-up-to-the-limit")
        << file({{"U-mains Gain", "1"}}, comment.repeated(CalibrationFileGuard::MaxNodes - 2)) << "1 loaded, 1 equal"
        << ok << "Load Calibration data from stick (1 loaded, 1 equal)";
    QTest::newRow("nodes-beyond-the-limit")
        << file({{"U-mains Gain", "1"}}, comment.repeated(CalibrationFileGuard::MaxNodes - 1)) << invalid << ok
        << failed;
    QTest::newRow("namespace-declarations-count")
        << valueWithAttributes(CalibrationFileGuard::MaxAttributes, QStringLiteral("xmlns:p")) << invalid << ok
        << failed;

    // Hostile files from a stick: refused before a document is built.
    QString const padding =
        QStringLiteral("<!--%1-->").arg(QString(CalibrationFileGuard::MaxCharacters, QLatin1Char(' ')));
    QTest::newRow("oversized") << file({{"U-mains Gain", "1"}}, padding) << invalid << ok << failed;
    QString laughs = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE calibration [<!ENTITY l0 \"ha\">");
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;\">").arg(i).arg(i - 1);
    laughs += QStringLiteral("]><calibration><value key=\"U-mains Gain\">&l9;</value></calibration>");
    QTest::newRow("entity-expansion") << laughs << invalid << ok << failed;
    QTest::newRow("external-entity")
        << QStringLiteral("<!DOCTYPE calibration [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                          "<calibration><value key=\"U-mains Gain\">&x;</value></calibration>")
        << invalid << ok << failed;
    QTest::newRow("deep-nesting") << QStringLiteral("<a>").repeated(100000) + QStringLiteral("</a>").repeated(100000)
                                  << invalid << ok << failed;
    QTest::newRow("many-attributes") << valueWithAttributes(80000) << invalid << ok << failed;
    QTest::newRow("many-namespace-declarations") << valueWithAttributes(60000, QStringLiteral("xmlns:p")) << invalid
                                                 << ok << failed;
}

void tst_CalibrationRecords::importSummary()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QStringList, buttons);
    QFETCH(QString, log);

    start();
    addNode(18, 18, {UMainsGain, UMainsOffset, IMainsGain, IMainsOffset, IMainsGainInt, IMainsOffsetInt});
    FakeNode* burner = addNode(27, 27, {IBrnLvGain, IBrnLvOffset, IBrnHvGain, IBrnHvOffset, UBrnLvGain, UBrnLvOffset});
    burner->values.insert(IBrnLvGain, 3);
    addNode(20, 20, {SurgeCounter2kV}, false);
    QMap<int, long long> const before = m_nodes.value(18).staticCast<FakeNode>()->values;

    m_module->importFileFromStick(text);
    if (message.isEmpty()) {
        QVERIFY(m_module->infoDialog() == nullptr);
        QVERIFY(m_host->logLines().isEmpty());
        return;
    }
    DialogWindow* dialog = m_module->infoDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("Load calibration"));
    QCOMPARE(dialog->message(), message);
    QCOMPARE(buttonTexts(), buttons);
    QCOMPARE(m_host->logLines(), QStringList{log});
    // Nothing is stored before the user confirms a value.
    QCOMPARE(m_nodes.value(18).staticCast<FakeNode>()->values, before);
    QCOMPARE(burner->values.value(IBrnLvGain), 3);
}

void tst_CalibrationRecords::walkConfirmsSkipsAndCancels()
{
    start();
    FakeNode* psu = addNode(18, 18, {UMainsGain, UMainsOffset, IMainsGain, IMainsOffset, IMainsGainInt, IMainsOffsetInt});
    FakeNode* burner = addNode(27, 27, {IBrnLvGain, IBrnLvOffset, IBrnHvGain, IBrnHvOffset, UBrnLvGain, UBrnLvOffset});
    burner->values.insert(IBrnLvGain, 3);
    auto differing = twelveValues();
    differing[1].second = QStringLiteral("-1");
    differing[6].second = QStringLiteral("5");
    differing[10].second = QStringLiteral("9");

    m_module->importFileFromStick(file(differing));
    click(QStringLiteral("Load"));
    QCOMPARE(buttonTexts(), (QStringList{"Confirm", "Skip"}));
    QCOMPARE(m_module->infoDialog()->message(), QStringLiteral("HPSU.U-mains Offset: from 2 to -1"));
    click(QStringLiteral("Skip"));
    QCOMPARE(m_module->infoDialog()->message(), QStringLiteral("HBRN.I-brn lv Gain: from 3 to 5"));
    click(QStringLiteral("Confirm"));
    QCOMPARE(m_module->infoDialog()->message(), QStringLiteral("HBRN.U-brn lv Gain: from 36 to 9"));
    click(QStringLiteral("Confirm"));
    QVERIFY(m_module->infoDialog() == nullptr);

    QCOMPARE(psu->values.value(UMainsOffset), 2);
    QCOMPARE(burner->values.value(IBrnLvGain), 5);
    QCOMPARE(burner->values.value(UBrnLvGain), 9);
    QVERIFY(m_host->logLines().contains(QStringLiteral("HBRN.I-brn lv Gain: from 3 to 5")));
    // Two confirmed values of one node make one write, some 200 ms later.
    QCOMPARE(burner->sends, 0);
    QTRY_COMPARE(burner->sends, 1);
    QTest::qWait(250);
    QCOMPARE(burner->sends, 1);
    QCOMPARE(psu->sends, 0);

    // Cancel stores nothing; cleanUp keeps the map; the next import empties it.
    m_module->importFileFromStick(file({{"U-mains Gain", "-9"}}));
    QCOMPARE(m_module->loadedValues().size(), 1);
    click(QStringLiteral("Cancel"));
    QVERIFY(m_module->infoDialog() == nullptr);
    QCOMPARE(m_module->loadedValues().size(), 1);
    QCOMPARE(psu->values.value(UMainsGain), 1);
    m_module->importFileFromStick(file({{"U-mains Gain", "1"}}));
    QVERIFY(m_module->loadedValues().isEmpty());
}

void tst_CalibrationRecords::walkPassesOverValuesNoNodeTakes()
{
    start();
    FakeNode* vlf = addNode(28, 28, {VlfCurrentMaximum, UNomNegGain});
    vlf->readOnly = {VlfCurrentMaximum};
    m_module->importFileFromStick(file({{"", "5000"}, {"U-nom neg Gain", "-4"}}));
    QCOMPARE(m_module->infoDialog()->message(), QStringLiteral("2 loaded, 0 equal"));
    click(QStringLiteral("Load"));
    // The current maximum cannot be stored: the walk goes on to the value after it.
    QCOMPARE(m_module->infoDialog()->message(), QStringLiteral("HVLF.U-nom neg Gain: from 38 to -4"));
    click(QStringLiteral("Confirm"));
    QVERIFY(m_module->infoDialog() == nullptr);
    QCOMPARE(vlf->values.value(UNomNegGain), -4);
    QCOMPARE(vlf->values.value(VlfCurrentMaximum), 52);
}

void tst_CalibrationRecords::importChecksTheFieldRange_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<bool>("answered"); // false: held, but not read from the node yet
    QTest::addColumn<int>("parameter");
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<QString>("message");

    QString const nt3 = QStringLiteral("nt3-full");
    QString const nt9 = QStringLiteral("nt9");
    QString const hvDc = QStringLiteral("nt3-hvdc-hw7");
    QString const invalid = QStringLiteral("Invalid file");
    QString const differs = QStringLiteral("1 loaded, 0 equal");
    QString const none = QStringLiteral("0 loaded, 0 equal");

    QTest::newRow("gain-127") << nt3 << true << int(UMainsGain) << 127LL << differs;
    QTest::newRow("gain-128") << nt3 << true << int(UMainsGain) << 128LL << invalid;
    QTest::newRow("offset--128") << nt3 << true << int(UMainsOffset) << -128LL << differs;
    QTest::newRow("offset--129") << nt3 << true << int(UMainsOffset) << -129LL << invalid;
    QTest::newRow("gain-300") << nt3 << true << int(IBrnLvGain) << 300LL << invalid;
    QTest::newRow("gain-int-max") << nt3 << true << int(UNomGain80kV) << 2147483647LL << invalid;
    QTest::newRow("hvdc-gain-128") << hvDc << true << int(IMotorGain) << 128LL << invalid;
    QTest::newRow("surge-6553") << nt3 << true << int(SurgeCounter2kV) << 6553LL << differs;
    QTest::newRow("surge-6554") << nt3 << true << int(SurgeCounter2kV) << 6554LL << invalid;
    QTest::newRow("surge--1") << nt3 << true << int(SurgeCounter60kV) << -1LL << invalid;
    QTest::newRow("vlf-start-65535") << nt3 << true << int(VlfStartCounter) << 65535LL << differs;
    QTest::newRow("vlf-start-65536") << nt3 << true << int(VlfStartCounter) << 65536LL << invalid;
    QTest::newRow("vlf-cycle-42949672") << nt3 << true << int(VlfCycleCounter) << 42949672LL << differs;
    QTest::newRow("vlf-cycle-42949673") << nt3 << true << int(VlfCycleCounter) << 42949673LL << invalid;
    QTest::newRow("current-maximum--1") << nt3 << true << int(VlfCurrentMaximum) << -1LL << invalid;
    QTest::newRow("compensation-nt3-127") << nt3 << true << int(IIntComp80kV) << 127LL << differs;
    QTest::newRow("compensation-nt3-128") << nt3 << true << int(IIntComp80kV) << 128LL << invalid;
    QTest::newRow("compensation-nt9-65500") << nt9 << true << int(IIntComp8kV) << 65500LL << differs;
    QTest::newRow("compensation-nt9-65501") << nt9 << true << int(IIntComp8kV) << 65501LL << invalid;
    QTest::newRow("compensation-nt9--1") << nt9 << true << int(IIntComp8kV) << -1LL << invalid;
    QTest::newRow("enable-nt9-2") << nt9 << true << int(EnableComp) << 2LL << invalid;
    QTest::newRow("cascade-65536") << hvDc << true << int(Cascade) << 65536LL << invalid;
    QTest::newRow("slim-rotor-2") << hvDc << true << int(SlimRotorVlf) << 2LL << invalid;
    QTest::newRow("not-received-still-checked") << nt3 << false << int(UMainsGain) << 300LL << invalid;
    QTest::newRow("not-received-fits") << nt3 << false << int(UMainsGain) << 5LL << none;
    QTest::newRow("not-held-ignored") << hvDc << true << int(SurgeCounter2kV) << 70000LL << none;
}

void tst_CalibrationRecords::importChecksTheFieldRange()
{
    QFETCH(QString, profile);
    QFETCH(bool, answered);
    QFETCH(int, parameter);
    QFETCH(qlonglong, value);
    QFETCH(QString, message);

    ModuleHarness harness(*InstrumentProfile::find(profile));
    harness.lon()->setAutoAnswer(answered);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.lon()->waitUntilIdle(5000));
    LonCalibration* module = harness.module();
    auto const number = static_cast<CalibrationParameters>(parameter);
    long long before = 0;
    module->getValueFromInternalBuffer(number, before, nullptr);
    harness.lon()->clearRecords();
    int const logged = harness.host().logLines().size();

    module->importFileFromStick(file({{calibrationParameterKey(number), QString::number(value)}}));
    QVERIFY(module->infoDialog());
    QCOMPARE(module->infoDialog()->message(), message);
    if (message != QLatin1String("1 loaded, 0 equal")) {
        QCOMPARE(::buttonTexts(module), QStringList{"Ok"});
        if (message == QLatin1String("Invalid file"))
            QCOMPARE(harness.host().logLines().mid(logged), QStringList{"Load Calibration data failed"});
        long long after = 0;
        module->getValueFromInternalBuffer(number, after, nullptr);
        QCOMPARE(after, before);
        QVERIFY(harness.lon()->sends().isEmpty());
        return;
    }
    // What fits is stored as it stands, not cut down to its field.
    ::click(module, QStringLiteral("Load"));
    ::click(module, QStringLiteral("Confirm"));
    QCOMPARE(module->getValue(number), value);
}

void tst_CalibrationRecords::exportLoadsBackAllEqual_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<int>("fill"); // every byte of node memory; -1: the profile's own contents

    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        QTest::addRow("%s", qPrintable(profile.name)) << profile.name << -1;
        for (int fill : {0x7F, 0x80, 0xFF})
            QTest::addRow("%s-%02x", qPrintable(profile.name), fill) << profile.name << fill;
    }
}

void tst_CalibrationRecords::exportLoadsBackAllEqual()
{
    QFETCH(QString, profile);
    QFETCH(int, fill);

    ModuleHarness harness(filled(*InstrumentProfile::find(profile), fill));
    harness.lon()->setAutoAnswer(true);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.lon()->waitUntilIdle(5000));
    QDomDocument document;
    harness.module()->writeAllCalibrationValuesToDom(document);
    int const values = document.documentElement().childNodes().count();
    QVERIFY(values > 0);

    harness.module()->importFileFromStick(document.toString());
    QVERIFY(harness.module()->infoDialog());
    QCOMPARE(harness.module()->infoDialog()->message(), QStringLiteral("%1 loaded, %1 equal").arg(values));
    QCOMPARE(::buttonTexts(harness.module()), QStringList{"Ok"});
}

void tst_CalibrationRecords::loadFromStickAsksTheStickModule()
{
    start();
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotLoadFromStick"));
    QCOMPARE(m_host->logLines().size(), 1);

    StickModule stick;
    m_module->registerCallback(&stick);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotLoadFromStick"));
    QCOMPARE(stick.calls, 1);
}

void tst_CalibrationRecords::informationViewColumns_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QList<unsigned char>>("keys");
    QTest::addColumn<QStringList>("columns");  // "column:node" in creation order

    QTest::newRow("hardware-11") << 11 << QList<unsigned char>{20, 28} << QStringList{"0:28", "1:20"};
    QTest::newRow("hardware-13") << 13 << QList<unsigned char>{3} << QStringList{"0:3"};
    QTest::newRow("hardware-7") << 7 << QList<unsigned char>{35} << QStringList{"0:35"};
    QTest::newRow("hardware-12") << 12 << QList<unsigned char>{35} << QStringList{"0:35"};
    QTest::newRow("general") << 1 << QList<unsigned char>{28, 27, 22, 20, 19, 18}
                             << QStringList{"0:18", "0:19", "1:22", "1:27", "2:20", "2:28"};
    QTest::newRow("general-partial") << 4 << QList<unsigned char>{20, 18} << QStringList{"0:18", "2:20"};
}

void tst_CalibrationRecords::informationViewColumns()
{
    QFETCH(int, hardware);
    QFETCH(QList<unsigned char>, keys);
    QFETCH(QStringList, columns);

    start(hardware);
    for (unsigned char key : keys)
        addNode(key, key, {UMainsGain});
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));
    DialogWindow* dialog = m_module->infoDialog();
    QVERIFY(dialog && !dialog->isHidden());
    QCOMPARE(dialog->title(), QStringLiteral("Info"));
    int const m = dialog->margins();
    int const s = dialog->getInnerSpace();
    QCOMPARE(dialog->width(), 900 + 2 * m + 4 * s);

    QStringList found;
    for (ColoredLabel* title : dialog->findChildren<ColoredLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        int const column = title->x() == m ? 0 : title->x() == m + 300 + 2 * s ? 1 : title->x() == m + 600 + 4 * s ? 2 : -1;
        found << QStringLiteral("%1:%2").arg(column).arg(title->text().section(QLatin1Char(' '), -1));
    }
    QCOMPARE(found, columns);
    QCOMPARE(m_host->logLines().first(), QStringLiteral("View calibration info"));
    QVERIFY(m_host->lon()->isModuleStatusOn());
}

void tst_CalibrationRecords::informationViewButtons()
{
    start();
    addNode(18, 18, {UMainsGain});
    m_host->parameters()->setParameter(ParamServiceMode, 0);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));
    QCOMPARE(buttonTexts(), QStringList{"Ok"});
    QVERIFY(m_module->infoDialog()->findChild<Button*>(QStringLiteral("Load")) == nullptr);

    m_host->parameters()->setParameter(ParamServiceMode, 1);
    m_module->testFunctions()->switchCalibration(true);
    m_host->print()->setCurrentPrinterName(IPrint::pdfTarnel);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));
    DialogWindow* dialog = m_module->infoDialog();
    QCOMPARE(buttonTexts(), (QStringList{"Print (PDF)", "Ok"}));
    QCOMPARE(dialog->acceptButton()->width(), 120);
    QCOMPARE(dialog->rejectButton()->width(), 120);
    auto* load = dialog->findChild<Button*>(QStringLiteral("Load"));
    QVERIFY(load);
    QCOMPARE(load->text(), QStringLiteral("Load from USB-Stick"));
    QCOMPARE(load->width(), 200);
    QCOMPARE(load->x(), dialog->rejectButton()->geometry().right() + 1 + dialog->getInnerSpace());
    QCOMPARE(load->y(), dialog->rejectButton()->y());

    // The load button releases the view and asks for the file.
    StickModule stick;
    m_module->registerCallback(&stick);
    load->click();
    QCOMPARE(stick.calls, 1);
    QVERIFY(m_module->infoDialog() == nullptr);
}

void tst_CalibrationRecords::sheetLayout()
{
    start();
    HWConfiguration::setHardwareVersionStr(QStringLiteral("HW 2.4"));
    FakeNode* surge = addNode(20, 20, {SurgeCounter8kV, SurgeCounter60kV});
    surge->values.insert(SurgeCounter8kV, 12);
    FakeNode* vlf = addNode(28, 28, {VlfStartCounter, VlfCycleCounter});
    Q_UNUSED(vlf)
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));

    // Without a serial number the serial label is empty.
    Form form = m_module->createForm(QStringLiteral("Calibration"));
    QList<FormLabel> labels = form.labels();
    QVERIFY(labels.size() >= 4);
    QCOMPARE(labels[0].text(), QStringLiteral("Calibration HV Unit"));
    QCOMPARE(labels[0].pointSize(), 12);
    QVERIFY(labels[0].bold());
    QCOMPARE(labels[0].position().x, 20.0);
    QCOMPARE(labels[0].position().y, 10.0);
    QCOMPARE(labels[0].size().width, 100.0);
    QCOMPARE(labels[1].text(), QStringLiteral("HW 2.4"));
    QCOMPARE(labels[2].text(), QString());
    QCOMPARE(labels[2].position().x, 90.0);
    QCOMPARE(labels[3].alignment(), FormLabel::AlignRightTop);
    QVERIFY(labels[3].text().contains(QStringLiteral(", ")));
    QCOMPARE(labels[3].position().x, 130.0);
    QVERIFY(m_module->printDialog() != nullptr);
    QCOMPARE(m_module->printDialog()->message(), QStringLiteral("Print is running"));

    // Section titles and value rows of the window, in order.
    QStringList rows;
    for (int i = 4; i < labels.size(); ++i)
        rows << QStringLiteral("%1@%2,%3%4").arg(labels[i].text()).arg(labels[i].position().x).arg(labels[i].position().y)
                    .arg(labels[i].bold() ? "b" : "");
    QCOMPARE(rows, (QStringList{"Data in FAKE 20@20,35b", "Surge Counter 8 kV x 100@25,40", "12@85,40",
                                "Surge Counter 60 kV x 100@25,45", "58@85,45", "Data in FAKE 28@20,55b",
                                "VLF start Counter@25,60", "50@85,60", "VLF cycle Counter x 100@25,65", "51@85,65"}));

    getConfig()->writeString(QStringLiteral("/Software/Authentication/SerialNumber"), QStringLiteral("4711"));
    form = m_module->createForm(QStringLiteral("Calibration_4711"));
    QCOMPARE(form.labels()[2].text(), QStringLiteral("SN: 4711"));
    QVERIFY(m_module->createForm(QStringLiteral("Protocol")).isEmpty());

    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotPrint"));
    QCOMPARE(m_host->print()->requests().last().name, QStringLiteral("Calibration_4711"));
    QCOMPARE(m_host->print()->requests().last().items.first().name, QStringLiteral("Calibration_4711"));
    QVERIFY(m_host->logLines().contains(QStringLiteral("Print calibration info")));
}

void tst_CalibrationRecords::sheetBreaksColumnsAtTheNextTitle()
{
    start();
    // Forty-six rows of one section run past 240 mm; only the next title moves to the second column.
    QList<CalibrationParameters> many;
    for (int number = 1; number <= 46; ++number)
        many << static_cast<CalibrationParameters>(number);
    addNode(18, 18, many);
    addNode(19, 19, {UMainsGain});
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));
    Form const form = m_module->createForm(QStringLiteral("Calibration"));
    QList<FormLabel> const labels = form.labels();

    FormLabel const lastRow = labels[labels.size() - 5];
    QCOMPARE(lastRow.position().x, 25.0);
    QVERIFY(lastRow.position().y > 240);
    FormLabel const secondTitle = labels[labels.size() - 3];
    QCOMPARE(secondTitle.text(), QStringLiteral("Data in FAKE 19"));
    QCOMPARE(secondTitle.position().x, 115.0);
    QCOMPARE(secondTitle.position().y, 35.0);
    QCOMPARE(labels.last().position().x, 180.0);
    QCOMPARE(labels.last().position().y, 40.0);
}

void tst_CalibrationRecords::printedPdfHoldsTheSheet()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    start();
    FakeNode* psu = addNode(18, 18, {UMainsGain});
    psu->values.insert(UMainsGain, -42);
    m_host->print()->setCurrentPrinterName(IPrint::pdfTarnel);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotPrint"));
    QTRY_VERIFY(!m_host->print()->lastFile().isEmpty());
    QTRY_VERIFY(m_module->printDialog() == nullptr);

    QFile pdf(m_host->print()->lastFile());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
    QString const text = pdfText(pdf.fileName());
    QVERIFY2(text.contains(QStringLiteral("Calibration HV Unit")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("U-mains Gain")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("-42")), qPrintable(text));
    // The PDF printer's file is handed on to the stick.
    QCOMPARE(m_host->system()->handledFiles().size(), 1);
    QVERIFY(m_host->system()->handledFiles().first().endsWith(QStringLiteral("Calibration.pdf")));
}

void tst_CalibrationRecords::printOutcomes()
{
    start();
    addNode(18, 18, {UMainsGain});
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "calibrationInfo", Q_ARG(bool, false)));

    m_host->print()->setNextResult(IPrint::ResultBusy);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotPrint"));
    QTRY_VERIFY(m_module->printDialog() != nullptr);
    QCOMPARE(m_module->printDialog()->message(), QStringLiteral("Printer is still busy"));
    QCOMPARE(m_module->printDialog()->title(), QStringLiteral("Printer"));
    QCOMPARE(m_module->printDialog()->icon(), DialogWindow::Icon::Warning);

    m_host->print()->setNextResult(6);
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotPrint"));
    QTRY_COMPARE(m_module->printDialog()->message(), QStringLiteral("Print failed"));
    m_module->printDialog()->acceptButton()->click();
    QVERIFY(m_module->printDialog() == nullptr);
    // A normal printer's success hands nothing on.
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotPrint"));
    QTRY_VERIFY(m_host->print()->lastPrintResult() == IPrint::ResultDone);
    QVERIFY(m_host->system()->handledFiles().isEmpty());
}

void tst_CalibrationRecords::servicePrint()
{
    start();
    addNode(18, 18, {UMainsGain});
    m_module->slotServicePrint();
    QPointer<DialogWindow> hidden = m_module->infoDialog();
    QVERIFY(hidden && hidden->isHidden());
    m_module->slotServicePrint();
    QCOMPARE(m_module->infoDialog(), hidden.data());

    QTRY_COMPARE_WITH_TIMEOUT(m_host->print()->requests().size(), 1, 4000);
    QVERIFY(m_host->print()->requests().first().servicePrint);
    QTRY_VERIFY(m_module->infoDialog() == nullptr);
    QVERIFY(m_module->printDialog() == nullptr);
    QVERIFY(!m_host->logLines().contains(QStringLiteral("View calibration info")));
    QVERIFY(!m_host->logLines().contains(QStringLiteral("Print calibration info")));
    // The flag is cleared: the next print is a normal one again.
    m_module->slotServicePrint();
    QVERIFY(m_module->infoDialog() != nullptr);
}

void tst_CalibrationRecords::servicePrintOutlivesAScheduledCleanUp()
{
    start();
    addNode(18, 18, {UMainsGain});
    m_module->slotServicePrint();
    // The start-up's clean-up falls into the print's delay.
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "cleanUp"));
    QVERIFY(m_module->infoDialog() != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!m_host->print()->lastFile().isEmpty(), 4000);
    QString const text = pdfText(m_host->print()->lastFile());
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(QStringLiteral("U-mains Gain")), qPrintable(text));
    QTRY_VERIFY(m_module->infoDialog() == nullptr);
}

QTEST_MAIN(tst_CalibrationRecords)
#include "tst_calibrationrecords.moc"
