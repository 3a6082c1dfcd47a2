#include <QtTest>

#include "module/ILonCalibrationDCCallback.h"
#include "module/LonCalibration.h"
#include "support/FakeNode.h"
#include "support/HostFixture.h"
#include "support/LonCalibrationTestAccess.h"

using namespace LonCalibrationTypes;

namespace {

// A DC callback that nobody calls in these tests; only its address matters.
class NullDcCallback : public ILonCalibrationDCCallback
{
public:
    unsigned int getVoltageRange() const override { return 0; }
    unsigned int getNominalVoltage() const override { return 0; }
    void setNominal(unsigned int, unsigned int) override {}
    bool isHvReady() const override { return false; }
};

} // namespace

// The value store routes a parameter to whichever node holds it; the counter
// services other modules read answer from it with their own scaling.
class tst_ValueStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void routesToTheOwningNode();
    void counterGetters_data();
    void counterGetters();
    void currentMaximumIgnoresTheReceivedFlag();
    void dcCallbackReachesOnlyExistingNodes();
    void emptyTableFindsNothing();

private:
    QScopedPointer<HostFixture> m_host;
    QScopedPointer<LonCalibration> m_module;
};

void tst_ValueStore::init()
{
    m_host.reset(new HostFixture());
    m_module.reset(new LonCalibration());
    QVERIFY(m_module->initialize(&m_host->registry));
}

void tst_ValueStore::cleanup()
{
    m_module->shutdownModule();
    m_module.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
}

void tst_ValueStore::routesToTheOwningNode()
{
    QSharedPointer<FakeNode> burner(new FakeNode(&m_host->registry, nullptr, 27, {IBrnLvGain, UNomGainBrn}));
    QSharedPointer<FakeNode> cascade(new FakeNode(&m_host->registry, nullptr, 19, {UNomGainBrn, UNomOffset}));
    LonCalibrationTestAccess::setNodes(*m_module, {{27, burner}, {19, cascade}});

    QCOMPARE(int(m_module->getNodeIdForCalibrationParameter(IBrnLvGain)), 27);
    QCOMPARE(int(m_module->getNodeIdForCalibrationParameter(UNomOffset)), 19);
    QCOMPARE(int(m_module->getNodeIdForCalibrationParameter(UMainsGain)), 0);

    // A value two holders share is taken by both; the result is true.
    QVERIFY(m_module->setValueToInternalBuffer(UNomGainBrn, 4));
    QCOMPARE(burner->values.value(UNomGainBrn), 4);
    QCOMPARE(cascade->values.value(UNomGainBrn), 4);
    QVERIFY(!m_module->setValueToInternalBuffer(UMainsGain, 4));

    long long value = -99;
    bool valid = true;
    QVERIFY(!m_module->getValueFromInternalBuffer(UMainsGain, value, &valid));
    QCOMPARE(value, -99);

    QVERIFY(m_module->getValueFromInternalBuffer(IBrnLvGain, value, &valid));
    QCOMPARE(valid, false);
    QVERIFY(m_module->getValueFromInternalBuffer(IBrnLvGain, value));
    QCOMPARE(m_module->getValue(UNomOffset), 0);
    cascade->values.insert(UNomOffset, -3);
    QCOMPARE(m_module->getValue(UNomOffset), 0);  // held but not received
    cascade->received = true;
    QCOMPARE(m_module->getValue(UNomOffset), -3);
}

void tst_ValueStore::counterGetters_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<bool>("received");
    QTest::addColumn<QString>("getter");
    QTest::addColumn<int>("expected");

    QTest::newRow("2kV-x100") << 3 << int(SurgeCounter2kV) << qint64(12) << true << "2kV" << 1200;
    QTest::newRow("2kV-not-received") << 3 << int(SurgeCounter2kV) << qint64(12) << false << "2kV" << 0;
    QTest::newRow("8kV-nt3-x100") << 3 << int(SurgeCounter8kV) << qint64(7) << true << "8kV" << 700;
    QTest::newRow("8kV-nt9-plain") << 9 << int(SurgeCounter8kV) << qint64(7) << true << "8kV" << 7;
    QTest::newRow("12kV-plain") << 9 << int(SurgeCounter12kV) << qint64(5) << true << "12kV" << 5;
    QTest::newRow("16kV-plain") << 9 << int(SurgeCounter16kV) << qint64(6) << true << "16kV" << 6;
    QTest::newRow("32kV-x100") << 3 << int(SurgeCounter32kV) << qint64(3) << true << "32kV" << 300;
    QTest::newRow("60kV-x100") << 3 << int(SurgeCounter60kV) << qint64(9) << true << "60kV" << 900;
    QTest::newRow("vlf-start-plain") << 3 << int(VlfStartCounter) << qint64(123) << true << "start" << 123;
    QTest::newRow("vlf-cycle-x100") << 3 << int(VlfCycleCounter) << qint64(123) << true << "cycle" << 12300;
    // The getters multiply the low 32 bits and keep 32 bits.
    QTest::newRow("low-32-bits") << 3 << int(SurgeCounter2kV) << qint64(0x100000005LL) << true << "2kV" << 500;
    QTest::newRow("32-bit-wrap") << 3 << int(VlfCycleCounter) << qint64(30000000) << true << "cycle"
                                 << static_cast<int>(30000000u * 100u);
    QTest::newRow("plain-low-32-bits") << 3 << int(VlfStartCounter) << qint64(0x1FFFFFFFFLL) << true << "start" << -1;
}

void tst_ValueStore::counterGetters()
{
    QFETCH(int, networkType);
    QFETCH(int, parameter);
    QFETCH(qint64, stored);
    QFETCH(bool, received);
    QFETCH(QString, getter);
    QFETCH(int, expected);

    NVData::m_NetworkType = static_cast<unsigned char>(networkType);
    auto const key = static_cast<CalibrationParameters>(parameter);
    QSharedPointer<FakeNode> node(new FakeNode(&m_host->registry, nullptr, 20, {key}));
    node->values.insert(key, stored);
    node->received = received;
    LonCalibrationTestAccess::setNodes(*m_module, {{20, node}});

    QMap<QString, int> const answers{
        {"2kV", m_module->getSurgeCounter2kV()},   {"8kV", m_module->getSurgeCounter8kV()},
        {"12kV", m_module->getSurgeCounter12kV()}, {"16kV", m_module->getSurgeCounter16kV()},
        {"32kV", m_module->getSurgeCounter32kV()}, {"60kV", m_module->getSurgeCounter60kV()},
        {"start", m_module->getVLFStartCounter()}, {"cycle", m_module->getVLFCycleCounter()},
    };
    QCOMPARE(answers.value(getter), expected);
    // Every other getter finds no value.
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        if (it.key() != getter)
            QCOMPARE(it.value(), 0);
    }
}

void tst_ValueStore::currentMaximumIgnoresTheReceivedFlag()
{
    QCOMPARE(m_module->getVLFCurrentMaximum(), 0);
    QSharedPointer<FakeNode> vlf(new FakeNode(&m_host->registry, nullptr, 28, {VlfCurrentMaximum}));
    vlf->values.insert(VlfCurrentMaximum, 12000);
    LonCalibrationTestAccess::setNodes(*m_module, {{28, vlf}});
    QCOMPARE(m_module->getVLFCurrentMaximum(), 12000);
}

void tst_ValueStore::dcCallbackReachesOnlyExistingNodes()
{
    NullDcCallback callback;
    m_module->setDcCallback(&callback);
    QSharedPointer<FakeNode> vlf(new FakeNode(&m_host->registry, nullptr, 28, {}));
    LonCalibrationTestAccess::setNodes(*m_module, {{28, vlf}});
    QVERIFY(vlf->dcCallback == nullptr);

    m_module->setDcCallback(&callback);
    QCOMPARE(vlf->dcCallback, &callback);
}

void tst_ValueStore::emptyTableFindsNothing()
{
    long long value = 5;
    QVERIFY(!m_module->getValueFromInternalBuffer(UMainsGain, value, nullptr));
    QCOMPARE(value, 5);
    QVERIFY(!m_module->setValueToInternalBuffer(UMainsGain, 1));
    QCOMPARE(int(m_module->getNodeIdForCalibrationParameter(UMainsGain)), 0);
    QCOMPARE(m_module->getSurgeCounter2kV(), 0);
    QVERIFY(!m_module->isCalibrationOn());
    QVERIFY(!m_module->isRelaxModeOn());
}

QTEST_MAIN(tst_ValueStore)
#include "tst_valuestore.moc"
