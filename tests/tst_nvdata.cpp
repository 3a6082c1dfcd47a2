// NVData: bus bytes (big-endian) in, host structures out, and back.
#include <QByteArray>
#include <QObject>
#include <QThread>
#include <QVariant>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

#include "host/NVData.h"

namespace {

// One getter/setter pair, seen as raw structure images so every pair fits one table.
struct Accessor
{
    int size = 0;
    std::function<QByteArray(NVData const&)> read;
    std::function<QByteArray(QByteArray const&)> write;
};

template <class T>
Accessor accessor(T (NVData::*getter)() const, void (NVData::*setter)(T const&))
{
    Accessor result;
    result.size = static_cast<int>(sizeof(T));
    result.read = [getter](NVData const& data) {
        T const value = (data.*getter)();
        return QByteArray(reinterpret_cast<char const*>(&value), static_cast<int>(sizeof(T)));
    };
    result.write = [setter](QByteArray const& image) {
        T value;
        std::memset(&value, 0, sizeof(T));
        std::memcpy(&value, image.constData(), std::min<std::size_t>(sizeof(T), static_cast<std::size_t>(image.size())));
        NVData data;
        (data.*setter)(value);
        return data.bytes();
    };
    return result;
}

// A payload in a heap block of exactly its length, shared without a copy, so
// that a read past the payload leaves the block (and AddressSanitizer sees it).
struct ExactPayload
{
    explicit ExactPayload(QByteArray const& bytes) : block(new char[static_cast<std::size_t>(bytes.size())])
    {
        if (!bytes.isEmpty())
            std::memcpy(block.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
        data = NVData(QByteArray::fromRawData(block.get(), bytes.size()));
    }
    std::unique_ptr<char[]> block;
    NVData data;
};

using Fields = QList<qint64>;
using FieldReader = std::function<Fields(NVData const&)>;
using Setter = std::function<void(NVData&)>;

QByteArray fromHex(char const* text)
{
    return QByteArray::fromHex(text); // blanks only group the bytes
}

} // namespace

Q_DECLARE_METATYPE(Accessor)
Q_DECLARE_METATYPE(FieldReader)
Q_DECLARE_METATYPE(Setter)

class NVDataReceiver : public QObject
{
    Q_OBJECT

public:
    QList<NVData> received;

public slots:
    void receive(NVData data) { received.append(data); }
};

class tst_NVData : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void roundTrip_data();
    void roundTrip();
    void shortPayloadReadsZeroAndStaysInside_data() { roundTrip_data(); }
    void shortPayloadReadsZeroAndStaysInside();
    void longPayloadReadsFirstBytes_data() { roundTrip_data(); }
    void longPayloadReadsFirstBytes();

    void handlerFields_data();
    void handlerFields();

    void shortValue_data();
    void shortValue();
    void scalarSetters_data();
    void scalarSetters();
    void setDataRejectsMissingBytes();

    void travelsQueuedBetweenThreads();
};

void tst_NVData::init()
{
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
        QSKIP("the host images below are written for a little-endian host");
}

// Each row: the bytes as the node sends them and the structure as the host holds it.
void tst_NVData::roundTrip_data()
{
    QTest::addColumn<Accessor>("accessor");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("bus");
    QTest::addColumn<QByteArray>("host");

    auto row = [](char const* name, Accessor const& access, int size, char const* bus, char const* host) {
        QTest::newRow(name) << access << size << fromHex(bus) << fromHex(host);
    };

    // Byte-only records travel unchanged.
    row("NVH_CAL_HBRN", accessor(&NVData::getCalHBRN, &NVData::setCalHBRN), 6, "01 02 FD 04 05 80", "01 02 FD 04 05 80");
    row("NVH_CAL_HHVS", accessor(&NVData::getCalHHVS, &NVData::setCalHHVS), 20,
        "01 02 03 04 05 06 07 08 09 0A 0B 0C 01 00 F1 F2 F3 F4 00 00",
        "01 02 03 04 05 06 07 08 09 0A 0B 0C 01 00 F1 F2 F3 F4 00 00");
    row("NVH_CAL_HSEL", accessor(&NVData::getCalHSEL, &NVData::setCalHSEL), 4, "FF 01 7F 80", "FF 01 7F 80");
    row("NVH_CAL_HVLF", accessor(&NVData::getCalHVLF, &NVData::setCalHVLF), 12, "01 02 03 04 05 06 07 08 09 0A 0B FF",
        "01 02 03 04 05 06 07 08 09 0A 0B FF");
    row("NVH_CAL_RHVS", accessor(&NVData::getCalRHVS, &NVData::setCalRHVS), 16,
        "01 02 03 04 05 00 00 00 09 0A 0B 0C 0D 0E 0F 00", "01 02 03 04 05 00 00 00 09 0A 0B 0C 0D 0E 0F 00");
    row("NVH_CAL_HPSU_3", accessor(&NVData::getCalHPSU_3, &NVData::setCalHPSU_3), 6, "01 FE 03 FC 05 FA",
        "01 FE 03 FC 05 FA");
    row("NVT_CAL_VDSH", accessor(&NVData::getCalVDSH, &NVData::setCalVDSH), 4, "01 02 03 04", "01 02 03 04");
    row("NVT_CAL_VDSL", accessor(&NVData::getCalVDSL, &NVData::setCalVDSL), 4, "00 00 F6 0A", "00 00 F6 0A");
    row("NVT_CAL_VHVS", accessor(&NVData::getCalVHVS, &NVData::setCalVHVS), 14,
        "01 02 03 04 00 06 07 08 09 0A 00 00 0D 0E", "01 02 03 04 00 06 07 08 09 0A 00 00 0D 0E");
    row("NVT_CAL_VPSU", accessor(&NVData::getCalVPSU, &NVData::setCalVPSU), 4, "81 02 83 04", "81 02 83 04");
    // The older surge words stay high byte first in the structure.
    row("NVT_CAL_VSUR", accessor(&NVData::getCalVSUR, &NVData::setCalVSUR), 4, "12 34 56 78", "12 34 56 78");
    row("NVT_CAL_HVS", accessor(&NVData::getCalHVS, &NVData::setCalHVS), 13, "01 02 03 04 05 06 01 07 08 01 09 0A 00",
        "01 02 03 04 05 06 01 07 08 01 09 0A 00");
    row("NVH_CFG_HVLF", accessor(&NVData::getNVH_CFG_HVLF, &NVData::setNVH_CFG_HVLF), 4, "00 00 00 2A", "00 00 00 2A");
    row("NVS_SERVICE", accessor(&NVData::getNVS_SERVICE, &NVData::setNVS_SERVICE), 2, "03 81", "03 81");
    row("NVH_SERVICE_3", accessor(&NVData::getNVH_SERVICE_3, &NVData::setNVH_SERVICE_3), 4, "03 81 05 00",
        "03 81 05 00");

    // Wide fields turn from big-endian into host order.
    row("NVH_CAL_HSUR", accessor(&NVData::getCalHSUR, &NVData::setCalHSUR), 4, "12 34 FF FE", "34 12 FE FF");
    row("NVH_CNT_HSUR", accessor(&NVData::getCntHSUR, &NVData::setCntHSUR), 8, "00 01 01 00 12 34 FF FF",
        "01 00 00 01 34 12 FF FF");
    row("NVS_CNT_NSUR", accessor(&NVData::getNVS_CNT_NSUR, &NVData::setNVS_CNT_NSUR), 8, "00 01 01 00 12 34 AB CD",
        "01 00 00 01 34 12 CD AB");
    row("NVH_CNT_HVLF", accessor(&NVData::getNVH_CNT_HVLF, &NVData::setNVH_CNT_HVLF), 6, "01 02 0A 0B 0C 0D",
        "02 01 0D 0C 0B 0A");
    row("NVH_CFG_RHVS", accessor(&NVData::getConfigRHVS, &NVData::setNVH_CFG_RHVS), 7, "01 02 01 00 00 00 00",
        "02 01 01 00 00 00 00");
    row("NVH_ISO_MEAS", accessor(&NVData::getInsulationResistance, &NVData::setInsulationResistance), 5,
        "02 00 0C 40 07", "02 0C 00 07 40");
    row("NVH_BMEAS", accessor(&NVData::getNVH_BMEAS, &NVData::setNVH_BMEAS), 8, "01 00 11 22 33 44 55 66",
        "01 00 22 11 44 33 66 55");
    row("NVH_CMEAS", accessor(&NVData::getNVH_CMEAS, &NVData::setNVH_CMEAS), 3, "01 80 01", "01 01 80");
    row("NVH_DMEAS", accessor(&NVData::getNVH_DMEAS, &NVData::setNVH_DMEAS), 8, "01 00 11 22 33 44 55 66",
        "01 00 22 11 44 33 66 55");
    row("NVH_HMEAS", accessor(&NVData::getNVH_HMEAS, &NVData::setNVH_HMEAS), 9, "02 11 22 33 44 55 66 77 88",
        "02 22 11 44 33 66 55 88 77");
    row("NVH_MMEAS", accessor(&NVData::getNVH_MMEAS, &NVData::setNVH_MMEAS), 5, "01 08 FC 00 6E", "01 FC 08 6E 00");
    row("NVH_MMEAS_3", accessor(&NVData::getNVH_MMEAS_3, &NVData::setNVH_MMEAS_3), 8, "01 08 FC 00 6E 00 05 18",
        "01 FC 08 6E 00 05 00 18");
    row("NVH_VMEAS", accessor(&NVData::getNVH_VMEAS, &NVData::setNVH_VMEAS), 8, "01 00 11 22 33 44 55 66",
        "01 00 22 11 44 33 66 55");
    row("NVS_VMEAS", accessor(&NVData::getNVS_VMEAS, &NVData::setNVS_VMEAS), 8, "01 00 11 22 33 44 55 66",
        "01 00 22 11 44 33 66 55");
    row("NVH_CMEAS_RHVS", accessor(&NVData::getNVH_CMEAS_RHVS, &NVData::setNVH_CMEAS_RHVS), 14,
        "00 01 00 02 00 03 00 04 00 05 00 06 00 07", "01 00 02 00 03 00 04 00 05 00 06 00 07 00");
    row("NVH_MMEAS_RHVS", accessor(&NVData::getNVH_MMEAS_RHVS, &NVData::setNVH_MMEAS_RHVS), 6, "08 FC 00 6E FF 9C",
        "FC 08 6E 00 9C FF");
}

void tst_NVData::roundTrip()
{
    QFETCH(Accessor, accessor);
    QFETCH(int, size);
    QFETCH(QByteArray, bus);
    QFETCH(QByteArray, host);

    QCOMPARE(accessor.size, size);
    QCOMPARE(bus.size(), size);
    QCOMPARE(accessor.read(NVData(bus)), host);
    QCOMPARE(accessor.write(host), bus);
}

void tst_NVData::shortPayloadReadsZeroAndStaysInside()
{
    QFETCH(Accessor, accessor);
    QFETCH(QByteArray, bus);

    for (int length = 0; length < bus.size(); ++length) {
        ExactPayload const payload(bus.left(length));
        QByteArray padded = bus.left(length);
        padded.append(QByteArray(bus.size() - length, '\0'));
        QCOMPARE(accessor.read(payload.data), accessor.read(NVData(padded)));
    }
}

void tst_NVData::longPayloadReadsFirstBytes()
{
    QFETCH(Accessor, accessor);
    QFETCH(QByteArray, bus);
    QFETCH(QByteArray, host);

    QCOMPARE(accessor.read(NVData(bus + fromHex("A5 5A A5"))), host);
}

// The fields the event handler and the node dialogs read, by name, with their signs.
void tst_NVData::handlerFields_data()
{
    QTest::addColumn<QByteArray>("bus");
    QTest::addColumn<FieldReader>("reader");
    QTest::addColumn<Fields>("expected");

    QTest::newRow("NVH_HMEAS flags,U-ref@1,U-int@3,I-int@7")
        << fromHex("02 01 02 FF FE 12 34 80 00") << FieldReader([](NVData const& d) {
               NVH_HMEAS const m = d.getNVH_HMEAS();
               return Fields{m.flags, m.uRef, m.uInt, m.iInt};
           })
        << Fields{2, 0x0102, -2, -32768};
    QTest::newRow("NVH_ISO_MEAS R@1,raw@3 unsigned")
        << fromHex("02 00 0C C0 07") << FieldReader([](NVData const& d) {
               NVH_ISO_MEAS const m = d.getInsulationResistance();
               return Fields{m.flags, m.resistance, m.current};
           })
        << Fields{2, 12, 0xC007};
    QTest::newRow("NVH_CMEAS_RHVS U-int@2,I@4,range@6 unsigned,U-aux@12")
        << fromHex("00 00 03 E8 FF 9C FF FF 00 00 00 00 FC 18") << FieldReader([](NVData const& d) {
               NVH_CMEAS_RHVS const m = d.getNVH_CMEAS_RHVS();
               return Fields{m.uInt, m.iIntValue, m.iIntRange, m.uAux};
           })
        << Fields{1000, -100, 0xFFFF, -1000};
    QTest::newRow("NVH_BMEAS U-brn lv@2,I-brn lv@4,I-brn hv@6")
        << fromHex("00 00 00 64 FF 38 01 2C") << FieldReader([](NVData const& d) {
               NVH_BMEAS const m = d.getNVH_BMEAS();
               return Fields{m.uBrnLv, m.iBrnLv, m.iBrnHv};
           })
        << Fields{100, -200, 300};
    QTest::newRow("NVH_MMEAS_3 U@1,I-int@3,I-ext@5,supply u8@7")
        << fromHex("00 08 FC FF FF 00 07 F0") << FieldReader([](NVData const& d) {
               NVH_MMEAS_3 const m = d.getNVH_MMEAS_3();
               return Fields{m.voltage, m.currentInt, m.currentExt, m.supplyVoltage};
           })
        << Fields{2300, -1, 7, 240};
    QTest::newRow("NVH_MMEAS U@1,I@3") << fromHex("00 08 FC 00 6E") << FieldReader([](NVData const& d) {
        NVH_MMEAS const m = d.getNVH_MMEAS();
        return Fields{m.voltage, m.current};
    }) << Fields{2300, 110};
    QTest::newRow("NVH_CMEAS U-ext@1") << fromHex("00 FF 38") << FieldReader([](NVData const& d) {
        return Fields{d.getNVH_CMEAS().uExt};
    }) << Fields{-200};
    QTest::newRow("NVS_VMEAS U-ref@2,U-vlf@4,I-vlf@6")
        << fromHex("00 00 00 01 FF FF 80 00") << FieldReader([](NVData const& d) {
               NVS_VMEAS const m = d.getNVS_VMEAS();
               return Fields{m.uRef, m.uVlf, m.iVlf};
           })
        << Fields{1, -1, -32768};
    QTest::newRow("NVH_MMEAS_RHVS mains U@0,I@2,motor@4")
        << fromHex("08 FC 00 6E FF 9C") << FieldReader([](NVData const& d) {
               NVH_MMEAS_RHVS const m = d.getNVH_MMEAS_RHVS();
               return Fields{m.mainsVoltage, m.mainsCurrent, m.motorCurrent};
           })
        << Fields{2300, 110, -100};
    QTest::newRow("NVH_CNT_HVLF start u16,cycles u32")
        << fromHex("FF FF 00 01 86 A0") << FieldReader([](NVData const& d) {
               NVH_CNT_HVLF const m = d.getNVH_CNT_HVLF();
               return Fields{m.startCounter, m.cycleCounter};
           })
        << Fields{65535, 100000};
}

void tst_NVData::handlerFields()
{
    QFETCH(QByteArray, bus);
    QFETCH(FieldReader, reader);
    QFETCH(Fields, expected);

    QCOMPARE(reader(NVData(bus)), expected);
}

void tst_NVData::shortValue_data()
{
    QTest::addColumn<QByteArray>("bus");
    QTest::addColumn<int>("expected");

    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one byte is the high byte") << fromHex("12") << 0x1200;
    QTest::newRow("two bytes") << fromHex("12 34") << 0x1234;
    QTest::newRow("negative") << fromHex("FF FE") << -2;
    QTest::newRow("third byte ignored") << fromHex("80 00 99") << -32768;
}

void tst_NVData::shortValue()
{
    QFETCH(QByteArray, bus);
    QFETCH(int, expected);

    ExactPayload const payload(bus);
    QCOMPARE(int(payload.data.getShortValue()), expected);
}

void tst_NVData::scalarSetters_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<QByteArray>("bus");

    using Set = Setter;
    QTest::newRow("bool true") << Set([](NVData& d) { d.setBoolValue(true); }) << fromHex("01");
    QTest::newRow("bool false") << Set([](NVData& d) { d.setBoolValue(false); }) << fromHex("00");
    QTest::newRow("byte") << Set([](NVData& d) { d.setByteValue(0xAB); }) << fromHex("AB");
    QTest::newRow("short positive") << Set([](NVData& d) { d.setShortValue(0x1234); }) << fromHex("12 34");
    QTest::newRow("short negative") << Set([](NVData& d) { d.setShortValue(-2); }) << fromHex("FF FE");
    QTest::newRow("alarm group then alarm") << Set([](NVData& d) { d.setAlarm(3, 7); }) << fromHex("03 07");
    QTest::newRow("setter replaces a longer payload") << Set([](NVData& d) {
        d.setData(reinterpret_cast<unsigned char const*>("\x01\x02\x03\x04"), 4);
        d.setByteValue(9);
    }) << fromHex("09");
}

void tst_NVData::scalarSetters()
{
    QFETCH(Setter, set);
    QFETCH(QByteArray, bus);

    NVData data;
    set(data);
    QCOMPARE(data.bytes(), bus);
    QCOMPARE(data.length(), unsigned(bus.size()));
    QCOMPARE(data.getByteValue(), static_cast<unsigned char>(bus.at(0)));
    QCOMPARE(data.getBoolValue(), bus.at(0) != 0);
}

void tst_NVData::setDataRejectsMissingBytes()
{
    unsigned char const bytes[] = {1, 2, 3};
    NVData data(bytes, 3);
    QCOMPARE(data.bytes(), fromHex("01 02 03"));

    data.setData(nullptr, 5);
    QCOMPARE(data.length(), 0u);
    QCOMPARE(data.getByteValue(), static_cast<unsigned char>(0));
    QCOMPARE(data.getBoolValue(), false);

    data.setData(bytes, 0);
    QCOMPARE(data.length(), 0u);
}

void tst_NVData::travelsQueuedBetweenThreads()
{
    qRegisterMetaType<NVData>();
    NVData sent;
    sent.setNVH_HMEAS(NVH_HMEAS{2, 100, -200, 300, -400});

    QVariant const variant = QVariant::fromValue(sent);
    QVERIFY(variant.canConvert<NVData>());
    QCOMPARE(variant.value<NVData>(), sent);

    NVDataReceiver receiver;
    std::unique_ptr<QThread> sender(QThread::create([&receiver, sent]() {
        QMetaObject::invokeMethod(&receiver, "receive", Qt::QueuedConnection, Q_ARG(NVData, sent));
    }));
    sender->start();
    QVERIFY(sender->wait(5000));
    QTRY_COMPARE(receiver.received.size(), 1);
    QCOMPARE(receiver.received.first(), sent);
    int const current = receiver.received.first().getNVH_HMEAS().iInt; // packed: copy, never bind
    QCOMPARE(current, -400);
}

QTEST_GUILESS_MAIN(tst_NVData)
#include "tst_nvdata.moc"
