#include <QAbstractButton>
#include <QtTest>
#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/ConfigStore.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "nodes/CompactLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

using Sends = QList<QPair<unsigned short, QByteArray>>;

char const* const kKey80 = "/Calibration/InternalG/IGC80KV";
char const* const kKey40 = "/Calibration/InternalG/IGC40KV";
char const* const kKey32 = "/Calibration/InternalG/IGC32KV";
char const* const kKey8 = "/Calibration/InternalG/IGC8KV";

int configValue(char const* key)
{
    int value = -1;
    if (getConfig()->readInt(QString::fromLatin1(key), &value) != 0)
        return -1;
    return value;
}

// NVT_CAL_HVS with all three parts received.
QByteArray fullRecord()
{
    return bytes({11, -22, 33, -44, 55, -66, 1, 77, -88, 1, 99, -111, 1});
}

} // namespace

// The compact DC unit: node 3's constants collected from three variables, and
// the compensation values kept in the configuration and the parameter service.
class tst_CompactNode : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void recordLayout_data();
    void recordLayout();
    void onlyReceivedPartsArePolledAndWritten();
    void laterPartKeepsWhatWasWritten();
    void compensationEditsFollowTheCalibrationMode_data();
    void compensationEditsFollowTheCalibrationMode();
    void ownedParameters_data();
    void ownedParameters();
    void compensationFollowsEverySend();
    void withoutConfigurationStore();
    void withoutParameterServiceTheConfigurationKeepsItsValues();
    void dialogRows();

private:
    CompactLonCalibration* makeNode(HostFixture::Options options = HostFixture::Options());
    CompactLonCalibration* makeNodeOnly();

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<CompactLonCalibration> m_node;
};

void tst_CompactNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

CompactLonCalibration* tst_CompactNode::makeNode(HostFixture::Options options)
{
    options.networkType = 1;
    m_host.reset(new HostFixture(options));
    return makeNodeOnly();
}

CompactLonCalibration* tst_CompactNode::makeNodeOnly()
{
    m_node.reset(new CompactLonCalibration(&m_host->registry, m_host->lon()));
    return m_node.data();
}

void tst_CompactNode::recordLayout_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("offset");

    QTest::newRow("U-nom Offset") << 11 << 0;
    QTest::newRow("U-nom Gain 2 kV (SUR)") << 16 << 1;
    QTest::newRow("U-nom Gain 8 kV (DC)") << 15 << 2;
    QTest::newRow("U-nom Gain 32 kV (DC)") << 14 << 3;
    QTest::newRow("U-nom Gain 80 kV (DC)") << 12 << 4;
    QTest::newRow("U-nom Gain RES") << 18 << 5;
    QTest::newRow("U-int Offset") << 19 << 7;
    QTest::newRow("U-int Gain") << 20 << 8;
    QTest::newRow("I-int Offset") << 21 << 10;
    QTest::newRow("I-int Gain") << 22 << 11;
}

void tst_CompactNode::recordLayout()
{
    QFETCH(int, parameter);
    QFETCH(int, offset);

    CompactLonCalibration* node = makeNode();
    auto const p = static_cast<CalibrationParameters>(parameter);
    QByteArray record = fullRecord();
    node->setCalibrationValues(3, NVData(record));

    long long value = 0;
    bool valid = false;
    QVERIFY(node->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(record.at(offset))));

    // Low 8 bits stored; every part goes back to its own write variable.
    QVERIFY(node->setValueToInternalBuffer(p, 0x1FB));
    node->sendCalibUpdateToLon();
    record[offset] = static_cast<char>(-5);
    QCOMPARE(m_host->lon()->sends(),
             (Sends{{897, record.mid(0, 6)}, {899, record.mid(7, 2)}, {901, record.mid(10, 2)}}));
    QVERIFY(node->getValueFromInternalBuffer(p, value, &valid));
    QCOMPARE(value, -5LL);
}

void tst_CompactNode::onlyReceivedPartsArePolledAndWritten()
{
    CompactLonCalibration* node = makeNode();
    node->setCalibrationEnabled(CalibrationModeFull);
    node->setCalibrationValues(3, NVData(bytes({0, 0, 0, 0, 0, 0, 0, 12, -3, 1, 0, 0, 0})));
    // Calibration data of another node is not the compact unit's.
    node->setCalibrationValues(19, NVData(fullRecord()));
    node->openCalibrationDialog();

    QCOMPARE(m_host->lon()->polls(), (QList<unsigned short>{898, 902}));
    NumberEdit* uIntOffset = node->getCalibrationNumberEdit(UIntOffset);
    QVERIFY(uIntOffset->isEnabled());
    QCOMPARE(uIntOffset->shownText(), QStringLiteral("12"));
    QCOMPARE(node->getCalibrationNumberEdit(UIntGain)->shownText(), QStringLiteral("-3"));
    QVERIFY(node->getCalibrationNumberEdit(UIntGain)->isEnabled());
    QVERIFY(!node->getCalibrationNumberEdit(UNomOffset)->isEnabled());
    QVERIFY(!node->getCalibrationNumberEdit(IIntGain)->isEnabled());

    uIntOffset->enterNumber(4);
    QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    QCOMPARE(m_host->lon()->sends(), (Sends{{899, bytes({4, -3})}}));
}

// The intake hands over its whole assembly each time one part arrives; the
// parts it holds from earlier must not undo what was written since.
void tst_CompactNode::laterPartKeepsWhatWasWritten()
{
    CompactLonCalibration* node = makeNode();
    node->setCalibrationEnabled(CalibrationModeFull);
    node->openCalibrationDialog();
    // 0x0382, then 0x0384.
    node->setCalibrationValues(3, NVData(bytes({1, 2, 3, 4, 5, 6, 1, 0, 0, 0, 0, 0, 0})));
    node->setCalibrationValues(3, NVData(bytes({1, 2, 3, 4, 5, 6, 1, 7, 8, 1, 0, 0, 0})));
    m_host->lon()->clearRecords();

    NumberEdit* uIntOffset = node->getCalibrationNumberEdit(UIntOffset);
    uIntOffset->enterNumber(20);
    QTRY_COMPARE(m_host->lon()->sends().size(), 2);
    QCOMPARE(m_host->lon()->sends().at(1), (QPair<unsigned short, QByteArray>{899, bytes({20, 8})}));
    m_host->lon()->clearRecords();

    // 0x0386 arrives: the assembly still holds the U-int Offset read before the write.
    node->setCalibrationValues(3, NVData(bytes({1, 2, 3, 4, 5, 6, 1, 7, 8, 1, 9, 10, 1})));
    QCOMPARE(uIntOffset->shownText(), QStringLiteral("20"));
    QCOMPARE(node->getCalibrationNumberEdit(IIntOffset)->shownText(), QStringLiteral("9"));
    QVERIFY(node->getCalibrationNumberEdit(IIntOffset)->isEnabled());

    // The next edit of that part writes the constant the user set, not the old one.
    node->getCalibrationNumberEdit(UIntGain)->enterNumber(-5);
    QTRY_COMPARE(m_host->lon()->sends().size(), 3);
    QCOMPARE(m_host->lon()->sends(),
             (Sends{{897, bytes({1, 2, 3, 4, 5, 6})}, {899, bytes({20, -5})}, {901, bytes({9, 10})}}));

    // A new answer for that part is the node's word again.
    node->setCalibrationValues(3, NVData(bytes({1, 2, 3, 4, 5, 6, 1, 21, -5, 1, 9, 10, 1})));
    QCOMPARE(uIntOffset->shownText(), QStringLiteral("21"));
}

// The compensation values are valid from the start, but like every other
// constant they may be changed only in full calibration mode: the information
// view, open to everyone, builds the same rows.
void tst_CompactNode::compensationEditsFollowTheCalibrationMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("editable");

    QTest::newRow("off") << int(CalibrationModeOff) << false;
    QTest::newRow("counters-only") << int(CalibrationModeCounters) << false;
    QTest::newRow("full") << int(CalibrationModeFull) << true;
}

void tst_CompactNode::compensationEditsFollowTheCalibrationMode()
{
    QFETCH(int, mode);
    QFETCH(bool, editable);

    CompactLonCalibration* node = makeNode();
    node->setCalibrationEnabled(static_cast<CalibrationModes>(mode));
    node->openCalibrationDialog();
    for (int i = 0; i < CompensationValues::RangeCount; ++i)
        QCOMPARE(node->getCalibrationNumberEdit(CompensationValues::range(i))->isEnabled(), editable);

    // A part of the node record arriving refreshes them under the same rule.
    node->setCalibrationValues(3, NVData(bytes({0, 0, 0, 0, 0, 0, 0, 12, -3, 1, 0, 0, 0})));
    for (CalibrationParameters parameter : {IIntComp80kV, IIntComp8kV, EnableComp})
        QCOMPARE(node->getCalibrationNumberEdit(parameter)->isEnabled(), editable);
}

void tst_CompactNode::ownedParameters_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("node");
    QTest::addColumn<long long>("readBack");

    QTest::newRow("U-nom Offset") << 11 << 3 << 5LL;
    QTest::newRow("I-int Gain") << 22 << 3 << 5LL;
    QTest::newRow("I-int Comp. 80 kV") << 23 << 17 << 5LL;
    QTest::newRow("I-int Comp. 8 kV") << 26 << 17 << 5LL;
    QTest::newRow("Enable Comp.-5-reads-1") << 27 << 17 << 1LL;
    QTest::newRow("no-40kV-gain") << 13 << 0 << -1LL;
    QTest::newRow("no-boost-gain") << 17 << 0 << -1LL;
    QTest::newRow("other-node") << 1 << 0 << -1LL;
}

void tst_CompactNode::ownedParameters()
{
    QFETCH(int, parameter);
    QFETCH(int, node);
    QFETCH(long long, readBack);

    CompactLonCalibration* compact = makeNode();
    compact->setCalibrationValues(3, NVData(fullRecord()));
    auto const p = static_cast<CalibrationParameters>(parameter);
    QCOMPARE(int(compact->getNodeIdForCalibrationParameter(p)), node);

    bool const owned = node != 0;
    QCOMPARE(compact->setValueToInternalBuffer(p, 5), owned);
    long long value = -1;
    bool valid = owned;
    QCOMPARE(compact->getValueFromInternalBuffer(p, value, &valid), owned);
    QCOMPARE(valid, owned);
    if (owned)
        QCOMPARE(value, readBack);
}

void tst_CompactNode::compensationFollowsEverySend()
{
    makeNode();
    getConfig()->writeInt(QString::fromLatin1(kKey80), 1200);
    getConfig()->writeInt(QString::fromLatin1(kKey40), 70000);
    getConfig()->writeInt(QString::fromLatin1(kKey32), 300);
    CompactLonCalibration* node = makeNodeOnly();

    ParameterService* parameters = m_host->parameters();
    QCOMPARE(parameters->value(ParamIntCurrentComp80kV, -1), 1200LL);
    QCOMPARE(parameters->value(ParamIntCurrentComp40kV, -1), 70000LL);
    QCOMPARE(parameters->value(ParamIntCurrentComp32kV, -1), 300LL);
    QCOMPARE(parameters->value(ParamIntCurrentComp8kV, -1), 0LL);
    QCOMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 1LL);
    // Valid before node 3 has answered.
    long long value = 0;
    bool valid = false;
    QVERIFY(node->getValueFromInternalBuffer(IIntComp80kV, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, 1200LL);

    QVERIFY(node->setValueToInternalBuffer(IIntComp32kV, 450));
    QVERIFY(node->setValueToInternalBuffer(EnableComp, 0));
    QTRY_COMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 0LL);
    QCOMPARE(parameters->value(ParamIntCurrentComp32kV, -1), 450LL);
    QCOMPARE(configValue(kKey32), 450);
    QCOMPARE(configValue(kKey40), 70000);
    QCOMPARE(configValue(kKey8), 0);
    // Nothing of node 3 has arrived, so nothing is written to it.
    QVERIFY(m_host->lon()->sends().isEmpty());

    // The dialog shows the stored values at once, the one out of range clamped.
    node->openCalibrationDialog();
    NumberEdit* comp40 = node->getCalibrationNumberEdit(IIntComp40kV);
    QCOMPARE(comp40->shownText(), QStringLiteral("65500"));
    QCOMPARE(node->getCalibrationNumberEdit(IIntComp32kV)->shownText(), QStringLiteral("450"));
    NumberEdit* enable = node->getCalibrationNumberEdit(EnableComp);
    QVERIFY(!enable->isEnabled());
    QCOMPARE(enable->shownText(), QString(QChar(0x2501)));
}

void tst_CompactNode::withoutConfigurationStore()
{
    HostFixture::Options options;
    options.config = false;
    CompactLonCalibration* node = makeNode(options);
    QVERIFY(!m_host->parameters()->contains(ParamIntCurrentComp80kV));
    QVERIFY(!m_host->parameters()->contains(ParamIntCurrentCompEnable));

    node->openCalibrationDialog();
    QCOMPARE(node->getCalibrationNumberEdit(IIntComp80kV)->shownText(), QStringLiteral("0"));
    node->sendCalibUpdateToLon();
    QCOMPARE(m_host->parameters()->value(ParamIntCurrentComp80kV, -1), 0LL);
}

void tst_CompactNode::withoutParameterServiceTheConfigurationKeepsItsValues()
{
    HostFixture::Options options;
    options.parameters = false;
    makeNode(options);
    getConfig()->writeInt(QString::fromLatin1(kKey80), 1200);
    CompactLonCalibration* node = makeNodeOnly();

    node->sendCalibUpdateToLon();
    QCOMPARE(configValue(kKey80), 1200);
}

void tst_CompactNode::dialogRows()
{
    CompactLonCalibration* node = makeNode();
    node->openCalibrationDialog();
    DialogWindow* dialog = node->dialog();
    QVERIFY(dialog);

    QStringList const nodeRows{"[Data in HVS]",        "U-nom Offset",          "U-nom Gain 80 kV (DC)",
                               "U-nom Gain 32 kV (DC)", "U-nom Gain 8 kV (DC)", "U-nom Gain 2 kV (SUR)",
                               "U-nom Gain RES",        "U-int Offset",          "U-int Gain",
                               "I-int Offset",          "I-int Gain"};
    QStringList const compensationRows{"[Data in CON]",           "Enable Comp.",           "I-int Comp. 80 kV|pS",
                                       "I-int Comp. 40 kV|pS",    "I-int Comp. 32 kV|pS",   "I-int Comp. 8 kV|pS"};
    QString const microAmpere(QChar(0x3382));
    QCOMPARE(shownRows(dialog), QStringList({"U-ref|kV", "U-int|kV", "U-ext|kV", "I-int|" + microAmpere})
                                    + nodeRows + compensationRows);
    QCOMPARE(dialog->title(), QStringLiteral("DC"));
    int const width = 550 + 3 * dialog->getInnerSpace() + 2 * dialog->margins();
    QCOMPARE(dialog->width(), width);
    QCOMPARE(node->getCalibrationNumberEdit(EnableComp)->x(), width - 250 - dialog->margins());
    QVERIFY(dialog->hidesKeyboard());
    QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok"));
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate Compact"});

    // In one column (the information sheet) the compensation rows follow the node rows.
    QWidget sheet;
    int row = 0;
    node->addElements(&sheet, row, 0, 300);
    QCOMPARE(shownRows(&sheet), nodeRows + compensationRows);
}

QTEST_MAIN(tst_CompactNode)
#include "tst_compactnode.moc"
