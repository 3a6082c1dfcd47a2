#include <QAbstractButton>
#include <QtTest>
#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "nodes/SURLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

// Counter values 53..58 as the node object reports them; -1: not held.
using Counters = QList<int>;

} // namespace

// The surge counters of node 20 in each instrument generation: where each
// counter lives, its ×10 scaling, the variables polled and written, the rows of
// the dialog, and counters that would not fit their field.
class tst_SurgeNode : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void counterLayouts_data();
    void counterLayouts();
    void counterRecordIsNotWrittenBeforeItArrived();
    void dialogRows_data();
    void dialogRows();
    void counterThatDoesNotFitIsRefused();

private:
    SURLonCalibration* makeNode(unsigned char networkType, bool newCounters, int hardware = 1);

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<SURLonCalibration> m_node;
};

void tst_SurgeNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

SURLonCalibration* tst_SurgeNode::makeNode(unsigned char networkType, bool newCounters, int hardware)
{
    HostFixture::Options options;
    options.networkType = networkType;
    options.hardware = hardware;
    m_host.reset(new HostFixture(options));
    if (newCounters)
        m_host->lon()->setNodeVersions(20, {0x206});
    m_node.reset(new SURLonCalibration(&m_host->registry, m_host->lon()));
    return m_node.data();
}

void tst_SurgeNode::counterLayouts_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<bool>("newCounters");
    QTest::addColumn<bool>("asCounters");
    QTest::addColumn<int>("pollId");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<Counters>("shown");
    QTest::addColumn<int>("changed");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("writeId");
    QTest::addColumn<QByteArray>("written");

    //                                                    53   54   55   56   57   58
    QTest::newRow("nt2-NVT_CAL_VSUR-high-byte-first")
        << 2 << false << false << 0x1475 << bytes({0x01, 0x02, 0x00, 0x0A}) << Counters{25, -1, -1, -1, 1, -1}
        << 53 << 7 << 0x1474 << bytes({0x00, 0x46, 0x00, 0x0A});
    QTest::newRow("nt3-NVH_CAL_HSUR")
        << 3 << false << false << 0x1475 << bytes({0x00, 0x7B, 0x30, 0x39}) << Counters{12, -1, -1, -1, 1234, -1}
        << 57 << 6553 << 0x1474 << bytes({0x00, 0x7B, 0xFF, 0xFA});
    QTest::newRow("nt3-v206-NVH_CNT_HSUR")
        << 3 << true << true << 0x1479 << bytes({0x00, 0x64, 0x00, 0xFF, 0x03, 0xE8, 0xFF, 0xFF})
        << Counters{10, 25, -1, -1, 100, 6553} << 54 << 0 << 0x1478
        << bytes({0x00, 0x64, 0x00, 0x00, 0x03, 0xE8, 0xFF, 0xFF});
    QTest::newRow("nt9-NVS_CNT_NSUR")
        << 9 << false << true << 0x1479 << bytes({0x00, 0x0A, 0x00, 0x14, 0x00, 0x1E, 0x00, 0x28})
        << Counters{-1, 1, 2, 3, 4, -1} << 56 << 1234 << 0x1478
        << bytes({0x00, 0x0A, 0x00, 0x14, 0x30, 0x34, 0x00, 0x28});
    // No counter on other network types; the record still goes back unchanged.
    QTest::newRow("nt1-no-counters")
        << 1 << false << false << 0x1475 << bytes({0x01, 0x02, 0x03, 0x04}) << Counters{-1, -1, -1, -1, -1, -1}
        << 53 << 7 << 0x1474 << bytes({0x01, 0x02, 0x03, 0x04});
}

void tst_SurgeNode::counterLayouts()
{
    QFETCH(int, networkType);
    QFETCH(bool, newCounters);
    QFETCH(bool, asCounters);
    QFETCH(int, pollId);
    QFETCH(QByteArray, received);
    QFETCH(Counters, shown);
    QFETCH(int, changed);
    QFETCH(int, value);
    QFETCH(int, writeId);
    QFETCH(QByteArray, written);

    SURLonCalibration* node = makeNode(static_cast<unsigned char>(networkType), newCounters);
    node->pollCalibrationValues();
    QCOMPARE(m_host->lon()->polls(), QList<unsigned short>{static_cast<unsigned short>(pollId)});

    if (asCounters)
        node->setCounterValues(NVData(received));
    else
        node->setCalibrationValues(20, NVData(received));

    for (int i = 0; i < shown.size(); ++i) {
        auto const parameter = static_cast<CalibrationParameters>(SurgeCounter2kV + i);
        long long read = -1;
        bool valid = false;
        bool const held = node->getValueFromInternalBuffer(parameter, read, &valid);
        QCOMPARE(held, shown.at(i) >= 0);
        QCOMPARE(valid, held);
        if (held)
            QCOMPARE(read, static_cast<long long>(shown.at(i)));
        // Every surge counter belongs to node 20, held or not.
        QCOMPARE(int(node->getNodeIdForCalibrationParameter(parameter)), 20);
    }
    QCOMPARE(int(node->getNodeIdForCalibrationParameter(IMotorGain)), 0);

    m_host->lon()->clearRecords();
    auto const parameter = static_cast<CalibrationParameters>(changed);
    bool const held = shown.at(changed - SurgeCounter2kV) >= 0;
    QCOMPARE(node->setValueToInternalBuffer(parameter, value), held);
    if (held)
        QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    else
        node->sendCalibUpdateToLon();
    QCOMPARE(m_host->lon()->sends(),
             (QList<QPair<unsigned short, QByteArray>>{{static_cast<unsigned short>(writeId), written}}));
}

void tst_SurgeNode::counterRecordIsNotWrittenBeforeItArrived()
{
    // The counters of an interface 0x206 node are not in its calibration record.
    SURLonCalibration* node = makeNode(3, true);
    node->setCalibrationValues(20, NVData(bytes({0x00, 0x7B, 0x30, 0x39})));
    long long value = -1;
    bool valid = true;
    QVERIFY(node->getValueFromInternalBuffer(SurgeCounter2kV, value, &valid));
    QVERIFY(!valid);

    node->sendCalibUpdateToLon();
    QVERIFY(m_host->lon()->sends().isEmpty());
    node->pollCalibrationValues();
    QCOMPARE(m_host->lon()->polls(), QList<unsigned short>{0x1479});

    // Another node's calibration record is not ours.
    node->setCounterValues(NVData(bytes({0, 10, 0, 20, 0, 30, 0, 40})));
    node->setCalibrationValues(21, NVData(bytes({0xFF, 0xFF, 0xFF, 0xFF})));
    node->sendCalibUpdateToLon();
    QCOMPARE(m_host->lon()->sends(),
             (QList<QPair<unsigned short, QByteArray>>{{0x1478, bytes({0, 10, 0, 20, 0, 30, 0, 40})}}));
}

void tst_SurgeNode::dialogRows_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<bool>("newCounters");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QStringList>("rows");

    QString const unit = QStringLiteral("|%1 100").arg(QChar(0x00D7));
    QTest::newRow("nt2") << 2 << false << 1
                         << QStringList{"[Data in VSUR]", "Surge Counter 2 kV" + unit, "Surge Counter 32 kV" + unit};
    QTest::newRow("nt3") << 3 << false << 1
                         << QStringList{"[Data in HSUR]", "Surge Counter 2 kV" + unit, "Surge Counter 32 kV" + unit};
    QTest::newRow("nt3-v206") << 3 << true << 1
                              << QStringList{"[Data in HSUR]", "Surge Counter 2 kV" + unit,
                                             "Surge Counter 8 kV" + unit, "Surge Counter 32 kV" + unit,
                                             "Surge Counter 60 kV" + unit};
    QTest::newRow("hardware-11") << 9 << false << 11
                                 << QStringList{"[Data in NSUR]", "Surge Counter 8 kV" + unit,
                                                "Surge Counter 12 kV" + unit, "Surge Counter 16 kV" + unit,
                                                "Surge Counter 32 kV" + unit};
}

void tst_SurgeNode::dialogRows()
{
    QFETCH(int, networkType);
    QFETCH(bool, newCounters);
    QFETCH(int, hardware);
    QFETCH(QStringList, rows);

    SURLonCalibration* node = makeNode(static_cast<unsigned char>(networkType), newCounters, hardware);
    node->openCalibrationDialog();
    DialogWindow* dialog = node->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("Surge Counters"));
    QCOMPARE(dialog->width(), 400);
    QCOMPARE(shownRows(dialog), rows);
    QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok"));
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate Surge counter"});

    // Counters are 4-digit fields that wait for the node's values.
    NumberEdit* edit = node->getCalibrationNumberEdit(SurgeCounter32kV);
    QCOMPARE(edit->getMaximum(), qint64(9999));
    QVERIFY(!edit->isEnabled());

    dialog->acceptButton()->click();
    QVERIFY(node->dialog() == nullptr);
}

void tst_SurgeNode::counterThatDoesNotFitIsRefused()
{
    SURLonCalibration* node = makeNode(3, true);
    node->setCalibrationEnabled(CalibrationModeCounters);
    node->openCalibrationDialog();
    node->setCounterValues(NVData(bytes({0x00, 0x64, 0x00, 0xC8, 0x01, 0x2C, 0x01, 0x90})));
    NumberEdit* twoKv = node->getCalibrationNumberEdit(SurgeCounter2kV);
    NumberEdit* eightKv = node->getCalibrationNumberEdit(SurgeCounter8kV);
    QVERIFY(twoKv->isEnabled());
    QCOMPARE(twoKv->shownText(), QStringLiteral("10"));
    m_host->lon()->clearRecords();

    // 6554 × 10 does not fit 16 bits: the edit falls back to the stored value.
    twoKv->enterNumber(6554);
    QCOMPARE(twoKv->shownText(), QStringLiteral("10"));
    QVERIFY(twoKv->isEnabled());
    QVERIFY(!node->setValueToInternalBuffer(SurgeCounter2kV, -1));
    QVERIFY(!node->setValueToInternalBuffer(SurgeCounter2kV, 100000));

    // The largest that fits is written; the refused counter kept its value.
    eightKv->enterNumber(6553);
    QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    QCOMPARE(m_host->lon()->sends().first().first, static_cast<unsigned short>(0x1478));
    QCOMPARE(m_host->lon()->sends().first().second, bytes({0x00, 0x64, 0xFF, 0xFA, 0x01, 0x2C, 0x01, 0x90}));
    // The log never lets a refused value stand as set.
    QCOMPARE(m_host->logLines(), (QStringList{"Calibrate Surge counter", "Set Surge Counter 2 kV to 6554",
                                              "Surge Counter 2 kV not set: 6554 is outside 0 to 6553",
                                              "Set Surge Counter 8 kV to 6553"}));
}

QTEST_MAIN(tst_SurgeNode)
#include "tst_surgenode.moc"
