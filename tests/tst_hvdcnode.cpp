#include <QAbstractButton>
#include <QtTest>
#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "nodes/HvDcLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

using Sends = QList<QPair<unsigned short, QByteArray>>;
using Polls = QList<unsigned short>;

// NVH_CAL_RHVS with distinct values, the node's own bytes 5 to 7 and 15 included.
QByteArray rhvsRecord()
{
    QByteArray record;
    for (int i = 0; i < 16; ++i)
        record.append(static_cast<char>(-120 + 15 * i));
    return record;
}

} // namespace

// The HV DC unit (node 35): its calibration record, its configuration record
// and the two dialogs that show them.
class tst_HvDcNode : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void calibrationRecord_data();
    void calibrationRecord();
    void configurationRecord_data();
    void configurationRecord();
    void configurationIsNotStoredByTheValueStore();
    void pollsOnlyWhatIsMissing_data();
    void pollsOnlyWhatIsMissing();
    void okBeforeTheConfigurationArrivedWritesNothing();
    void okWritesWhatTheDialogShows();
    void calibrationDialogRows();
    void configurationDialogRows();

private:
    QScopedPointer<HostFixture> m_host;
    QScopedPointer<HvDcLonCalibration> m_node;
};

void tst_HvDcNode::init()
{
    HostFixture::Options options;
    options.networkType = 3;
    options.hardware = 7;
    m_host.reset(new HostFixture(options));
    m_node.reset(new HvDcLonCalibration(&m_host->registry, m_host->lon()));
}

void tst_HvDcNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_HvDcNode::calibrationRecord_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("offset");

    int const layout[][2] = {{1, 0},   {3, 1},   {59, 2},  {19, 3},  {60, 4},  {61, 8},
                             {21, 9},  {62, 10}, {63, 11}, {64, 12}, {65, 13}, {66, 14}};
    for (auto const& entry : layout) {
        QTest::newRow(qPrintable(calibrationParameterName(CalibrationParameters(entry[0])))) << entry[0]
                                                                                             << entry[1];
    }
}

void tst_HvDcNode::calibrationRecord()
{
    QFETCH(int, parameter);
    QFETCH(int, offset);

    auto const p = static_cast<CalibrationParameters>(parameter);
    QCOMPARE(int(m_node->getNodeIdForCalibrationParameter(p)), 35);
    QByteArray record = rhvsRecord();
    // Another node's record is ignored.
    m_node->setCalibrationValues(19, NVData(record));
    long long value = 0;
    bool valid = true;
    QVERIFY(m_node->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(!valid);
    m_node->sendCalibUpdateToLon();
    QVERIFY(m_host->lon()->sends().isEmpty());

    m_node->setCalibrationValues(35, NVData(record));
    QVERIFY(m_node->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(record.at(offset))));

    QVERIFY(m_node->setValueToInternalBuffer(p, -7));
    QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    record[offset] = static_cast<char>(-7);
    QCOMPARE(m_host->lon()->sends(), (Sends{{9076, record}}));
}

void tst_HvDcNode::configurationRecord_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<long long>("slim");
    QTest::addColumn<int>("sentFlags");

    QTest::newRow("switched-off-keeps-other-bits") << 0xA5 << 0LL << 0xA4;
    QTest::newRow("switched-on-keeps-other-bits") << 0xFE << 1LL << 0xFF;
    QTest::newRow("only-1-sets-the-bit") << 0x03 << 2LL << 0x02;
}

void tst_HvDcNode::configurationRecord()
{
    QFETCH(int, flags);
    QFETCH(long long, slim);
    QFETCH(int, sentFlags);

    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->setConfigurationValues(NVData(bytes({0x01, 0x2C, flags, 1, 2, 3, 4})));
    long long value = 0;
    bool valid = false;
    QVERIFY(m_node->getValueFromInternalBuffer(Cascade, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, 300LL);
    QVERIFY(m_node->getValueFromInternalBuffer(SlimRotorVlf, value, &valid));
    QCOMPARE(value, static_cast<long long>(flags & 1));

    m_node->openConfigurationDialog();
    NumberEdit* cascade = m_node->getCalibrationNumberEdit(Cascade);
    QVERIFY(cascade->isEnabled());
    QCOMPARE(cascade->shownText(), QStringLiteral("300"));
    cascade->enterNumber(80);
    // A switch edit only ever holds 0 or 1; the slot alone sees other numbers.
    NumberEdit stray(nullptr, 1, 0, 40, nullptr, true);
    stray.showNumber(slim);
    m_node->changedSlimVlfValue(&stray);
    m_node->changedSlimVlfValue(nullptr);

    m_host->lon()->clearRecords();
    m_node->dialog()->acceptButton()->click();
    QVERIFY(m_node->dialog() == nullptr);
    QCOMPARE(m_host->lon()->sends(), (Sends{{9078, bytes({0x00, 0x50, sentFlags, 1, 2, 3, 4})}}));
    QCOMPARE(m_host->logLines(), QStringList{"Set Cascade to 80"});
}

void tst_HvDcNode::configurationIsNotStoredByTheValueStore()
{
    m_node->setConfigurationValues(NVData(bytes({0x01, 0x2C, 0x01, 0, 0, 0, 0})));
    m_node->setCalibrationValues(35, NVData(rhvsRecord()));
    for (CalibrationParameters parameter : {Cascade, SlimRotorVlf}) {
        QCOMPARE(int(m_node->getNodeIdForCalibrationParameter(parameter)), 0);
        QVERIFY(!m_node->setValueToInternalBuffer(parameter, 0));
    }
    QVERIFY(!m_node->setValueToInternalBuffer(UIntGain, 0));
    long long value = 0;
    QVERIFY(m_node->getValueFromInternalBuffer(Cascade, value, nullptr));
    QCOMPARE(value, 300LL);
    QVERIFY(m_node->getValueFromInternalBuffer(SlimRotorVlf, value, nullptr));
    QCOMPARE(value, 1LL);

    // Switching the slim rotor in the dialog reaches the node only through Ok.
    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->openConfigurationDialog();
    m_node->getCalibrationNumberEdit(SlimRotorVlf)->enterNumber(0);
    QVERIFY(m_host->lon()->sends().isEmpty());
    QVERIFY(m_node->getValueFromInternalBuffer(SlimRotorVlf, value, nullptr));
    QCOMPARE(value, 0LL);
}

void tst_HvDcNode::pollsOnlyWhatIsMissing_data()
{
    QTest::addColumn<bool>("calibration");
    QTest::addColumn<bool>("configuration");
    QTest::addColumn<Polls>("polls");

    QTest::newRow("nothing-received") << false << false << Polls{9079, 9077};
    QTest::newRow("calibration-received") << true << false << Polls{9079};
    QTest::newRow("configuration-received") << false << true << Polls{9077};
    QTest::newRow("both-received") << true << true << Polls{};
}

void tst_HvDcNode::pollsOnlyWhatIsMissing()
{
    QFETCH(bool, calibration);
    QFETCH(bool, configuration);
    QFETCH(Polls, polls);

    m_node->setCalibrationEnabled(CalibrationModeFull);
    if (calibration)
        m_node->setCalibrationValues(35, NVData(rhvsRecord()));
    if (configuration)
        m_node->setConfigurationValues(NVData(bytes({0, 40, 0, 0, 0, 0, 0})));
    m_node->openConfigurationDialog();
    QCOMPARE(m_host->lon()->polls(), polls);
    // The configuration edits wait for the configuration record.
    QCOMPARE(m_node->getCalibrationNumberEdit(Cascade)->isEnabled(), configuration);

    HvDcLonCalibration offline(&m_host->registry, nullptr);
    offline.pollCalibrationValues();
    QCOMPARE(m_host->lon()->polls(), polls);
}

void tst_HvDcNode::okBeforeTheConfigurationArrivedWritesNothing()
{
    QSignalSpy status(m_node.data(), &NodeLonCalibrationBase::enableLonModuleStatus);
    m_node->openConfigurationDialog();
    m_node->dialog()->acceptButton()->click();
    QVERIFY(m_node->dialog() == nullptr);
    QVERIFY(m_host->lon()->sends().isEmpty());
    QCOMPARE(status.size(), 2);
    QCOMPARE(status.last(), QVariantList{false});
}

// A configuration record arriving while the dialog is open keeps the user's
// unsent change and shows the node's values for the rest: "Ok" writes what is shown.
void tst_HvDcNode::okWritesWhatTheDialogShows()
{
    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->setConfigurationValues(NVData(bytes({0x01, 0x2C, 0x00, 1, 2, 3, 4})));
    m_node->openConfigurationDialog();
    NumberEdit* cascade = m_node->getCalibrationNumberEdit(Cascade);
    NumberEdit* slimRotor = m_node->getCalibrationNumberEdit(SlimRotorVlf);
    cascade->enterNumber(80);

    // The node reports again: another cascade, the slim rotor on, other bits changed.
    m_node->setConfigurationValues(NVData(bytes({0x00, 0xC8, 0x81, 5, 6, 7, 8})));
    QCOMPARE(cascade->shownText(), QStringLiteral("80"));
    QCOMPARE(slimRotor->shownText(), QString(QChar(0x2714)));

    m_host->lon()->clearRecords();
    m_node->dialog()->acceptButton()->click();
    QCOMPARE(m_host->lon()->sends(), (Sends{{9078, bytes({0x00, 0x50, 0x81, 5, 6, 7, 8})}}));

    // Once written, the next record is the node's word on every field.
    m_node->setConfigurationValues(NVData(bytes({0x00, 0x64, 0x00, 5, 6, 7, 8})));
    long long value = 0;
    QVERIFY(m_node->getValueFromInternalBuffer(Cascade, value, nullptr));
    QCOMPARE(value, 100LL);
}

void tst_HvDcNode::calibrationDialogRows()
{
    m_node->openCalibrationDialog();
    DialogWindow* dialog = m_node->dialog();
    QVERIFY(dialog);
    QString const microAmpere(QChar(0x3382));
    QCOMPARE(shownRows(dialog),
             (QStringList{"Mains Current|A", "Mains Voltage|V", "Motor Current|A", "I-int|" + microAmpere,
                          "U-int|kV", "U-aux|kV", "[Data in RHVS]", "U-mains Gain", "I-mains Gain", "I-motor Gain",
                          "U-int Offset", "U-int neg Gain", "U-vlf Gain", "I-int Offset", "I-int 300mA Gain",
                          "I-int 100mA Gain", "I-int 10mA Gain", "I-int 1mA Gain", "I-int 100uA Gain"}));
    QCOMPARE(dialog->title(), QStringLiteral("DC"));
    QCOMPARE(dialog->width(), 350);
    QVERIFY(dialog->hidesKeyboard());
    QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok"));
    QVERIFY(dialog->rejectButton() == nullptr);
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate HV DC"});
    QCOMPARE(m_node->getDisplayNumberEdit(MotorCurrent)->decimals(), 3);

    dialog->acceptButton()->click();
    QVERIFY(m_node->dialog() == nullptr);
}

void tst_HvDcNode::configurationDialogRows()
{
    m_node->openConfigurationDialog();
    DialogWindow* dialog = m_node->dialog();
    QVERIFY(dialog);
    QCOMPARE(shownRows(dialog), (QStringList{"Cascade|kV", "Slim rotor VLF"}));
    QCOMPARE(dialog->title(), QStringLiteral("HV DC Configuration"));
    QCOMPARE(dialog->width(), 430);
    QCOMPARE(m_node->getCalibrationNumberEdit(Cascade)->getMaximum(), qint64(9999));
    QVERIFY(m_node->getCalibrationNumberEdit(SlimRotorVlf)->isSwitch());
    QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok"));
    QVERIFY(!dialog->acceptButton()->icon().isNull());
    // Opening the configuration is not logged.
    QVERIFY(m_host->logLines().isEmpty());
}

QTEST_MAIN(tst_HvDcNode)
#include "tst_hvdcnode.moc"
