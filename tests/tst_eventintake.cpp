#include <QThread>
#include <QtTest>

#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "module/LonCalibration.h"
#include "module/LonCalibrationEventHandler.h"
#include "sim/LonSimulator.h"
#include "support/FakeNode.h"
#include "support/HostFixture.h"
#include "support/LonCalibrationTestAccess.h"

using namespace LonCalibrationTypes;

namespace {

using Bytes = QByteArray;

Bytes bytes(std::initializer_list<int> values)
{
    Bytes result;
    for (int value : values)
        result.append(static_cast<char>(value));
    return result;
}

// A 16-bit number as the bus sends it.
Bytes be16(int value)
{
    return bytes({(value >> 8) & 0xFF, value & 0xFF});
}

struct Delivery
{
    unsigned short nvId;
    Bytes payload;
};

} // namespace

Q_DECLARE_METATYPE(QList<Delivery>)

// What the handler makes of each registered variable: the route of whole
// records, the assembly of node 3's record, and the decoding and scaling of
// every measurement. Then the module's routing to its nodes, across threads.
class tst_EventIntake : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void decoding_data();
    void decoding();
    void hvsAssemblyKeepsEachPart();
    void anyPayloadLengthIsSafe();
    void routingToTheNodes();
    void burstFromAnotherThreadArrivesInOrder();
};

void tst_EventIntake::cleanup()
{
    HostFixture::flushDeferredDeletes();
}

void tst_EventIntake::decoding_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("factor");     // -1: no factor configured
    QTest::addColumn<bool>("dMeas");
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QList<Delivery>>("deliveries");
    QTest::addColumn<QStringList>("expected");

    QVariantMap const noParameters;
    QVariantMap compensationOff{{"33", 0}};

    auto row = [&](char const* name, QList<Delivery> const& deliveries, QStringList const& expected, int factor = -1,
                   int networkType = 3, QVariantMap const& parameters = QVariantMap(), bool dMeas = false,
                   int hardware = 1) {
        QTest::newRow(name) << networkType << factor << dMeas << parameters << hardware << deliveries << expected;
    };

    // Whole records go to their node.
    row("calibration-18", {{0x1275, bytes({1, 2, 3, 4})}}, {"C 18 01020304"});
    row("calibration-18-v3", {{0x127B, bytes({1, 2, 3, 4, 5, 6})}}, {"C 18 010203040506"});
    for (unsigned short id : {0x1375, 0x1475, 0x1575, 0x1675, 0x1975, 0x1B75, 0x1C75, 0x1E75, 0x2375}) {
        QByteArray const name = QByteArray("calibration-") + QByteArray::number(id, 16);
        row(name.constData(), {{id, bytes({9})}}, {QStringLiteral("C %1 09").arg(id >> 8)});
    }
    row("counters-20", {{0x1479, bytes({0, 10})}}, {"N 20 000a"});
    row("counters-28", {{0x1C79, bytes({1})}}, {"N 28 01"});
    row("counters-30", {{0x1E79, bytes({1})}}, {"N 30 01"});
    row("configuration-28", {{0x1C77, bytes({0, 0, 0, 70})}}, {"F 28 00000046"});
    row("configuration-35", {{0x2377, bytes({0, 5})}}, {"F 35 0005"});
    row("unknown-identifier", {{0x1234, bytes({1, 2})}}, {});

    // Mains values and the transformer correction.
    row("0x126A-factor-110", {{0x126A, be16(2300)}}, {"M 0 2530"}, 110);
    row("0x026A-no-factor", {{0x026A, be16(2300)}}, {"M 0 2300"});
    row("0x026B-scaled-like-voltage", {{0x026B, be16(1000)}}, {"M 2 1100"}, 110);
    row("0x126B-negative", {{0x126B, be16(-1000)}}, {"M 2 -1100"}, 110);
    row("0x1261-factor-110", {{0x1261, bytes({0}) + be16(2300) + be16(110)}}, {"M 0 2530", "M 2 100"}, 110);
    row("0x1261-factor-0", {{0x1261, bytes({0}) + be16(2300) + be16(110)}}, {"M 0 2300", "M 2 110"}, 0);
    row("0x1261-factor-negative", {{0x1261, bytes({0}) + be16(2300) + be16(110)}}, {"M 0 2300", "M 2 110"}, -7);
    row("0x1269-no-factor", {{0x1269, bytes({0}) + be16(2300) + be16(150) + be16(-160) + bytes({240})}},
        {"M 0 2300", "M 3 150", "M 4 -160", "M 1 240"}, 110);

    // HV source values.
    row("0x036C", {{0x036C, be16(1000)}}, {"M 7 1000"});
    row("0x136D", {{0x136D, be16(-12)}}, {"M 8 -12"});
    row("0x036D", {{0x036D, be16(12)}}, {"M 8 12"});
    row("0x046E", {{0x046E, be16(77)}}, {"M 9 77"});
    row("0x156E", {{0x156E, be16(-77)}}, {"M 9 -77"});
    row("0x036F-bit14-no-compensation", {{0x036F, be16(0x4005)}}, {"M 11 500"}, -1, 3, compensationOff);
    row("0x136F-plain-sign-bit", {{0x136F, be16(0x8010)}}, {"M 11 -32752"}, -1, 3, compensationOff);
    row("0x136F-compensated-8kV",
        {{0x136C, be16(1000)}, {0x136F, be16(100)}}, {"M 7 1000", "M 11 80"}, -1, 3,
        QVariantMap{{"33", 1}, {"40", 50}, {"32", 2000}, {"31", 9999}, {"29", 9999}});
    row("0x036F-compensated-32kV-on-hardware-13",
        {{0x036C, be16(1000)}, {0x036F, be16(100)}}, {"M 7 1000", "M 11 90"}, -1, 1,
        QVariantMap{{"33", 1}, {"40", 200}, {"32", 9999}, {"31", 1000}, {"29", 9999}}, false, 13);
    row("0x036F-compensated-80kV",
        {{0x036C, be16(1000)}, {0x036F, be16(100)}}, {"M 7 1000", "M 11 70"}, -1, 1,
        QVariantMap{{"33", 1}, {"40", 200}, {"32", 9999}, {"31", 1000}, {"29", 3000}});
    row("0x036F-compensation-default-enabled-without-coefficient", {{0x036F, be16(100)}}, {"M 11 100"});
    row("0x1163", {{0x1163, bytes({0}) + be16(455)}}, {"M 9 455"});
    row("0x1162-range", {{0x1162, bytes({2}) + be16(10) + be16(20) + be16(30) + be16(40)}},
        {"M 10 10", "M 7 20", "M 11 4000"});
    row("0x1162-plain-not-compensated",
        {{0x1162, bytes({0}) + be16(10) + be16(20) + be16(30) + be16(-40)}}, {"M 10 10", "M 7 20", "M 11 -40"}, -1, 3,
        QVariantMap{{"33", 1}, {"40", 50}, {"32", 100000}});
    row("0x1164", {{0x1164, bytes({0, 0}) + be16(1) + be16(2) + be16(3)}}, {"M 15 1", "M 16 3", "M 17 2"});

    // VLF values: references negated, current as a 16-bit magnitude.
    Bytes const vlf = bytes({0, 0}) + be16(400) + be16(-300) + be16(-250);
    row("0x1165-vmeas", {{0x1165, vlf}}, {"M 12 -400", "M 13 300", "M 14 250"});
    row("0x1166-dmeas", {{0x1166, vlf}}, {"M 12 -400", "M 13 300", "M 14 250"}, -1, 3, noParameters, true);
    row("0x1168", {{0x1168, vlf}}, {"M 12 -400", "M 13 300", "M 14 250"});
    row("0x1C68-most-negative-current", {{0x1C68, bytes({0, 0}) + be16(0) + be16(0) + be16(-32768)}},
        {"M 12 0", "M 13 0", "M 14 -32768"});

    // Insulation: range bit and network type.
    row("0x1622-nt3-range", {{0x1622, bytes({2}) + be16(12) + be16(7)}}, {"M 5 12", "M 6 700"});
    row("0x1622-nt3-no-range-signed", {{0x1622, bytes({0}) + be16(12) + be16(-7)}}, {"M 5 120000", "M 6 -7"});
    row("0x1622-nt1-bit14", {{0x1622, bytes({0}) + be16(12) + be16(0x4007)}}, {"M 5 120000", "M 6 700"}, -1, 1);
    row("0x1622-nt1-bit15-ignored", {{0x1622, bytes({2}) + be16(12) + be16(0x8007)}}, {"M 5 12", "M 6 7"}, -1, 1);

    // HV DC unit.
    row("0x2361", {{0x2361, be16(2300) + be16(55) + be16(-66)}}, {"M 0 2300", "M 2 55", "M 18 -66"}, 110);
    row("0x2392", {{0x2392, be16(0) + be16(321) + be16(-25) + be16(40) + be16(0) + be16(0) + be16(12)}},
        {"M 7 321", "M 8 12", "M 11 -100"});

    // Node 3's record is assembled from three variables of fixed length.
    row("0x0384-wrong-length-ignored", {{0x0384, bytes({1, 2, 3})}}, {});
    row("0x0382-alone",
        {{0x0384, bytes({1, 2, 3})}, {0x0382, bytes({1, 2, 3, 4, 5, 6})}}, {"C 3 01020304050601000000000000"});
}

void tst_EventIntake::decoding()
{
    QFETCH(int, networkType);
    QFETCH(int, factor);
    QFETCH(bool, dMeas);
    QFETCH(QVariantMap, parameters);
    QFETCH(int, hardware);
    QFETCH(QList<Delivery>, deliveries);
    QFETCH(QStringList, expected);

    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    options.hardware = hardware;
    HostFixture host(options);
    host.lon()->setDMeas(dMeas);
    if (factor != -1)
        getConfig()->writeInt(QStringLiteral("/Software/PSUMonitor/TrafoCorrectionFactor"), factor);
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        host.parameters()->setParameter(static_cast<Parameters>(it.key().toInt()), it.value().toLongLong());

    LonCalibrationEventHandler handler(&host.registry);
    QCOMPARE(handler.trafoCorrectionFactor(), factor == -1 ? 100 : factor);

    QStringList seen;
    connect(&handler, &LonCalibrationEventHandler::calibrationValuesReceived, this,
            [&](unsigned char node, NVData data) { seen << QStringLiteral("C %1 %2").arg(node).arg(QString(data.bytes().toHex())); });
    connect(&handler, &LonCalibrationEventHandler::counterValuesReceived, this,
            [&](unsigned char node, NVData data) { seen << QStringLiteral("N %1 %2").arg(node).arg(QString(data.bytes().toHex())); });
    connect(&handler, &LonCalibrationEventHandler::configurationValuesReceived, this,
            [&](unsigned char node, NVData data) { seen << QStringLiteral("F %1 %2").arg(node).arg(QString(data.bytes().toHex())); });
    connect(&handler, &LonCalibrationEventHandler::measurementValueChanged, this,
            [&](MeasurementParameters parameter, qint64 value) { seen << QStringLiteral("M %1 %2").arg(int(parameter)).arg(value); });

    for (Delivery const& delivery : deliveries)
        handler.nvReceived(delivery.nvId, NVData(delivery.payload));
    QCOMPARE(seen, expected);
}

void tst_EventIntake::hvsAssemblyKeepsEachPart()
{
    HostFixture host;
    LonCalibrationEventHandler handler(&host.registry);
    QList<NVT_CAL_HVS> records;
    connect(&handler, &LonCalibrationEventHandler::calibrationValuesReceived, this,
            [&](unsigned char node, NVData data) {
                QCOMPARE(node, static_cast<unsigned char>(3));
                QCOMPARE(data.length(), 13u);
                records.append(data.getCalHVS());
            });

    handler.nvReceived(0x0386, NVData(bytes({-5, 6})));
    handler.nvReceived(0x0382, NVData(bytes({1, 2, 3, 4, 5, 6, 7})));  // one byte too many
    handler.nvReceived(0x0384, NVData(bytes({7, 8})));
    handler.nvReceived(0x0386, NVData(bytes({9})));  // one byte short
    QCOMPARE(records.size(), 2);

    NVT_CAL_HVS const last = records.last();
    QCOMPARE(int(last.uNomValid), 0);
    QCOMPARE(int(last.uIntValid), 1);
    QCOMPARE(int(last.iIntValid), 1);
    QCOMPARE(int(last.uInt[0]), 7);
    QCOMPARE(int(last.iInt[0]), -5);
    QCOMPARE(int(last.iInt[1]), 6);
}

void tst_EventIntake::anyPayloadLengthIsSafe()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(module->initialize(&host.registry));
    QList<unsigned short> const identifiers = host.lon()->registrations();
    QCOMPARE(identifiers.size(), 43);

    // Every registered variable at every length up to well beyond its structure:
    // each payload lives in a buffer of exactly its length, so an overread shows.
    for (unsigned short id : identifiers) {
        for (int length = 0; length <= 40; ++length) {
            QByteArray payload(length, '\0');
            for (int i = 0; i < length; ++i)
                payload[i] = static_cast<char>(0xA5 ^ (i * 37) ^ id);
            host.lon()->deliver(id, NVData(payload));
        }
    }
    QCoreApplication::processEvents();
    module->shutdownModule();
}

void tst_EventIntake::routingToTheNodes()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(module->initialize(&host.registry));
    // The VLF dialog sits under key 28 while its node is 30.
    QSharedPointer<FakeNode> vlf(new FakeNode(&host.registry, host.lon(), 30, {VlfStartCounter}));
    QSharedPointer<FakeNode> surge(new FakeNode(&host.registry, host.lon(), 20, {SurgeCounter2kV}));
    LonCalibrationTestAccess::setNodes(*module, {{28, vlf}, {20, surge}});

    host.lon()->deliver(0x1E75, NVData(bytes({1})));
    host.lon()->deliver(0x1E79, NVData(bytes({2})));
    host.lon()->deliver(0x1479, NVData(bytes({3})));
    host.lon()->deliver(0x1C79, NVData(bytes({4})));
    host.lon()->deliver(0x2377, NVData(bytes({5})));
    host.lon()->deliver(0x1C77, NVData(bytes({6})));
    QCoreApplication::processEvents();

    // Calibration data of node 30 is offered to every dialog; its counters reach
    // the VLF dialog, which is node 30's here.
    QCOMPARE(vlf->calibrationNodes, QList<unsigned char>{30});
    QCOMPARE(surge->calibrationNodes, QList<unsigned char>{30});
    QCOMPARE(vlf->calibrationPayloads, QList<QByteArray>{bytes({1})});
    QVERIFY(surge->calibrationPayloads.isEmpty());
    QCOMPARE(surge->counterPayloads, QList<QByteArray>{bytes({3})});
    QCOMPARE(vlf->counterPayloads, (QList<QByteArray>{bytes({2}), bytes({4})}));
    QCOMPARE(vlf->configurationPayloads, QList<QByteArray>{bytes({6})});
    QVERIFY(surge->configurationPayloads.isEmpty());

    // Live values reach an open dialog.
    surge->openCalibrationDialog();
    host.lon()->deliver(0x126A, NVData(be16(2301)));
    QCoreApplication::processEvents();
    QCOMPARE(surge->getDisplayNumberEdit(MainsVoltage)->getNumber(), 2301);
    surge->cleanUp();

    // A VLF dialog of node 28 owns nothing of node 30: those counters are dropped.
    QSharedPointer<FakeNode> vlf28(new FakeNode(&host.registry, host.lon(), 28, {VlfStartCounter}));
    LonCalibrationTestAccess::setNodes(*module, {{28, vlf28}});
    host.lon()->deliver(0x1E79, NVData(bytes({7})));
    host.lon()->deliver(0x1C79, NVData(bytes({8})));
    QCoreApplication::processEvents();
    QCOMPARE(vlf28->counterPayloads, QList<QByteArray>{bytes({8})});
    module->shutdownModule();
}

void tst_EventIntake::burstFromAnotherThreadArrivesInOrder()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(module->initialize(&host.registry));
    QSharedPointer<FakeNode> psu(new FakeNode(&host.registry, host.lon(), 18, {UMainsGain}));
    LonCalibrationTestAccess::setNodes(*module, {{18, psu}});

    constexpr int kUpdates = 100000;
    LonSimulator* lon = host.lon();
    QScopedPointer<QThread> sender(QThread::create([lon] {
        for (int i = 0; i < kUpdates; ++i) {
            QByteArray payload(4, '\0');
            qToBigEndian<quint32>(static_cast<quint32>(i), payload.data());
            lon->deliver(0x1275, NVData(payload));
            if (i % 7 == 0)
                lon->deliver(0x126A, NVData(be16(i & 0x7FFF)));
        }
    }));
    sender->start();
    QVERIFY(sender->wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(psu->calibrationPayloads.size(), kUpdates, 60000);

    QVERIFY(psu->allOnGuiThread);
    for (int i = 0; i < kUpdates; ++i) {
        if (qFromBigEndian<quint32>(psu->calibrationPayloads.at(i).constData()) != static_cast<quint32>(i))
            QFAIL(qPrintable(QStringLiteral("update %1 out of order").arg(i)));
    }
    module->shutdownModule();
}

QTEST_MAIN(tst_EventIntake)
#include "tst_eventintake.moc"
