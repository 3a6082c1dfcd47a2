#include <QAbstractEventDispatcher>
#include <QtTest>

#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

namespace {

constexpr unsigned short kHvSourcePoll = 0x1375;
constexpr unsigned short kServiceRecord3 = 0x117E;
constexpr unsigned short kServiceByte = 0x1171;

} // namespace

// What the module costs the instrument beyond its behaviour: frames it must
// not put on the bus twice (on an instrument with both node generations and a
// burner and cascade that share the HV source), timers it must not leave
// running once it is shut down, and redraws it skips without showing less.
class tst_BusEconomy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpPollsEachVariableOnce();
    void sharedHvSourceIsAskedAgainInALaterPass();
    void newGenerationFlagsTravelInTheWholeRecord_data();
    void newGenerationFlagsTravelInTheWholeRecord();
    void shutdownLeavesNoTimerBehind();
    void repeatedRecordStillFollowsTheMode();

private:
    NodeLonCalibrationBase* node(unsigned char key) const { return m_module->nodeTable().value(key).data(); }
    QList<unsigned short> sendIds() const;

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<LonCalibration> m_module;
};

void tst_BusEconomy::init()
{
    InstrumentProfile const* profile = InstrumentProfile::find(QStringLiteral("nt3-full"));
    QVERIFY(profile);
    HostFixture::Options options;
    options.networkType = profile->networkType;
    options.hardware = profile->hardware;
    m_host.reset(new HostFixture(options));
    profile->applyToHost();
    m_host->lon()->applyProfile(*profile);
    m_module.reset(new LonCalibration());
    QVERIFY(m_module->initialize(&m_host->registry));
}

void tst_BusEconomy::cleanup()
{
    if (m_module)
        m_module->shutdownModule();
    m_module.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

QList<unsigned short> tst_BusEconomy::sendIds() const
{
    QList<unsigned short> ids;
    for (auto const& send : m_host->lon()->sends())
        ids << send.first;
    return ids;
}

void tst_BusEconomy::startUpPollsEachVariableOnce()
{
    m_module->startModule();
    QList<unsigned short> const polls = m_host->lon()->polls();
    QVERIFY(polls.contains(kHvSourcePoll));
    QSet<unsigned short> const distinct(polls.cbegin(), polls.cend());
    QCOMPARE(polls.size(), distinct.size());
}

void tst_BusEconomy::sharedHvSourceIsAskedAgainInALaterPass()
{
    // The start-up answers are lost: a dialog opened later must ask again.
    m_module->startModule();
    QCoreApplication::processEvents();
    m_host->lon()->clearRecords();

    node(27)->openCalibrationDialog();
    QCOMPARE(m_host->lon()->polls(), (QList<unsigned short>{0x1B75, kHvSourcePoll}));
    node(27)->cleanUp();
    QCoreApplication::processEvents();
    m_host->lon()->clearRecords();

    node(19)->openCalibrationDialog();
    QCOMPARE(m_host->lon()->polls(), (QList<unsigned short>{kHvSourcePoll, 0x1975}));
    node(19)->cleanUp();
}

void tst_BusEconomy::newGenerationFlagsTravelInTheWholeRecord_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("record");  // the new-generation record sent

    // PSU flags: enabled, with the changed bit (0x80) only on that send.
    QTest::newRow("psu-dialog-opened") << 0 << QByteArray::fromHex("80000100");
    QTest::newRow("burn-in-on") << 1 << QByteArray::fromHex("08000000");
}

void tst_BusEconomy::newGenerationFlagsTravelInTheWholeRecord()
{
    QFETCH(int, action);
    QFETCH(QByteArray, record);

    m_module->startModule();
    m_host->lon()->clearRecords();
    if (action == 0)
        node(18)->openCalibrationDialog();
    else
        m_module->setBurnInModeEnabled(true);

    // The record goes out whole, each part in its order, the changed flag only in this send.
    QCOMPARE(sendIds(), (QList<unsigned short>{kServiceRecord3, kServiceByte}));
    QCOMPARE(m_host->lon()->sends().first().second, record);

    // The calibration switch still reaches both generations.
    m_host->lon()->clearRecords();
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotToggleCalibrationLon", Qt::DirectConnection,
                                      Q_ARG(ToggleStates, ToggleOn)));
    QList<unsigned short> const sends = sendIds();
    QVERIFY(sends.contains(kServiceRecord3));
    QVERIFY(sends.contains(kServiceByte));
    if (action == 0)
        node(18)->cleanUp();
}

void tst_BusEconomy::shutdownLeavesNoTimerBehind()
{
    // Pending single-shot timers live under the event dispatcher until they fire.
    QObject* dispatcher = QAbstractEventDispatcher::instance();
    QVERIFY(dispatcher);
    HostFixture::flushDeferredDeletes();
    int const before = dispatcher->children().size();

    m_module->startModule();  // schedules the clean-up ten seconds later
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "Prepared", Qt::DirectConnection, Q_ARG(QVariant, 7)));
    m_module->shutdownModule();
    m_module.reset();
    HostFixture::flushDeferredDeletes();
    QCOMPARE(dispatcher->children().size(), before);
}

void tst_BusEconomy::repeatedRecordStillFollowsTheMode()
{
    // The PSU of the newer generation: six signed bytes, U-mains gain second.
    QByteArray const record = QByteArray::fromHex("03fe0104ff02");
    m_module->startModule();
    NodeLonCalibrationBase* psu = node(18);
    psu->openCalibrationDialog();
    m_host->lon()->deliver(0x127B, NVData(record));
    QCoreApplication::processEvents();
    NumberEdit* gain = psu->getCalibrationNumberEdit(LonCalibrationTypes::UMainsGain);
    QVERIFY(gain);
    QCOMPARE(gain->shownText(), QStringLiteral("-2"));
    QVERIFY(!gain->isEnabled());

    // The same record again, now in calibration mode: the number stays, the field opens.
    psu->setCalibrationEnabled(LonCalibrationTypes::CalibrationModeFull);
    m_host->lon()->deliver(0x127B, NVData(record));
    QCoreApplication::processEvents();
    QCOMPARE(gain->shownText(), QStringLiteral("-2"));
    QVERIFY(gain->isEnabled());

    // A person's entry that the node's next record contradicts gives way to the record.
    gain->enterNumber(9);
    m_host->lon()->deliver(0x127B, NVData(record));
    QCoreApplication::processEvents();
    QCOMPARE(gain->shownText(), QStringLiteral("-2"));
    psu->cleanUp();
}

QTEST_MAIN(tst_BusEconomy)
#include "tst_buseconomy.moc"
