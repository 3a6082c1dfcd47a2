#include <QPushButton>
#include <QtTest>

#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "nodes/DSLLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

// Bytes 0 and 1 are never shown; they must survive every write.
QByteArray const kRecord = bytes({0xA5, 0x5A, 0xF3, 0x24});

} // namespace

// Stands in for the module that starts an insulation measurement.
class IsoStarter : public QObject
{
    Q_OBJECT

public:
    int starts = 0;
    int otherStarts = 0;

public slots:
    void startIso() { ++starts; }
    void startOther() { ++otherStarts; }
};

// The insulation node: its record, the dialog "ISO" and the start hook.
class tst_IsoNode : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordLayout_data();
    void recordLayout();
    void dialogRows();
    void editReachesTheNodeAsOneWrite();
    void receptionGatesPollsAndWrites();
    void startButtonRunsTheRegisteredMethod();

private:
    QScopedPointer<HostFixture> m_host;
    QScopedPointer<DSLLonCalibration> m_node;
};

void tst_IsoNode::init()
{
    m_host.reset(new HostFixture());
    m_node.reset(new DSLLonCalibration(&m_host->registry, m_host->lon()));
}

void tst_IsoNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_IsoNode::recordLayout_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte"); // -1: not this node's

    QTest::newRow("i-iso-offset") << int(IIsoOffset) << 2;
    QTest::newRow("i-iso-gain") << int(IIsoGain) << 3;
    QTest::newRow("psu-value") << int(UMainsGain) << -1;
    QTest::newRow("none") << int(CalParamNone) << -1;
}

void tst_IsoNode::recordLayout()
{
    QFETCH(int, parameter);
    QFETCH(int, byte);
    auto const p = static_cast<CalibrationParameters>(parameter);
    LonSimulator* lon = m_host->lon();

    m_node->pollCalibrationValues();
    QCOMPARE(lon->polls(), QList<unsigned short>{5749});

    m_node->setCalibrationValues(18, NVData(kRecord));
    long long value = 0;
    bool valid = true;
    m_node->getValueFromInternalBuffer(p, value, &valid);
    QVERIFY(!valid);

    m_node->setCalibrationValues(22, NVData(kRecord));
    bool const owned = m_node->getValueFromInternalBuffer(p, value, &valid);
    QCOMPARE(owned, byte >= 0);
    QCOMPARE(valid, byte >= 0);
    QCOMPARE(int(m_node->getNodeIdForCalibrationParameter(p)), byte >= 0 ? 22 : 0);
    if (byte < 0) {
        QVERIFY(!m_node->setValueToInternalBuffer(p, 5));
        return;
    }
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(kRecord.at(byte))));

    QVERIFY(m_node->setValueToInternalBuffer(p, -300));
    QTRY_COMPARE(lon->sends().size(), 1);
    QByteArray expected = kRecord;
    expected[byte] = char(0xD4);
    QCOMPARE(lon->sends().first().first, static_cast<unsigned short>(5748));
    QCOMPARE(lon->sends().first().second, expected);
}

void tst_IsoNode::dialogRows()
{
    m_node->openCalibrationDialog();
    DialogWindow* dialog = m_node->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("ISO"));
    QCOMPARE(dialog->width(), 350);
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate ISO"});

    QStringList labels;
    QStringList units;
    for (NumberEdit* edit : rowsInOrder(dialog)) {
        labels << edit->labelText();
        units << edit->unitText();
    }
    QCOMPARE(labels, (QStringList{"I-iso", "R-iso", "I-iso Offset", "I-iso Gain"}));
    // The square micro-ampere sign and the ohm sign, not a Greek omega.
    QCOMPARE(units, (QStringList{QString(QChar(0x3382)), QStringLiteral("k") + QChar(0x2126), "", ""}));
    QVERIFY(!m_node->getCalibrationNumberEdit(IIsoGain)->isEnabled());

    QList<ColoredLabel*> const titles = dialog->findChildren<ColoredLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.first()->text(), QStringLiteral("Data in HDSL / VDSL"));

    auto* start = qobject_cast<QPushButton*>(dialog->acceptButton());
    auto* ok = qobject_cast<QPushButton*>(dialog->rejectButton());
    QVERIFY(start && ok);
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QVERIFY(!start->isDefault());
    QVERIFY(!start->icon().isNull());
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    QVERIFY(ok->isDefault());
    QVERIFY(!ok->icon().isNull());

    QCOMPARE(m_host->lon()->polls(), QList<unsigned short>{5749});
    ok->click();
    QVERIFY(m_node->dialog() == nullptr);
}

void tst_IsoNode::editReachesTheNodeAsOneWrite()
{
    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->openCalibrationDialog();
    m_node->setCalibrationValues(22, NVData(kRecord));
    NumberEdit* gain = m_node->getCalibrationNumberEdit(IIsoGain);
    QVERIFY(gain && gain->isEnabled());
    QCOMPARE(gain->shownText(), QStringLiteral("36"));

    QElapsedTimer clock;
    clock.start();
    gain->enterNumber(40);
    QTest::qWait(100);
    gain->enterNumber(-1);
    qint64 const lastChange = clock.elapsed();
    QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    QVERIFY(clock.elapsed() - lastChange >= 200);
    QCOMPARE(m_host->lon()->sends().first().second, bytes({0xA5, 0x5A, 0xF3, 0xFF}));
}

void tst_IsoNode::receptionGatesPollsAndWrites()
{
    LonSimulator* lon = m_host->lon();
    QVERIFY(m_node->setValueToInternalBuffer(IIsoOffset, 3));
    m_node->sendCalibUpdateToLon();
    QVERIFY(lon->sends().isEmpty());

    m_node->setCalibrationValues(22, NVData(kRecord));
    lon->clearRecords();
    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->openCalibrationDialog();
    QVERIFY(lon->polls().isEmpty());
    NumberEdit* offset = m_node->getCalibrationNumberEdit(IIsoOffset);
    QVERIFY(offset->isEnabled());
    QCOMPARE(offset->shownText(), QStringLiteral("-13"));

    DSLLonCalibration offline(&m_host->registry, nullptr);
    offline.pollCalibrationValues();
    offline.setCalibrationValues(22, NVData(kRecord));
    offline.sendCalibUpdateToLon();
    QVERIFY(lon->polls().isEmpty());
    QVERIFY(lon->sends().isEmpty());
}

void tst_IsoNode::startButtonRunsTheRegisteredMethod()
{
    IsoStarter starter;
    m_node->openCalibrationDialog();
    QAbstractButton* start = m_node->dialog()->acceptButton();

    // Nothing registered: a press does nothing.
    start->click();

    QVERIFY(!m_node->connectIsoStartMethod(nullptr, "startIso()"));
    QVERIFY(!m_node->connectIsoStartMethod(&starter, nullptr));
    QVERIFY(m_node->connectIsoStartMethod(&starter, "startIso()"));
    start->click();
    QCOMPARE(starter.starts, 1);

    // A signature the receiver lacks, or one in the macro's prefixed form, keeps the earlier registration.
    QVERIFY(!m_node->connectIsoStartMethod(&starter, "startIso(int)"));
    QVERIFY(!m_node->connectIsoStartMethod(&starter, "1startOther()"));
    start->click();
    QCOMPARE(starter.starts, 2);
    QCOMPARE(starter.otherStarts, 0);

    // A later registration replaces the earlier one.
    QVERIFY(m_node->connectIsoStartMethod(&starter, "startOther()"));
    m_node->slotIsoStart();
    QCOMPARE(starter.starts, 2);
    QCOMPARE(starter.otherStarts, 1);

    // A receiver that is gone is not called.
    {
        IsoStarter shortLived;
        QVERIFY(m_node->connectIsoStartMethod(&shortLived, "startIso()"));
    }
    m_node->slotIsoStart();
}

QTEST_MAIN(tst_IsoNode)
#include "tst_isonode.moc"
