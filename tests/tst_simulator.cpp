#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "host/HWConfiguration.h"
#include "host/ILonEvent.h"
#include "host/NVData.h"
#include "module/LonCalibration.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

namespace {

// Records what arrives and on which thread.
class Receiver : public ILonEvent
{
public:
    void nvReceived(unsigned short nvId, NVData const& data) override
    {
        QMutexLocker lock(&mutex);
        ids.append(nvId);
        payloads.append(data.bytes());
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            onGuiThread = true;
    }
    QList<unsigned short> received() const
    {
        QMutexLocker lock(&mutex);
        return ids;
    }

    mutable QMutex mutex;
    QList<unsigned short> ids;
    QList<QByteArray> payloads;
    bool onGuiThread = false;
};

} // namespace

// The simulated instrument: answers from its own thread, faults on demand,
// node memory that survives in a file, and a profile for every instrument.
class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void answersPollsFromItsOwnThread();
    void writesLandInMemoryUnlessTheyFail();
    void faults_data();
    void faults();
    void reorderedAnswersComeBehindLaterOnes();
    void streamsOnlyWhileModuleStatusIsOn();
    void memorySurvivesInAFile();
    void badMemoryFilesAreRefused_data();
    void badMemoryFilesAreRefused();
    void everyProfileSuitsTheModuleAndAnswersEveryPoll();
};

void tst_Simulator::cleanup()
{
    HWConfiguration::reset();
    NVData::m_NetworkType = 0;
    HostFixture::flushDeferredDeletes();
}

void tst_Simulator::answersPollsFromItsOwnThread()
{
    LonSimulator lon;
    QSharedPointer<Receiver> receiver(new Receiver);
    lon.registerEvent(0x1275, receiver);
    lon.setMemory(0x1275, QByteArray::fromHex("01020304"));
    lon.setAutoAnswer(true);

    lon.pollNV(0x1275);
    lon.pollNV(0x1675);  // a variable no node has: no answer
    QVERIFY(lon.waitUntilIdle(5000));
    QCOMPARE(receiver->received(), QList<unsigned short>{0x1275});
    QCOMPARE(receiver->payloads.first(), QByteArray::fromHex("01020304"));
    QVERIFY(!receiver->onGuiThread);
    QCOMPARE(lon.polls(), (QList<unsigned short>{0x1275, 0x1675}));
    QCOMPARE(lon.records(LonSimulator::Record::Delivery).size(), 1);

    // Without automatic answers nothing comes back.
    lon.setAutoAnswer(false);
    lon.pollNV(0x1275);
    QVERIFY(lon.waitUntilIdle(100));
    QCOMPARE(receiver->received().size(), 1);
}

void tst_Simulator::writesLandInMemoryUnlessTheyFail()
{
    LonSimulator lon;
    lon.setMemory(0x1275, QByteArray::fromHex("01020304"));
    QVERIFY(lon.sendNV(0x1274, NVData(QByteArray::fromHex("0a0b0c0d"))));
    QCOMPARE(lon.memory(0x1275), QByteArray::fromHex("0a0b0c0d"));
    QVERIFY(lon.sendNV(0x0381, NVData(QByteArray::fromHex("010203040506"))));
    QCOMPARE(lon.memory(0x0382), QByteArray::fromHex("010203040506"));
    QVERIFY(lon.sendNV(0x1478, NVData(QByteArray::fromHex("0001"))));
    QCOMPARE(lon.memory(0x1479), QByteArray::fromHex("0001"));

    LonSimulator::Faults faults;
    faults.failWrites = true;
    lon.setFaults(faults);
    QVERIFY(!lon.sendNV(0x1274, NVData(QByteArray::fromHex("ffffffff"))));
    QCOMPARE(lon.memory(0x1275), QByteArray::fromHex("0a0b0c0d"));
    QCOMPARE(lon.records(LonSimulator::Record::Send).last().flag, false);
}

void tst_Simulator::faults_data()
{
    QTest::addColumn<double>("loss");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<int>("expected");

    QTest::newRow("clean") << 0.0 << 0.0 << 20;
    QTest::newRow("all-lost") << 1.0 << 0.0 << 0;
    QTest::newRow("all-twice") << 0.0 << 1.0 << 40;
}

void tst_Simulator::faults()
{
    QFETCH(double, loss);
    QFETCH(double, duplicate);
    QFETCH(int, expected);

    LonSimulator lon;
    QSharedPointer<Receiver> receiver(new Receiver);
    lon.registerEvent(0x1B75, receiver);
    lon.setMemory(0x1B75, QByteArray(6, '\1'));
    LonSimulator::Faults faults;
    faults.lossRate = loss;
    faults.duplicateRate = duplicate;
    faults.jitterMs = 3;
    lon.setFaults(faults);
    lon.setAutoAnswer(true);
    for (int i = 0; i < 20; ++i)
        lon.pollNV(0x1B75);
    QVERIFY(lon.waitUntilIdle(5000));
    QCOMPARE(lon.pendingAnswers(), 0);
    QCOMPARE(receiver->received().size(), expected);
}

void tst_Simulator::reorderedAnswersComeBehindLaterOnes()
{
    LonSimulator lon;
    QSharedPointer<Receiver> receiver(new Receiver);
    lon.registerEvent(0x1275, receiver);
    lon.registerEvent(0x1675, receiver);
    lon.setMemory(0x1275, QByteArray(4, '\1'));
    lon.setMemory(0x1675, QByteArray(4, '\2'));
    LonSimulator::Faults faults;
    faults.latencyMs = 5;
    faults.reorderRate = 1.0;
    lon.setFaults(faults);
    lon.setAutoAnswer(true);
    lon.pollNV(0x1275);
    faults.reorderRate = 0;
    lon.setFaults(faults);
    lon.pollNV(0x1675);
    QVERIFY(lon.waitUntilIdle(5000));
    QCOMPARE(receiver->received(), (QList<unsigned short>{0x1675, 0x1275}));
}

void tst_Simulator::streamsOnlyWhileModuleStatusIsOn()
{
    InstrumentProfile const* profile = InstrumentProfile::find(QStringLiteral("nt3-hvdc-hw7"));
    QVERIFY(profile);
    LonSimulator lon;
    lon.applyProfile(*profile);
    QSharedPointer<Receiver> receiver(new Receiver);
    lon.registerEvent(0x2361, receiver);
    lon.registerEvent(0x2392, receiver);
    lon.setStreamingInterval(10);
    lon.setAutoAnswer(true);
    QTest::qWait(60);
    QCOMPARE(receiver->received().size(), 0);

    lon.enableModuleStatus(receiver, true);
    QTRY_VERIFY(receiver->received().size() >= 4);
    QVERIFY(receiver->received().contains(0x2392));
    lon.enableModuleStatus(receiver, false);
    QTest::qWait(30);
    int const stopped = receiver->received().size();
    QTest::qWait(60);
    QCOMPARE(receiver->received().size(), stopped);
}

void tst_Simulator::memorySurvivesInAFile()
{
    QTemporaryDir dir;
    QString const path = dir.filePath(QStringLiteral("instrument.json"));
    {
        LonSimulator lon;
        lon.applyProfile(*InstrumentProfile::find(QStringLiteral("nt3-full")));
        QVERIFY(lon.sendNV(0x1274, NVData(QByteArray::fromHex("0a0b0c0d"))));
        QString error;
        QVERIFY2(lon.saveMemory(path, &error), qPrintable(error));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject const root = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(root.value(QStringLiteral("profile")).toString(), QStringLiteral("nt3-full"));
    QCOMPARE(root.value(QStringLiteral("variables")).toObject().value(QStringLiteral("0x1275")).toString(),
             QStringLiteral("0a0b0c0d"));

    LonSimulator restarted;
    restarted.applyProfile(*InstrumentProfile::find(QStringLiteral("nt3-full")));
    QString error;
    QVERIFY2(restarted.loadMemory(path, &error), qPrintable(error));
    QCOMPARE(restarted.memory(0x1275), QByteArray::fromHex("0a0b0c0d"));
    QCOMPARE(restarted.memory(0x1B75), InstrumentProfile::find(QStringLiteral("nt3-full"))->variables.value(0x1B75));
}

void tst_Simulator::badMemoryFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not-json") << QByteArray("{variables:");
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("bad-identifier") << QByteArray(R"({"variables":{"node18":"01"}})");
    QTest::newRow("identifier-too-large") << QByteArray(R"({"variables":{"0x12345":"01"}})");
    QTest::newRow("bad-hex") << QByteArray(R"({"variables":{"0x1275":"0g"}})");
    QTest::newRow("not-a-string") << QByteArray(R"({"variables":{"0x1275":12}})");
}

void tst_Simulator::badMemoryFilesAreRefused()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QString const path = dir.filePath(QStringLiteral("bad.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    LonSimulator lon;
    lon.setMemory(0x1275, QByteArray::fromHex("01"));
    QString error;
    QVERIFY(!lon.loadMemory(path, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(lon.memory(0x1275), QByteArray::fromHex("01"));
    QVERIFY(!lon.loadMemory(dir.filePath(QStringLiteral("missing.json")), &error));
}

void tst_Simulator::everyProfileSuitsTheModuleAndAnswersEveryPoll()
{
    QStringList names;
    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        names << profile.name;
        HostFixture host;
        profile.applyToHost();
        host.lon()->applyProfile(profile);
        host.lon()->setAutoAnswer(true);
        host.stateMachine()->setState(2);
        QScopedPointer<LonCalibration> module(new LonCalibration());
        QVERIFY2(module->isConfigurationSuitable(), qPrintable(profile.name));
        QVERIFY(module->initialize(&host.registry));
        module->startModule();
        QVERIFY(host.lon()->waitUntilIdle(5000));
        QVERIFY2(!module->nodeTable().isEmpty(), qPrintable(profile.name));

        // Every variable polled at start is one the instrument has.
        QList<unsigned short> unanswered;
        for (unsigned short poll : host.lon()->polls()) {
            if (host.lon()->memory(poll).isEmpty())
                unanswered << poll;
        }
        QVERIFY2(unanswered.isEmpty(), qPrintable(profile.name + QStringLiteral(": no answer for ") +
                                                  QString::number(unanswered.value(0), 16)));
        module->shutdownModule();
    }
    QCOMPARE(names.first(), InstrumentProfile::defaultName());
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
}

QTEST_MAIN(tst_Simulator)
#include "tst_simulator.moc"
