#include <QPushButton>
#include <QtTest>

#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/ConfigStore.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "nodes/BRNLonCalibration.h"
#include "nodes/XHVS.h"
#include "sim/LonSimulator.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

// Distinct bytes, most of them negative as signed numbers.
QByteArray record(int size)
{
    QByteArray result;
    for (int i = 0; i < size; ++i)
        result.append(static_cast<char>(0x90 + 7 * i));
    return result;
}

// The HV source's record of the network type: 20 bytes in type 3 (its enable byte 12 set), else 14.
QByteArray hvSourceRecord(int networkType)
{
    QByteArray result = record(networkType == 3 ? 20 : 14);
    if (networkType == 3)
        result[12] = 1;
    return result;
}

QByteArray const kBurnerRecord = record(6);

} // namespace

// The shared HV source (node 19) with its compensation values, and the burner dialog (node 27).
class tst_HvSource : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hvSourceRecordLayout_data();
    void hvSourceRecordLayout();
    void compensationOwnership_data();
    void compensationOwnership();
    void compensationFollowsTheConfiguration();
    void compensationSurvivesAHostWithoutParameterService();
    void burnerRecordLayout_data();
    void burnerRecordLayout();
    void burnerDialogRows();
    void burnerChangeSendsBurnerAndHvSource();
    void hvSourceRecordRefreshesTheOpenBurnerDialog();
    void burnerWithoutHvSource();

private:
    void makeHost(int networkType, bool parameters = true);
    BRNLonCalibration* makeBurner();

    QScopedPointer<HostFixture> m_host;
    QSharedPointer<XHVS> m_hvSource;
    QScopedPointer<BRNLonCalibration> m_burner;
};

void tst_HvSource::init()
{
    makeHost(3);
}

void tst_HvSource::cleanup()
{
    m_burner.reset();
    m_hvSource.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_HvSource::makeHost(int networkType, bool parameters)
{
    m_burner.reset();
    m_hvSource.reset();
    m_host.reset();
    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    options.parameters = parameters;
    m_host.reset(new HostFixture(options));
}

BRNLonCalibration* tst_HvSource::makeBurner()
{
    m_hvSource.reset(new XHVS(&m_host->registry, m_host->lon()));
    m_burner.reset(new BRNLonCalibration(&m_host->registry, m_host->lon(), m_hvSource));
    return m_burner.data();
}

void tst_HvSource::hvSourceRecordLayout_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte"); // -1: not owned in this network type
    QTest::addColumn<qint64>("written");
    QTest::addColumn<int>("storedByte");

    struct Row
    {
        CalibrationParameters parameter;
        int byte;
    };
    // Bytes 13, 18 and 19 are never shown.
    static Row const rows3[] = {
        {UNomOffset, 0},   {UNomGain2kV, 1},   {UNomGain8kV, 2},   {UNomGain32kV, 3},  {UNomGain40kV, 4},
        {UNomGain80kV, 5}, {UNomGainBrn, 6},   {UNomGainRes, 7},   {UIntOffset, 8},    {UIntGain, 9},
        {IIntOffset, 10},  {IIntGain, 11},     {IIntComp8kV, 14},  {IIntComp32kV, 15}, {IIntComp40kV, 16},
        {IIntComp80kV, 17}, {UExtGain, -1},
    };
    // Bytes 4, 10 and 11 are never shown; there is no 40 kV gain.
    static Row const rows9[] = {
        {UNomOffset, 0}, {UNomGain2kV, 1}, {UNomGain8kV, 2}, {UNomGain32kV, 3}, {UNomGain40kV, -1},
        {UNomGain80kV, 5}, {UNomGainBrn, 6}, {UNomGainRes, 7}, {UIntOffset, 8}, {UIntGain, 9},
        {IIntOffset, 12}, {IIntGain, 13}, {IBrnLvGain, -1},
    };
    for (Row const& row : rows3) {
        QTest::addRow("nt3-%s", qPrintable(calibrationParameterName(row.parameter)))
            << 3 << int(row.parameter) << row.byte << qint64(-300) << 0xD4;
    }
    for (Row const& row : rows9) {
        QTest::addRow("nt9-%s", qPrintable(calibrationParameterName(row.parameter)))
            << 9 << int(row.parameter) << row.byte << qint64(-300) << 0xD4;
    }
    // The enable flag is a 0 or 1.
    QTest::newRow("nt3-enable-5-stores-1") << 3 << int(EnableComp) << 12 << qint64(5) << 1;
    QTest::newRow("nt3-enable-0-stores-0") << 3 << int(EnableComp) << 12 << qint64(0) << 0;
}

void tst_HvSource::hvSourceRecordLayout()
{
    QFETCH(int, networkType);
    QFETCH(int, parameter);
    QFETCH(int, byte);
    QFETCH(qint64, written);
    QFETCH(int, storedByte);
    auto const p = static_cast<CalibrationParameters>(parameter);

    makeHost(networkType);
    XHVS hvSource(&m_host->registry, m_host->lon());
    LonSimulator* lon = m_host->lon();
    QByteArray const received = hvSourceRecord(networkType);

    hvSource.pollCalibrationValues();
    QCOMPARE(lon->polls(), QList<unsigned short>{4981});

    QSignalSpy announced(&hvSource, &XHVS::valueReceived);
    hvSource.setCalibrationValues(21, NVData(received));
    QCOMPARE(announced.size(), 0);
    hvSource.setCalibrationValues(19, NVData(received));
    QCOMPARE(announced.size(), 1);

    long long value = 0;
    bool valid = false;
    QCOMPARE(hvSource.getValueFromInternalBuffer(p, value, &valid), byte >= 0);
    QCOMPARE(valid, byte >= 0);
    // Every HV-source parameter names node 19, the 40 kV gain included where it has no value.
    QCOMPARE(int(hvSource.getNodeIdForCalibrationParameter(p)), byte >= 0 || p == UNomGain40kV ? 19 : 0);
    if (byte < 0) {
        QVERIFY(!hvSource.setValueToInternalBuffer(p, 5));
        return;
    }
    long long const expectedRead = p == EnableComp ? static_cast<unsigned char>(received.at(byte))
                                                   : static_cast<signed char>(received.at(byte));
    QCOMPARE(value, expectedRead);

    QVERIFY(hvSource.setValueToInternalBuffer(p, written));
    hvSource.sendCalibUpdateToLon();
    QCOMPARE(lon->sends().size(), 1);
    QByteArray expected = received;
    expected[byte] = static_cast<char>(storedByte);
    QCOMPARE(lon->sends().first().first, static_cast<unsigned short>(4980));
    QCOMPARE(lon->sends().first().second, expected);

    // Present values are announced again instead of asking the node.
    lon->clearRecords();
    hvSource.pollCalibrationValues();
    QVERIFY(lon->polls().isEmpty());
    QCOMPARE(announced.size(), 2);
}

void tst_HvSource::compensationOwnership_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("compensationNode");
    QTest::addColumn<bool>("validBeforeReception");
    QTest::addColumn<bool>("gain40kVOwned");

    QTest::newRow("nt3-in-the-node") << 3 << 19 << false << true;
    QTest::newRow("nt9-in-the-configuration") << 9 << 17 << true << false;
    QTest::newRow("nt1-in-the-configuration") << 1 << 17 << true << false;
}

void tst_HvSource::compensationOwnership()
{
    QFETCH(int, networkType);
    QFETCH(int, compensationNode);
    QFETCH(bool, validBeforeReception);
    QFETCH(bool, gain40kVOwned);

    makeHost(networkType);
    XHVS hvSource(&m_host->registry, m_host->lon());
    for (CalibrationParameters p : {IIntComp80kV, IIntComp40kV, IIntComp32kV, IIntComp8kV, EnableComp}) {
        QCOMPARE(int(hvSource.getNodeIdForCalibrationParameter(p)), compensationNode);
        QCOMPARE(hvSource.isParameterValid(p), validBeforeReception);
    }
    QVERIFY(!hvSource.isParameterValid(UNomOffset));

    hvSource.setCalibrationValues(19, NVData(hvSourceRecord(networkType)));
    QVERIFY(hvSource.isParameterValid(IIntComp80kV));
    QVERIFY(hvSource.isParameterValid(UNomOffset));
    QCOMPARE(hvSource.isParameterValid(UNomGain40kV), gain40kVOwned);
    QCOMPARE(int(hvSource.getNodeIdForCalibrationParameter(UNomGain40kV)), 19);
    QVERIFY(!hvSource.isParameterValid(UExtGain));
}

void tst_HvSource::compensationFollowsTheConfiguration()
{
    makeHost(9);
    ConfigStore* config = getConfig();
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 111);
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC40KV"), 222);
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC32KV"), 333);
    // No 8 kV entry: it reads as 0.

    XHVS hvSource(&m_host->registry, m_host->lon());
    ParameterService* parameters = m_host->parameters();
    QCOMPARE(parameters->value(ParamIntCurrentComp80kV, -1), 111);
    QCOMPARE(parameters->value(ParamIntCurrentComp40kV, -1), 222);
    QCOMPARE(parameters->value(ParamIntCurrentComp32kV, -1), 333);
    QCOMPARE(parameters->value(ParamIntCurrentComp8kV, -1), 0);
    QCOMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 1);

    long long value = 0;
    bool valid = false;
    QVERIFY(hvSource.getValueFromInternalBuffer(IIntComp40kV, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, 222);

    QVERIFY(hvSource.setValueToInternalBuffer(EnableComp, 5));
    QVERIFY(hvSource.getValueFromInternalBuffer(EnableComp, value, &valid));
    QCOMPARE(value, 1);
    QVERIFY(hvSource.setValueToInternalBuffer(EnableComp, 0));
    QVERIFY(hvSource.setValueToInternalBuffer(IIntComp8kV, 65000));

    // Not received from the node: no write to node 19, but the values are published and stored.
    hvSource.sendCalibUpdateToLon();
    QVERIFY(m_host->lon()->sends().isEmpty());
    QCOMPARE(parameters->value(ParamIntCurrentComp8kV, -1), 65000);
    QCOMPARE(parameters->value(ParamIntCurrentCompEnable, -1), 0);
    int stored = -1;
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC8KV"), &stored), 0);
    QCOMPARE(stored, 65000);
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &stored), 0);
    QCOMPARE(stored, 111);
}

void tst_HvSource::compensationSurvivesAHostWithoutParameterService()
{
    makeHost(9, false);
    ConfigStore* config = getConfig();
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 700);

    XHVS hvSource(&m_host->registry, m_host->lon());
    long long value = 0;
    QVERIFY(hvSource.getValueFromInternalBuffer(IIntComp80kV, value, nullptr));
    QCOMPARE(value, 700);

    // A send writes the configuration back; it must not turn the stored value into 0.
    hvSource.sendCalibUpdateToLon();
    int stored = -1;
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &stored), 0);
    QCOMPARE(stored, 700);
}

void tst_HvSource::burnerRecordLayout_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte"); // -1: not the burner's

    QTest::newRow("u-brn-lv-offset") << int(UBrnLvOffset) << 0;
    QTest::newRow("u-brn-lv-gain") << int(UBrnLvGain) << 1;
    QTest::newRow("i-brn-lv-offset") << int(IBrnLvOffset) << 2;
    QTest::newRow("i-brn-lv-gain") << int(IBrnLvGain) << 3;
    QTest::newRow("i-brn-hv-offset") << int(IBrnHvOffset) << 4;
    QTest::newRow("i-brn-hv-gain") << int(IBrnHvGain) << 5;
    QTest::newRow("hv-source-offset") << int(UNomOffset) << -1;
    QTest::newRow("cascade-value") << int(UExtGain) << -1;
}

void tst_HvSource::burnerRecordLayout()
{
    QFETCH(int, parameter);
    QFETCH(int, byte);
    auto const p = static_cast<CalibrationParameters>(parameter);

    BRNLonCalibration* burner = makeBurner();
    LonSimulator* lon = m_host->lon();

    burner->pollCalibrationValues();
    QCOMPARE(lon->polls(), (QList<unsigned short>{7029, 4981}));

    burner->setCalibrationValues(27, NVData(kBurnerRecord));
    long long value = 0;
    bool valid = false;
    QCOMPARE(burner->getValueFromInternalBuffer(p, value, &valid), byte >= 0);
    QCOMPARE(valid, byte >= 0);
    QCOMPARE(int(burner->getNodeIdForCalibrationParameter(p)), byte >= 0 ? 27 : 0);
    if (byte < 0) {
        QVERIFY(!burner->setValueToInternalBuffer(p, 5));
        return;
    }
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(kBurnerRecord.at(byte))));

    QVERIFY(burner->setValueToInternalBuffer(p, -300));
    // The HV source has not answered, so only the burner is written.
    QTRY_COMPARE(lon->sends().size(), 1);
    QByteArray expected = kBurnerRecord;
    expected[byte] = char(0xD4);
    QCOMPARE(lon->sends().first().first, static_cast<unsigned short>(7028));
    QCOMPARE(lon->sends().first().second, expected);
}

void tst_HvSource::burnerDialogRows()
{
    BRNLonCalibration* burner = makeBurner();
    burner->openCalibrationDialog();
    DialogWindow* dialog = burner->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("BRN"));
    QCOMPARE(dialog->width(), 550 + 3 * dialog->getInnerSpace() + 2 * dialog->margins());
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate Burner"});

    QStringList labels;
    QStringList units;
    for (NumberEdit* edit : rowsInOrder(dialog)) {
        labels << edit->labelText();
        units << edit->unitText();
    }
    QString const microAmpere(QChar(0x3382));
    QCOMPARE(labels, (QStringList{"U-ref", "U-int", "U-ext", "U-brn lv", "I-int", "I-brn hv", "I-brn lv",
                                  "U-nom Gain BRN (BOOST)", "U-nom Gain RES", "U-brn lv Offset", "U-brn lv Gain",
                                  "I-brn hv Offset", "I-brn hv Gain", "I-brn lv Offset", "I-brn lv Gain"}));
    QCOMPARE(units, (QStringList{"kV", "kV", "kV", "V", microAmpere, "A", "A", "", "", "", "", "", "", "", ""}));

    // Two columns: the left one 300 wide at the margin, the right one 250 wide at the far margin.
    NumberEdit* left = burner->getCalibrationNumberEdit(UNomGainRes);
    NumberEdit* right = burner->getCalibrationNumberEdit(IBrnLvGain);
    QCOMPARE(left->geometry().left(), dialog->margins());
    QCOMPARE(left->width(), 300);
    QCOMPARE(right->geometry().right() + 1, dialog->width() - dialog->margins());
    QCOMPARE(right->width(), 250);

    QList<ColoredLabel*> titles = dialog->findChildren<ColoredLabel*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(titles.begin(), titles.end(), [](ColoredLabel* a, ColoredLabel* b) { return a->x() < b->x(); });
    QCOMPARE(titles.size(), 2);
    QCOMPARE(titles.at(0)->text(), QStringLiteral("Data in HHVS"));
    QCOMPARE(titles.at(1)->text(), QStringLiteral("Data in HBRN"));

    auto* ok = qobject_cast<QPushButton*>(dialog->acceptButton());
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    QVERIFY(ok->isDefault());
    QVERIFY(!ok->icon().isNull());
    QVERIFY(dialog->rejectButton() == nullptr);
    QCOMPARE(m_host->lon()->polls(), (QList<unsigned short>{7029, 4981}));
}

void tst_HvSource::burnerChangeSendsBurnerAndHvSource()
{
    BRNLonCalibration* burner = makeBurner();
    burner->setCalibrationEnabled(CalibrationModeFull);
    burner->openCalibrationDialog();
    QByteArray const hvRecord = hvSourceRecord(3);
    burner->setCalibrationValues(27, NVData(kBurnerRecord));
    burner->setCalibrationValues(19, NVData(hvRecord));
    m_host->lon()->clearRecords();

    QElapsedTimer clock;
    clock.start();
    burner->getCalibrationNumberEdit(UBrnLvGain)->enterNumber(-2);
    QTest::qWait(100);
    burner->getCalibrationNumberEdit(UNomGainBrn)->enterNumber(3);
    qint64 const lastChange = clock.elapsed();
    QTRY_COMPARE(m_host->lon()->sends().size(), 2);
    QVERIFY(clock.elapsed() - lastChange >= 200);

    QByteArray burnerExpected = kBurnerRecord;
    burnerExpected[1] = char(0xFE);
    QByteArray hvExpected = hvRecord;
    hvExpected[6] = char(3);
    auto const sends = m_host->lon()->sends();
    QCOMPARE(sends.at(0).first, static_cast<unsigned short>(7028));
    QCOMPARE(sends.at(0).second, burnerExpected);
    QCOMPARE(sends.at(1).first, static_cast<unsigned short>(4980));
    QCOMPARE(sends.at(1).second, hvExpected);
}

void tst_HvSource::hvSourceRecordRefreshesTheOpenBurnerDialog()
{
    BRNLonCalibration* burner = makeBurner();
    burner->setCalibrationEnabled(CalibrationModeFull);
    burner->openCalibrationDialog();
    NumberEdit* boost = burner->getCalibrationNumberEdit(UNomGainBrn);
    NumberEdit* res = burner->getCalibrationNumberEdit(UNomGainRes);
    QVERIFY(!boost->isEnabled() && !res->isEnabled());

    // The record may arrive through the other dialog that shares the HV source.
    QByteArray hvRecord = hvSourceRecord(3);
    hvRecord[6] = 12;
    hvRecord[7] = char(-7);
    m_hvSource->setCalibrationValues(19, NVData(hvRecord));
    QVERIFY(boost->isEnabled() && res->isEnabled());
    QCOMPARE(boost->shownText(), QStringLiteral("12"));
    QCOMPARE(res->shownText(), QStringLiteral("-7"));
    // The burner's own rows still wait for node 27.
    QVERIFY(!burner->getCalibrationNumberEdit(UBrnLvGain)->isEnabled());

    // With both records present a new dialog asks no node again.
    burner->setCalibrationValues(27, NVData(kBurnerRecord));
    m_host->lon()->clearRecords();
    burner->openCalibrationDialog();
    QVERIFY(m_host->lon()->polls().isEmpty());
    QVERIFY(burner->getCalibrationNumberEdit(UNomGainRes)->isEnabled());
    QVERIFY(burner->getCalibrationNumberEdit(UBrnLvGain)->isEnabled());
}

void tst_HvSource::burnerWithoutHvSource()
{
    BRNLonCalibration burner(&m_host->registry, m_host->lon(), QSharedPointer<XHVS>());
    LonSimulator* lon = m_host->lon();
    QCOMPARE(int(burner.getNodeIdForCalibrationParameter(UNomGainBrn)), 0);
    QVERIFY(!burner.setValueToInternalBuffer(UNomGainRes, 4));

    // Nothing is written before the burner's record was read.
    QVERIFY(burner.setValueToInternalBuffer(UBrnLvGain, 4));
    burner.sendCalibUpdateToLon();
    QVERIFY(lon->sends().isEmpty());

    burner.setCalibrationEnabled(CalibrationModeFull);
    burner.openCalibrationDialog();
    QCOMPARE(lon->polls(), QList<unsigned short>{7029});
    burner.setCalibrationValues(19, NVData(hvSourceRecord(3)));
    burner.setCalibrationValues(27, NVData(kBurnerRecord));
    long long value = 0;
    bool valid = true;
    QVERIFY(!burner.getValueFromInternalBuffer(UNomGainBrn, value, &valid));
    QVERIFY(!valid);
    QVERIFY(!burner.getCalibrationNumberEdit(UNomGainBrn)->isEnabled());
    QVERIFY(burner.getCalibrationNumberEdit(UBrnLvGain)->isEnabled());
    burner.cleanUp();
}

QTEST_MAIN(tst_HvSource)
#include "tst_hvsource.moc"
