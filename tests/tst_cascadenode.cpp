#include <QPushButton>
#include <QtTest>

#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/ConfigStore.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "nodes/CascLonCalibration.h"
#include "nodes/XHVS.h"
#include "sim/LonSimulator.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

QByteArray record(int size)
{
    QByteArray result;
    for (int i = 0; i < size; ++i)
        result.append(static_cast<char>(0x90 + 7 * i));
    return result;
}

QByteArray hvSourceRecord(int networkType)
{
    QByteArray result = record(networkType == 3 ? 20 : 14);
    if (networkType == 3)
        result[12] = 1;
    return result;
}

QByteArray const kCascadeRecord = record(4);

unsigned char cascadeNode(int networkType)
{
    return networkType == 3 ? 25 : 21;
}

QString const kKey80 = QStringLiteral("/Calibration/InternalG/IGC80KV");
QString const kKey40 = QStringLiteral("/Calibration/InternalG/IGC40KV");
QString const kKey8 = QStringLiteral("/Calibration/InternalG/IGC8KV");

int storedConfig(QString const& key)
{
    int value = -1;
    if (getConfig()->readInt(key, &value) != 0)
        return -1;
    return value;
}

} // namespace

// The cascade DC unit's dialog "DC": the shared HV source, the cascade node of
// the network type, and the compensation values.
class tst_CascadeNode : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cascadeRecordLayout_data();
    void cascadeRecordLayout();
    void dialogRows_data();
    void dialogRows();
    void editedCompensationSurvivesCascadeSends();
    void compensationEditsNeedFullCalibration_data();
    void compensationEditsNeedFullCalibration();
    void receptionGatesPollsAndWrites_data();
    void receptionGatesPollsAndWrites();
    void cascadeWithoutHvSourceOrLon();

private:
    CascLonCalibration* makeCascade(int networkType);

    QScopedPointer<HostFixture> m_host;
    QSharedPointer<XHVS> m_hvSource;
    QScopedPointer<CascLonCalibration> m_cascade;
};

void tst_CascadeNode::init() {}

void tst_CascadeNode::cleanup()
{
    m_cascade.reset();
    m_hvSource.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// A host of the network type; configuration entries must be written before the cascade is made.
CascLonCalibration* tst_CascadeNode::makeCascade(int networkType)
{
    if (m_host.isNull() || NVData::m_NetworkType != networkType) {
        HostFixture::Options options;
        options.networkType = static_cast<unsigned char>(networkType);
        m_host.reset(new HostFixture(options));
    }
    m_hvSource.reset(new XHVS(&m_host->registry, m_host->lon()));
    m_cascade.reset(new CascLonCalibration(&m_host->registry, m_host->lon(), m_hvSource));
    return m_cascade.data();
}

void tst_CascadeNode::cascadeRecordLayout_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte"); // -1: not the cascade's

    for (int networkType : {3, 9}) {
        QByteArray const prefix = networkType == 3 ? "nt3-" : "nt9-";
        QTest::newRow(prefix + "u-max-offset") << networkType << int(UMaxOffset) << 0;
        QTest::newRow(prefix + "u-max-gain") << networkType << int(UMaxGain) << 1;
        QTest::newRow(prefix + "u-ext-offset") << networkType << int(UExtOffset) << 2;
        QTest::newRow(prefix + "u-ext-gain") << networkType << int(UExtGain) << 3;
        QTest::newRow(prefix + "burner-value") << networkType << int(IBrnLvGain) << -1;
    }
}

void tst_CascadeNode::cascadeRecordLayout()
{
    QFETCH(int, networkType);
    QFETCH(int, parameter);
    QFETCH(int, byte);
    auto const p = static_cast<CalibrationParameters>(parameter);

    CascLonCalibration* cascade = makeCascade(networkType);
    LonSimulator* lon = m_host->lon();
    unsigned char const node = cascadeNode(networkType);

    cascade->pollCalibrationValues();
    QCOMPARE(lon->polls(), (QList<unsigned short>{4981, static_cast<unsigned short>(node << 8 | 117)}));

    // The other network type's cascade node is not this instrument's.
    cascade->setCalibrationValues(networkType == 3 ? 21 : 25, NVData(kCascadeRecord));
    long long value = 0;
    bool valid = true;
    QCOMPARE(cascade->getValueFromInternalBuffer(p, value, &valid), byte >= 0);
    QVERIFY(!valid);

    cascade->setCalibrationValues(node, NVData(kCascadeRecord));
    QCOMPARE(cascade->getValueFromInternalBuffer(p, value, &valid), byte >= 0);
    QCOMPARE(valid, byte >= 0);
    QCOMPARE(int(cascade->getNodeIdForCalibrationParameter(p)), byte >= 0 ? node : 0);
    if (byte < 0) {
        QVERIFY(!cascade->setValueToInternalBuffer(p, 5));
        return;
    }
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(kCascadeRecord.at(byte))));

    QVERIFY(cascade->setValueToInternalBuffer(p, -300));
    // The HV source has not answered, so only the cascade node is written.
    QTRY_COMPARE(lon->sends().size(), 1);
    QByteArray expected = kCascadeRecord;
    expected[byte] = char(0xD4);
    QCOMPARE(lon->sends().first().first, static_cast<unsigned short>(node << 8 | 116));
    QCOMPARE(lon->sends().first().second, expected);
}

void tst_CascadeNode::dialogRows_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<QString>("compensationUnit");
    QTest::addColumn<qint64>("compensationMaximum");
    QTest::addColumn<bool>("compensationAtOnce"); // configuration values: shown and editable before any record

    QTest::newRow("nt3-node-values") << 3 << QString() << qint64(127) << false;
    QTest::newRow("nt9-configuration-values") << 9 << QStringLiteral("pS") << qint64(65500) << true;
}

void tst_CascadeNode::dialogRows()
{
    QFETCH(int, networkType);
    QFETCH(QString, compensationUnit);
    QFETCH(qint64, compensationMaximum);
    QFETCH(bool, compensationAtOnce);

    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    m_host.reset(new HostFixture(options));
    getConfig()->writeInt(kKey80, 1500);
    getConfig()->writeInt(kKey8, 70000);
    CascLonCalibration* cascade = makeCascade(networkType);
    cascade->setCalibrationEnabled(CalibrationModeFull);
    cascade->openCalibrationDialog();
    DialogWindow* dialog = cascade->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("DC"));
    QVERIFY(dialog->hidesKeyboard());
    QCOMPARE(dialog->width(), 550 + 3 * dialog->getInnerSpace() + 2 * dialog->margins());
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate Compact"});
    QCOMPARE(m_host->lon()->polls(),
             (QList<unsigned short>{4981, static_cast<unsigned short>(cascadeNode(networkType) << 8 | 117)}));

    QStringList labels;
    QStringList units;
    for (NumberEdit* edit : rowsInOrder(dialog)) {
        labels << edit->labelText();
        units << edit->unitText();
    }
    QString const c = compensationUnit;
    QCOMPARE(labels, (QStringList{"U-ref", "U-int", "U-ext", "I-int", "U-nom Offset", "U-nom Gain 80 kV (DC)",
                                  "U-nom Gain 40 kV (DC)", "U-nom Gain 32 kV (DC)", "U-nom Gain 8 kV (DC)",
                                  "U-nom Gain 2 kV (SUR)", "U-nom Gain BRN (BOOST)", "U-nom Gain RES",
                                  "U-int Offset", "U-int Gain", "I-int Offset", "I-int Gain", "U-ext Offset",
                                  "U-ext Gain", "U-max Offset", "U-max Gain", "Enable Comp.", "I-int Comp. 80 kV",
                                  "I-int Comp. 40 kV", "I-int Comp. 32 kV", "I-int Comp. 8 kV"}));
    QCOMPARE(units, (QStringList{"kV", "kV", "kV", QString(QChar(0x3382)), "", "", "", "", "", "", "", "", "", "",
                                 "", "", "", "", "", "", "", c, c, c, c}));

    QList<ColoredLabel*> titles = dialog->findChildren<ColoredLabel*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(titles.begin(), titles.end(), [](ColoredLabel* a, ColoredLabel* b) {
        return qMakePair(a->x(), a->y()) < qMakePair(b->x(), b->y());
    });
    QStringList titleTexts;
    for (ColoredLabel* title : titles)
        titleTexts << title->text();
    QCOMPARE(titleTexts, (QStringList{"Data in HHVS / VHVS", "Data in HSEL / VDSH / PDSH", "Data in HCON / VCON"}));

    NumberEdit* comp80 = cascade->getCalibrationNumberEdit(IIntComp80kV);
    NumberEdit* comp8 = cascade->getCalibrationNumberEdit(IIntComp8kV);
    NumberEdit* enable = cascade->getCalibrationNumberEdit(EnableComp);
    QCOMPARE(comp80->getMaximum(), compensationMaximum);
    QCOMPARE(comp80->isEnabled(), compensationAtOnce);
    QCOMPARE(comp80->shownText(), compensationAtOnce ? QStringLiteral("1500") : QString());
    QCOMPARE(comp8->shownText(), compensationAtOnce ? QStringLiteral("65500") : QString());
    QVERIFY(!enable->isEnabled());
    QCOMPARE(enable->shownText(), compensationAtOnce ? QString(QChar(0x2714)) : QString());
    QVERIFY(!cascade->getCalibrationNumberEdit(UExtGain)->isEnabled());

    auto* ok = qobject_cast<QPushButton*>(dialog->acceptButton());
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    QVERIFY(ok->isDefault());
    QVERIFY(!ok->icon().isNull());
    QVERIFY(dialog->rejectButton() == nullptr);

    // Once the HV source answers, its rows open; the 40 kV gain exists only in network type 3.
    cascade->setCalibrationValues(19, NVData(hvSourceRecord(networkType)));
    QVERIFY(cascade->getCalibrationNumberEdit(UNomGain80kV)->isEnabled());
    QVERIFY(enable->isEnabled());
    QCOMPARE(cascade->getCalibrationNumberEdit(UNomGain40kV)->isEnabled(), networkType == 3);
    QVERIFY(!cascade->getCalibrationNumberEdit(UExtGain)->isEnabled());
    cascade->setCalibrationValues(cascadeNode(networkType), NVData(kCascadeRecord));
    QVERIFY(cascade->getCalibrationNumberEdit(UExtGain)->isEnabled());
    QCOMPARE(cascade->getCalibrationNumberEdit(UExtGain)->shownText(), QStringLiteral("-91"));
}

void tst_CascadeNode::editedCompensationSurvivesCascadeSends()
{
    HostFixture::Options options;
    options.networkType = 9;
    m_host.reset(new HostFixture(options));
    getConfig()->writeInt(kKey80, 100);
    getConfig()->writeInt(kKey40, 200);
    CascLonCalibration* cascade = makeCascade(9);
    ParameterService* parameters = m_host->parameters();
    LonSimulator* lon = m_host->lon();

    cascade->setCalibrationEnabled(CalibrationModeFull);
    cascade->openCalibrationDialog();
    cascade->setCalibrationValues(21, NVData(kCascadeRecord));

    // A person's change: published and stored with the cascade's send.
    cascade->getCalibrationNumberEdit(IIntComp80kV)->enterNumber(2500);
    cascade->getCalibrationNumberEdit(EnableComp)->enterNumber(0);
    QTRY_COMPARE(lon->sends().size(), 1);
    QCOMPARE(lon->sends().last().first, static_cast<unsigned short>(5492));
    QCOMPARE(parameters->value(ParamIntCurrentComp80kV, -1), 2500);
    QCOMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 0);
    QCOMPARE(storedConfig(kKey80), 2500);

    // Further sends must not bring back the values read at start-up.
    cascade->getCalibrationNumberEdit(UExtGain)->enterNumber(9);
    QTRY_COMPARE(lon->sends().size(), 2);
    QCOMPARE(parameters->value(ParamIntCurrentComp80kV, -1), 2500);
    QCOMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 0);
    QCOMPARE(storedConfig(kKey80), 2500);

    // A loaded value takes the same road.
    QVERIFY(cascade->setValueToInternalBuffer(IIntComp40kV, 3000));
    cascade->sendCalibUpdateToLon();
    QCOMPARE(parameters->value(ParamIntCurrentComp40kV, -1), 3000);
    QCOMPARE(storedConfig(kKey40), 3000);
    QCOMPARE(parameters->value(ParamIntCurrentComp80kV, -1), 2500);
    QCOMPARE(storedConfig(kKey80), 2500);

    // A dialog opened later shows what was set.
    cascade->openCalibrationDialog();
    QCOMPARE(cascade->getCalibrationNumberEdit(IIntComp80kV)->shownText(), QStringLiteral("2500"));
    QCOMPARE(cascade->getCalibrationNumberEdit(EnableComp)->shownText(), QString(QChar(0x2501)));
}

// Valid from the start outside network type 3, but editable only where every
// other constant is: in full calibration mode.
void tst_CascadeNode::compensationEditsNeedFullCalibration_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("editable");

    QTest::newRow("off") << int(CalibrationModeOff) << false;
    QTest::newRow("counters-only") << int(CalibrationModeCounters) << false;
    QTest::newRow("full") << int(CalibrationModeFull) << true;
}

void tst_CascadeNode::compensationEditsNeedFullCalibration()
{
    QFETCH(int, mode);
    QFETCH(bool, editable);

    CascLonCalibration* cascade = makeCascade(9);
    cascade->setCalibrationEnabled(static_cast<CalibrationModes>(mode));
    cascade->openCalibrationDialog();
    QCOMPARE(cascade->getCalibrationNumberEdit(IIntComp80kV)->isEnabled(), editable);
    QCOMPARE(cascade->getCalibrationNumberEdit(IIntComp8kV)->isEnabled(), editable);

    cascade->setCalibrationValues(19, NVData(hvSourceRecord(9)));
    for (CalibrationParameters parameter : {IIntComp80kV, IIntComp40kV, EnableComp})
        QCOMPARE(cascade->getCalibrationNumberEdit(parameter)->isEnabled(), editable);
}

void tst_CascadeNode::receptionGatesPollsAndWrites_data()
{
    QTest::addColumn<int>("networkType");
    QTest::newRow("nt3") << 3;
    QTest::newRow("nt9") << 9;
}

void tst_CascadeNode::receptionGatesPollsAndWrites()
{
    QFETCH(int, networkType);
    CascLonCalibration* cascade = makeCascade(networkType);
    LonSimulator* lon = m_host->lon();
    unsigned char const node = cascadeNode(networkType);

    // Nothing goes to a node whose record was not read.
    QVERIFY(cascade->setValueToInternalBuffer(UMaxGain, 1));
    QVERIFY(cascade->setValueToInternalBuffer(UNomOffset, 1));
    cascade->sendCalibUpdateToLon();
    QVERIFY(lon->sends().isEmpty());

    QByteArray const hvRecord = hvSourceRecord(networkType);
    cascade->setCalibrationValues(19, NVData(hvRecord));
    cascade->setCalibrationValues(node, NVData(kCascadeRecord));
    lon->clearRecords();
    cascade->setCalibrationEnabled(CalibrationModeFull);
    cascade->openCalibrationDialog();
    QVERIFY(lon->polls().isEmpty());
    QCOMPARE(cascade->getCalibrationNumberEdit(UNomOffset)->shownText(), QStringLiteral("-112"));
    QCOMPARE(cascade->getCalibrationNumberEdit(UMaxOffset)->shownText(), QStringLiteral("-112"));
    QVERIFY(cascade->getCalibrationNumberEdit(UMaxOffset)->isEnabled());

    // The HV source is written first, then the cascade node; bytes never edited go back as received.
    cascade->sendCalibUpdateToLon();
    auto const sends = lon->sends();
    QCOMPARE(sends.size(), 2);
    QCOMPARE(sends.at(0).first, static_cast<unsigned short>(4980));
    QCOMPARE(sends.at(0).second, hvRecord);
    QCOMPARE(sends.at(1).first, static_cast<unsigned short>(node << 8 | 116));
    QCOMPARE(sends.at(1).second, kCascadeRecord);
}

void tst_CascadeNode::cascadeWithoutHvSourceOrLon()
{
    HostFixture::Options options;
    options.networkType = 9;
    m_host.reset(new HostFixture(options));

    CascLonCalibration alone(&m_host->registry, m_host->lon(), QSharedPointer<XHVS>());
    QCOMPARE(int(alone.getNodeIdForCalibrationParameter(UNomOffset)), 0);
    QCOMPARE(int(alone.getNodeIdForCalibrationParameter(UExtGain)), 21);
    QVERIFY(!alone.setValueToInternalBuffer(IIntComp80kV, 5));
    alone.setCalibrationValues(19, NVData(hvSourceRecord(9)));
    long long value = 0;
    bool valid = true;
    QVERIFY(!alone.getValueFromInternalBuffer(UNomOffset, value, &valid));
    QVERIFY(!valid);

    // Without LON access nothing is polled or written, but the compensation values are still stored.
    m_hvSource.reset(new XHVS(&m_host->registry, nullptr));
    CascLonCalibration offline(&m_host->registry, nullptr, m_hvSource);
    offline.pollCalibrationValues();
    offline.setCalibrationValues(21, NVData(kCascadeRecord));
    QVERIFY(offline.setValueToInternalBuffer(IIntComp8kV, 640));
    offline.sendCalibUpdateToLon();
    QVERIFY(m_host->lon()->polls().isEmpty());
    QVERIFY(m_host->lon()->sends().isEmpty());
    QCOMPARE(storedConfig(kKey8), 640);
    QCOMPARE(m_host->parameters()->value(ParamIntCurrentComp8kV, -1), 640);
}

QTEST_MAIN(tst_CascadeNode)
#include "tst_cascadenode.moc"
