#include <QPushButton>
#include <QtTest>

#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "nodes/PSULonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

// Distinct bytes, several of them negative as signed numbers.
QByteArray const kRecord6 = bytes({0x81, 0x12, 0xF3, 0x24, 0x95, 0x36});
QByteArray const kRecord4 = bytes({0x81, 0x12, 0xF3, 0x24});

} // namespace

// The power supply node: both record generations, the dialog "PSU" and its zero calibration.
class tst_PsuNode : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordLayout_data();
    void recordLayout();
    void dialogRows_data();
    void dialogRows();
    void editReachesTheNodeAsOneWrite();
    void receptionGatesPollsAndWrites();
    void zeroButtonSwitchesTheOffsetCalibration();

private:
    PSULonCalibration* makeNode(bool version3);

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<PSULonCalibration> m_node;
};

void tst_PsuNode::init()
{
    m_host.reset(new HostFixture());
}

void tst_PsuNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

PSULonCalibration* tst_PsuNode::makeNode(bool version3)
{
    if (version3)
        m_host->lon()->setNodeVersions(18, {0x300});
    m_node.reset(new PSULonCalibration(&m_host->registry, m_host->lon()));
    return m_node.data();
}

void tst_PsuNode::recordLayout_data()
{
    QTest::addColumn<QString>("generation");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte"); // -1: not owned by this generation

    struct Row
    {
        char const* name;
        char const* generation;
        CalibrationParameters parameter;
        int byte;
    };
    static Row const rows[] = {
        {"old-u-mains-offset", "old", UMainsOffset, 0},
        {"old-u-mains-gain", "old", UMainsGain, 1},
        {"old-i-mains-offset", "old", IMainsOffset, 2},
        {"old-i-mains-gain", "old", IMainsGain, 3},
        {"old-no-int-current", "old", IMainsGainInt, -1},
        {"old-no-ext-current", "old", IMainsOffsetExt, -1},
        {"v3-u-mains-offset", "v3", UMainsOffset, 0},
        {"v3-u-mains-gain", "v3", UMainsGain, 1},
        {"v3-i-mains-offset-int", "v3", IMainsOffsetInt, 2},
        {"v3-i-mains-gain-int", "v3", IMainsGainInt, 3},
        {"v3-i-mains-offset-ext", "v3", IMainsOffsetExt, 4},
        {"v3-i-mains-gain-ext", "v3", IMainsGainExt, 5},
        {"v3-no-single-current", "v3", IMainsGain, -1},
        {"v3-not-a-psu-value", "v3", IIsoGain, -1},
        // A version-3 node whose host offers no node information is handled as an older one.
        {"v3-node-without-management", "no-management", IMainsGain, 3},
        {"v3-node-without-management-int", "no-management", IMainsGainInt, -1},
    };
    for (Row const& row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.generation) << int(row.parameter) << row.byte;
}

void tst_PsuNode::recordLayout()
{
    QFETCH(QString, generation);
    QFETCH(int, parameter);
    QFETCH(int, byte);
    auto const p = static_cast<CalibrationParameters>(parameter);

    if (generation == QLatin1String("no-management")) {
        HostFixture::Options options;
        options.lonManagement = false;
        m_host.reset(new HostFixture(options));
    }
    bool const version3 = generation == QLatin1String("v3");
    PSULonCalibration* node = makeNode(version3 || generation == QLatin1String("no-management"));
    LonSimulator* lon = m_host->lon();
    QByteArray const record = version3 ? kRecord6 : kRecord4;
    unsigned short const pollId = version3 ? 4731 : 4725;
    unsigned short const writeId = version3 ? 4730 : 4724;

    node->pollCalibrationValues();
    QCOMPARE(lon->polls(), QList<unsigned short>{pollId});

    // A record of another node is not this node's.
    node->setCalibrationValues(19, NVData(record));
    long long value = 0;
    bool valid = true;
    node->getValueFromInternalBuffer(p, value, &valid);
    QVERIFY(!valid);

    node->setCalibrationValues(18, NVData(record));
    valid = false;
    bool const owned = node->getValueFromInternalBuffer(p, value, &valid);
    QCOMPARE(owned, byte >= 0);
    QCOMPARE(valid, byte >= 0);
    QCOMPARE(int(node->getNodeIdForCalibrationParameter(p)), byte >= 0 ? 18 : 0);
    if (byte < 0) {
        QVERIFY(!node->setValueToInternalBuffer(p, 5));
        return;
    }
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(record.at(byte))));

    // -300 keeps its low byte 0xD4; every other byte goes back as received.
    QVERIFY(node->setValueToInternalBuffer(p, -300));
    QVERIFY(node->getValueFromInternalBuffer(p, value, &valid));
    QCOMPARE(value, -44LL);
    QTRY_COMPARE(lon->sends().size(), 1);
    QByteArray expected = record;
    expected[byte] = char(0xD4);
    QCOMPARE(lon->sends().first().first, writeId);
    QCOMPARE(lon->sends().first().second, expected);
}

void tst_PsuNode::dialogRows_data()
{
    QTest::addColumn<bool>("version3");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("units");

    QTest::newRow("old") << false
                         << QStringList{"Mains Current", "Mains Voltage", "I-mains Offset", "I-mains Gain",
                                        "U-mains Offset", "U-mains Gain"}
                         << QStringList{"A", "V", "", "", "", ""};
    QTest::newRow("v3") << true
                        << QStringList{"Mains Current (int)", "Mains Current (ext)", "Mains Voltage",
                                       "Internal supply Voltage", "I-mains Offset (int)", "I-mains Gain (int)",
                                       "I-mains Offset (ext)", "I-mains Gain (ext)", "U-mains Offset",
                                       "U-mains Gain"}
                        << QStringList{"A", "A", "V", "V", "", "", "", "", "", ""};
}

void tst_PsuNode::dialogRows()
{
    QFETCH(bool, version3);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, units);

    PSULonCalibration* node = makeNode(version3);
    node->openCalibrationDialog();
    DialogWindow* dialog = node->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("PSU"));
    QCOMPARE(dialog->width(), 350);
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate PSU"});

    QStringList shownLabels;
    QStringList shownUnits;
    for (NumberEdit* edit : rowsInOrder(dialog)) {
        shownLabels << edit->labelText();
        shownUnits << edit->unitText();
        // Calibration rows wait for the node's record.
        if (edit->labelText().contains(QLatin1String("Offset")) || edit->labelText().contains(QLatin1String("Gain")))
            QVERIFY(!edit->isEnabled());
    }
    QCOMPARE(shownLabels, labels);
    QCOMPARE(shownUnits, units);

    QList<ColoredLabel*> const titles = dialog->findChildren<ColoredLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.first()->text(), QStringLiteral("Data in HPSU / VPSU"));

    QAbstractButton* ok = dialog->acceptButton();
    QAbstractButton* zero = dialog->rejectButton();
    QVERIFY(ok && zero);
    QCOMPARE(ok->text(), QStringLiteral("Ok"));
    QVERIFY(!ok->icon().isNull());
    QVERIFY(qobject_cast<QPushButton*>(ok)->isDefault());
    QCOMPARE(zero->text(), QStringLiteral("Enable zero"));
    QVERIFY(!qobject_cast<QPushButton*>(zero)->isDefault());

    QCOMPARE(m_host->lon()->polls(), QList<unsigned short>{static_cast<unsigned short>(version3 ? 4731 : 4725)});
}

void tst_PsuNode::editReachesTheNodeAsOneWrite()
{
    PSULonCalibration* node = makeNode(false);
    node->setCalibrationEnabled(CalibrationModeFull);
    node->openCalibrationDialog();
    node->setCalibrationValues(18, NVData(bytes({0x01, 0x02, 0x03, 0x04})));
    NumberEdit* gain = node->getCalibrationNumberEdit(UMainsGain);
    QVERIFY(gain && gain->isEnabled());
    QCOMPARE(gain->shownText(), QStringLiteral("2"));

    QElapsedTimer clock;
    clock.start();
    gain->enterNumber(-4);
    QTest::qWait(100);
    gain->enterNumber(-5);
    qint64 const lastChange = clock.elapsed();
    QVERIFY(m_host->lon()->sends().isEmpty());
    QTRY_COMPARE(m_host->lon()->sends().size(), 1);
    QVERIFY(clock.elapsed() - lastChange >= 200);

    QCOMPARE(m_host->lon()->sends().first().first, static_cast<unsigned short>(4724));
    QCOMPARE(m_host->lon()->sends().first().second, bytes({0x01, 0xFB, 0x03, 0x04}));
    QCOMPARE(m_host->logLines(),
             (QStringList{"Calibrate PSU", "Set U-mains Gain to -4", "Set U-mains Gain to -5"}));
}

void tst_PsuNode::receptionGatesPollsAndWrites()
{
    PSULonCalibration* node = makeNode(true);
    LonSimulator* lon = m_host->lon();

    // Nothing goes to the node before its record was read.
    QVERIFY(node->setValueToInternalBuffer(UMainsGain, 7));
    node->sendCalibUpdateToLon();
    QVERIFY(lon->sends().isEmpty());

    node->setCalibrationValues(18, NVData(kRecord6));
    lon->clearRecords();
    node->setCalibrationEnabled(CalibrationModeFull);
    node->openCalibrationDialog();
    // The stored record fills the dialog at once, without asking the node again.
    QVERIFY(lon->polls().isEmpty());
    NumberEdit* ext = node->getCalibrationNumberEdit(IMainsGainExt);
    QVERIFY(ext && ext->isEnabled());
    QCOMPARE(ext->shownText(), QStringLiteral("54"));

    // Without LON access nothing is polled or written.
    PSULonCalibration offline(&m_host->registry, nullptr);
    offline.pollCalibrationValues();
    offline.setCalibrationValues(18, NVData(kRecord4));
    offline.sendCalibUpdateToLon();
    QVERIFY(lon->polls().isEmpty());
    QVERIFY(lon->sends().isEmpty());
}

void tst_PsuNode::zeroButtonSwitchesTheOffsetCalibration()
{
    PSULonCalibration* node = makeNode(true);
    QSignalSpy flags(node, &PSULonCalibration::setPsuCalibrationFlags);
    auto flagsSeen = [&flags]() {
        QList<QPair<bool, bool>> seen;
        for (QList<QVariant> const& call : qAsConst(flags))
            seen << qMakePair(call.at(0).toBool(), call.at(1).toBool());
        flags.clear();
        return seen;
    };
    auto units = [node]() {
        return QStringList{node->getDisplayNumberEdit(MainsCurrentInt)->unitText(),
                           node->getDisplayNumberEdit(MainsCurrentExt)->unitText(),
                           node->getDisplayNumberEdit(MainsVoltage)->unitText(),
                           node->getDisplayNumberEdit(InternalSupplyVoltage)->unitText()};
    };

    node->openCalibrationDialog();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{true, false}}));
    QAbstractButton* zero = node->dialog()->rejectButton();

    zero->click();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{true, true}}));
    QCOMPARE(units(), (QStringList{"!!", "!!", "!!", "V"}));
    QCOMPARE(zero->text(), QStringLiteral("Disable zero"));

    zero->click();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{true, false}}));
    QCOMPARE(units(), (QStringList{"A", "A", "V", "V"}));
    QCOMPARE(zero->text(), QStringLiteral("Enable zero"));

    // A dialog opened again starts with the zero calibration off.
    zero->click();
    flags.clear();
    node->openCalibrationDialog();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{true, false}}));
    node->dialog()->rejectButton()->click();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{true, true}}));

    // Closing while it is on switches it off at the instrument.
    node->dialog()->acceptButton()->click();
    QCOMPARE(flagsSeen(), (QList<QPair<bool, bool>>{{false, false}}));
    QVERIFY(node->dialog() == nullptr);
}

QTEST_MAIN(tst_PsuNode)
#include "tst_psunode.moc"
