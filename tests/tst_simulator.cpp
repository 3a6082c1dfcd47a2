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

#include <sys/stat.h>

namespace {

QString const kProfile = QStringLiteral("nt3-full");

InstrumentProfile const& fullProfile()
{
    return *InstrumentProfile::find(kProfile);
}

// Every variable of the profile as the simulator holds it.
QMap<unsigned short, QByteArray> memoryOf(LonSimulator const& lon)
{
    QMap<unsigned short, QByteArray> memory;
    for (unsigned short nvId : fullProfile().variables.keys())
        memory.insert(nvId, lon.memory(nvId));
    return memory;
}

bool writeFile(QString const& path, QByteArray const& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString describe(LonSimulator::Faults const& faults)
{
    QStringList shortAnswers;
    for (unsigned short nvId : faults.shortAnswers)
        shortAnswers << QString::number(nvId, 16);
    return QStringLiteral("latency=%1 jitter=%2 loss=%3 duplicate=%4 reorder=%5 failwrites=%6 seed=%7 short=%8 by %9")
        .arg(QString::number(faults.latencyMs), QString::number(faults.jitterMs), QString::number(faults.lossRate),
            QString::number(faults.duplicateRate), QString::number(faults.reorderRate),
            QString::number(faults.failWrites), QString::number(faults.seed), shortAnswers.join(QLatin1Char('+')),
            QString::number(faults.shortBy));
}

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
    void pollOutcomesAccountForEveryAnswer_data();
    void pollOutcomesAccountForEveryAnswer();
    void answersOwedWhenAnsweringStopsCountAsUnanswered();
    void faultTexts_data();
    void faultTexts();
    void memorySurvivesInAFile();
    void badMemoryFilesAreRefused_data();
    void badMemoryFilesAreRefused();
    void savingNeverLeavesAFileThatCannotBeRead_data();
    void savingNeverLeavesAFileThatCannotBeRead();
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

void tst_Simulator::pollOutcomesAccountForEveryAnswer_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<int>("nvId");
    QTest::addColumn<QByteArray>("memory"); // empty: the profile's
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("deliveries");

    // The PSU record of nt3-full has 6 bytes.
    QTest::newRow("whole") << QString() << 0x127B << QByteArray() << int(LonSimulator::PollOutcome::Answered) << 6 << 1;
    QTest::newRow("twice-counts-once") << QStringLiteral("duplicate=1") << 0x127B << QByteArray()
                                       << int(LonSimulator::PollOutcome::Answered) << 6 << 2;
    QTest::newRow("lost") << QStringLiteral("loss=1") << 0x127B << QByteArray()
                          << int(LonSimulator::PollOutcome::Unanswered) << 0 << 0;
    QTest::newRow("cut-short") << QStringLiteral("short=0x127B,shortby=2") << 0x127B << QByteArray()
                               << int(LonSimulator::PollOutcome::Short) << 4 << 1;
    QTest::newRow("short-elsewhere") << QStringLiteral("short=0x1375") << 0x127B << QByteArray()
                                     << int(LonSimulator::PollOutcome::Answered) << 6 << 1;
    QTest::newRow("memory-shorter-than-record")
        << QString() << 0x127B << QByteArray::fromHex("01020304") << int(LonSimulator::PollOutcome::Short) << 4 << 1;
    QTest::newRow("no-such-variable") << QString() << 0x1677 << QByteArray()
                                      << int(LonSimulator::PollOutcome::Unanswered) << 0 << 0;
}

void tst_Simulator::pollOutcomesAccountForEveryAnswer()
{
    QFETCH(QString, faults);
    QFETCH(int, nvId);
    QFETCH(QByteArray, memory);
    QFETCH(int, kind);
    QFETCH(int, bytes);
    QFETCH(int, deliveries);

    LonSimulator lon;
    lon.applyProfile(fullProfile());
    if (!memory.isEmpty())
        lon.setMemory(static_cast<unsigned short>(nvId), memory);
    LonSimulator::Faults parsed;
    QString error;
    QVERIFY2(LonSimulator::Faults::parse(faults, &parsed, &error), qPrintable(error));
    lon.setFaults(parsed);
    QSharedPointer<Receiver> receiver(new Receiver);
    lon.registerEvent(static_cast<unsigned short>(nvId), receiver);
    lon.setAutoAnswer(true);

    lon.pollNV(static_cast<unsigned short>(nvId));
    QVERIFY(lon.waitUntilIdle(5000));
    QCOMPARE(receiver->received().size(), deliveries);
    for (QByteArray const& payload : qAsConst(receiver->payloads))
        QCOMPARE(payload.size(), bytes);

    QList<LonSimulator::PollOutcome> const outcomes = lon.pollOutcomes();
    QCOMPARE(outcomes.size(), 1);
    QCOMPARE(outcomes.first().nvId, static_cast<unsigned short>(nvId));
    QCOMPARE(int(outcomes.first().kind), kind);
    QCOMPARE(outcomes.first().bytes, bytes);
    QCOMPARE(outcomes.first().expected, fullProfile().variables.value(static_cast<unsigned short>(nvId)).size());
    QCOMPARE(lon.missedPolls().size(), kind == LonSimulator::PollOutcome::Answered ? 0 : 1);

    lon.clearPollOutcomes();
    QVERIFY(lon.pollOutcomes().isEmpty());
    QVERIFY(lon.missedPolls().isEmpty());
}

void tst_Simulator::answersOwedWhenAnsweringStopsCountAsUnanswered()
{
    LonSimulator lon;
    lon.applyProfile(fullProfile());
    LonSimulator::Faults faults;
    faults.latencyMs = 60000;
    lon.setFaults(faults);
    lon.setAutoAnswer(true);
    lon.pollNV(0x127B);
    QCOMPARE(lon.pollOutcomes().first().kind, LonSimulator::PollOutcome::Pending);
    QVERIFY(lon.missedPolls().isEmpty());

    lon.setAutoAnswer(false);
    QCOMPARE(lon.pendingAnswers(), 0);
    QCOMPARE(lon.missedPolls().size(), 1);
    QCOMPARE(lon.missedPolls().first().kind, LonSimulator::PollOutcome::Unanswered);

    // Without automatic answers a test answers; there is nothing to account for.
    lon.clearRecords();
    lon.pollNV(0x127B);
    QVERIFY(lon.pollOutcomes().isEmpty());
}

void tst_Simulator::faultTexts_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("expected"); // the faults, or the start of the error

    QTest::newRow("empty") << QString() << describe(LonSimulator::Faults());
    LonSimulator::Faults example;
    example.lossRate = 1;
    example.shortAnswers = {0x1375};
    example.failWrites = true;
    example.latencyMs = 5;
    example.seed = 3;
    QTest::newRow("example") << QStringLiteral("loss=1,short=0x1375,failwrites,latency=5,seed=3") << describe(example);
    LonSimulator::Faults spaced;
    spaced.lossRate = 0.5;
    spaced.duplicateRate = 0.25;
    spaced.reorderRate = 1;
    spaced.jitterMs = 4;
    spaced.shortAnswers = {0x1375, 0x1275};
    spaced.shortBy = 3;
    spaced.seed = 0xFFFFFFFF;
    QTest::newRow("spaces-repeats-hex") << QStringLiteral(
        " loss = 0.5, duplicate=0.25 ,reorder=1,jitter=4,short=0x1375,short=0x1275,short=0x1375,"
        "shortby=3,seed=0xFFFFFFFF ") << describe(spaced);

    QTest::newRow("unknown") << QStringLiteral("lose=1") << QStringLiteral("unknown fault 'lose=1'");
    QTest::newRow("rate-above-one") << QStringLiteral("loss=2") << QStringLiteral("fault 'loss=2': expected a rate");
    QTest::newRow("rate-not-a-number") << QStringLiteral("loss=nan") << QStringLiteral("fault 'loss=nan': expected");
    QTest::newRow("value-missing") << QStringLiteral("loss") << QStringLiteral("fault 'loss': expected");
    QTest::newRow("value-empty") << QStringLiteral("latency=") << QStringLiteral("fault 'latency=': expected");
    QTest::newRow("negative-latency") << QStringLiteral("latency=-1") << QStringLiteral("fault 'latency=-1'");
    QTest::newRow("latency-too-long") << QStringLiteral("latency=60001") << QStringLiteral("fault 'latency=60001'");
    QTest::newRow("seed-too-large") << QStringLiteral("seed=4294967296") << QStringLiteral("fault 'seed=4294967296'");
    QTest::newRow("identifier-too-large") << QStringLiteral("short=0x10000") << QStringLiteral("fault 'short=0x10000'");
    QTest::newRow("identifier-not-hex") << QStringLiteral("short=0x12G4") << QStringLiteral("fault 'short=0x12G4'");
    QTest::newRow("cut-by-nothing") << QStringLiteral("shortby=0") << QStringLiteral("fault 'shortby=0'");
    QTest::newRow("flag-with-value") << QStringLiteral("failwrites=1")
                                     << QStringLiteral("fault 'failwrites=1' takes no value");
    QTest::newRow("empty-item") << QStringLiteral("loss=1,,seed=3") << QStringLiteral("empty fault item");
    QTest::newRow("bad-after-good") << QStringLiteral("loss=1,seed=x") << QStringLiteral("fault 'seed=x'");
}

void tst_Simulator::faultTexts()
{
    QFETCH(QString, list);
    QFETCH(QString, expected);

    LonSimulator::Faults before;
    before.seed = 77;
    LonSimulator::Faults faults = before;
    QString error;
    bool const parsed = LonSimulator::Faults::parse(list, &faults, &error);
    if (expected.startsWith(QLatin1String("latency="))) {
        QVERIFY2(parsed, qPrintable(error));
        QCOMPARE(describe(faults), expected);
    } else {
        QVERIFY(!parsed);
        QVERIFY2(error.startsWith(expected), qPrintable(error));
        QCOMPARE(describe(faults), describe(before));
    }
}

void tst_Simulator::memorySurvivesInAFile()
{
    QTemporaryDir dir;
    QString const path = dir.filePath(QStringLiteral("instrument.json"));
    {
        LonSimulator lon;
        lon.applyProfile(fullProfile());
        QVERIFY(lon.sendNV(0x127A, NVData(QByteArray::fromHex("0a0b0c0d0e0f"))));
        // A command to a service variable is no node memory and must not spoil the file.
        QVERIFY(lon.sendNV(0x1163, NVData(QByteArray::fromHex("01"))));
        QString error;
        QVERIFY2(lon.saveMemory(path, &error), qPrintable(error));
    }
    QJsonObject const root = QJsonDocument::fromJson(readFile(path)).object();
    QCOMPARE(root.keys(), (QStringList{QStringLiteral("profile"), QStringLiteral("variables")}));
    QCOMPARE(root.value(QStringLiteral("profile")).toString(), kProfile);
    QCOMPARE(root.value(QStringLiteral("variables")).toObject().value(QStringLiteral("0x127B")).toString(),
        QStringLiteral("0a0b0c0d0e0f"));

    for (QString const& expected : {kProfile, QString()}) {
        LonSimulator restarted;
        restarted.applyProfile(fullProfile());
        QString error;
        QVERIFY2(restarted.loadMemory(path, expected, &error), qPrintable(error));
        QCOMPARE(restarted.memory(0x127B), QByteArray::fromHex("0a0b0c0d0e0f"));
        QCOMPARE(restarted.memory(0x1B75), fullProfile().variables.value(0x1B75));
    }
    // A simulator without a profile takes the memory of the known profile the file names.
    LonSimulator bare;
    QVERIFY(bare.loadMemory(path));
    QCOMPARE(bare.memory(0x127B), QByteArray::fromHex("0a0b0c0d0e0f"));

    // Another instrument never takes it, whichever profile the caller expects.
    LonSimulator other;
    other.applyProfile(*InstrumentProfile::find(QStringLiteral("nt0")));
    QString error;
    QVERIFY(!other.loadMemory(path, kProfile, &error));
    QVERIFY2(error.contains(QLatin1String("cannot go into instrument 'nt0'")), qPrintable(error));
    QVERIFY(!other.loadMemory(path, &error));
    QVERIFY2(error.contains(QLatin1String("belongs to profile 'nt3-full', not 'nt0'")), qPrintable(error));
    QCOMPARE(other.memory(0x1275), InstrumentProfile::find(QStringLiteral("nt0"))->variables.value(0x1275));
    QVERIFY(writeFile(path, R"({"profile": "nt99", "variables": {}})"));
    QVERIFY(!bare.loadMemory(path, &error));
    QVERIFY2(error.contains(QLatin1String("no profile 'nt99'")), qPrintable(error));

    // A file of an earlier version also holds the commands the module sent; they are passed over.
    QString const olderPath = dir.filePath(QStringLiteral("older.json"));
    QVERIFY(writeFile(olderPath, R"({"profile": "nt3-full", "variables": {"0x127B": "0102030405ff", "0x1171": "01"}})"));
    {
        LonSimulator older;
        older.applyProfile(fullProfile());
        QString error;
        QVERIFY2(older.loadMemory(olderPath, kProfile, &error), qPrintable(error));
        QCOMPARE(older.memory(0x127B), QByteArray::fromHex("0102030405ff"));
        QVERIFY2(older.saveMemory(olderPath, &error), qPrintable(error));
    }
    QVERIFY(!readFile(olderPath).contains("0x1171"));
}

void tst_Simulator::badMemoryFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem");

    auto const memory = [](char const* variables) {
        return QByteArray(R"({"profile": "nt3-full", "variables": )") + variables + '}';
    };
    // Rows that also change the PSU record first show that nothing is half loaded.
    QTest::newRow("not-json") << QByteArray("{variables:") << QStringLiteral("is not a node memory file");
    QTest::newRow("array") << QByteArray("[1,2]") << QStringLiteral("is not a node memory file");
    QTest::newRow("empty-object") << QByteArray("{}") << QStringLiteral(": no \"profile\" name");
    QTest::newRow("misspelled-variables")
        << QByteArray(R"({"profile": "nt3-full", "varaibles": {}})") << QStringLiteral(": unknown entry \"varaibles\"");
    QTest::newRow("unknown-entry") << QByteArray(R"({"profile": "nt3-full", "variables": {}, "note": 1})")
                                   << QStringLiteral(": unknown entry \"note\"");
    QTest::newRow("no-variables") << QByteArray(R"({"profile": "nt3-full"})")
                                  << QStringLiteral(": no \"variables\" object");
    QTest::newRow("variables-number") << memory("5") << QStringLiteral(": no \"variables\" object");
    QTest::newRow("variables-array") << memory(R"(["0x127B"])") << QStringLiteral(": no \"variables\" object");
    QTest::newRow("no-profile") << QByteArray(R"({"variables": {}})") << QStringLiteral(": no \"profile\" name");
    QTest::newRow("empty-profile") << QByteArray(R"({"profile": "", "variables": {}})")
                                   << QStringLiteral(": no \"profile\" name");
    QTest::newRow("profile-object") << QByteArray(R"({"profile": {}, "variables": {}})")
                                    << QStringLiteral(": no \"profile\" name");
    QTest::newRow("other-profile") << QByteArray(R"({"profile": "nt0", "variables": {"0x1275": "01020304"}})")
                                   << QStringLiteral(": belongs to profile 'nt0', not 'nt3-full'");
    QTest::newRow("bad-identifier") << memory(R"({"0x12G4": "01"})")
                                    << QStringLiteral(": variable 0x12G4 is not named 0x and four hex digits");
    QTest::newRow("identifier-too-long") << memory(R"({"0x12345": "01"})") << QStringLiteral(": variable 0x12345 is");
    QTest::newRow("identifier-decimal") << memory(R"({"4731": "01"})") << QStringLiteral(": variable 4731 is");
    QTest::newRow("identifier-twice") << memory(R"({"0x1b75": "010203040506", "0x1B75": "010203040506"})")
                                      << QStringLiteral(": variable 0x1B75 appears twice");
    QTest::newRow("odd-hex") << memory(R"({"0x127B": "0a0b0c0d0e0f", "0x1375": "0a0"})")
                             << QStringLiteral(": variable 0x1375 is not a string of hex byte pairs");
    QTest::newRow("not-hex") << memory(R"({"0x127B": "0g0b0c0d0e0f"})")
                             << QStringLiteral(": variable 0x127B is not a string of hex byte pairs");
    QTest::newRow("not-a-string") << memory(R"({"0x127B": 12})")
                                  << QStringLiteral(": variable 0x127B is not a string of hex byte pairs");
    QTest::newRow("oversized") << memory(QByteArray(R"({"0x127B": ")" + QByteArray(512, 'a') + "\"}").constData())
                               << QStringLiteral(": variable 0x127B holds 256 bytes, more than 255");
    QTest::newRow("wrong-length") << memory(R"({"0x127B": "0a0b0c0d"})")
                                  << QStringLiteral(": variable 0x127B holds 4 bytes, profile 'nt3-full' has 6");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("cannot read");
    QTest::newRow("directory") << QByteArray("@directory") << QStringLiteral(" is not a regular file");
    QTest::newRow("fifo") << QByteArray("@fifo") << QStringLiteral(" is not a regular file");
    QTest::newRow("device") << QByteArray("@device") << QStringLiteral(" is not a regular file");
}

void tst_Simulator::badMemoryFilesAreRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("instrument.json"));
    if (content == "@directory") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("instrument.json")));
    } else if (content == "@fifo") {
        // Opening a FIFO for reading would block until a writer comes.
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (content == "@device") {
        path = QStringLiteral("/dev/null");
    } else if (!content.isEmpty()) {
        QVERIFY(writeFile(path, content));
    }

    LonSimulator lon;
    lon.applyProfile(fullProfile());
    lon.setMemory(0x127B, QByteArray::fromHex("010203040506"));
    QMap<unsigned short, QByteArray> const before = memoryOf(lon);
    QString error;
    QVERIFY(!lon.loadMemory(path, kProfile, &error));
    QVERIFY2(error.startsWith(path) || error.startsWith(QStringLiteral("cannot read ") + path), qPrintable(error));
    QVERIFY2(error.contains(problem), qPrintable(error));
    QCOMPARE(memoryOf(lon), before);
    QCOMPARE(lon.profileName(), kProfile);
}

void tst_Simulator::savingNeverLeavesAFileThatCannotBeRead_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("problem");

    // The file layer words the cause; the file must be named.
    QTest::newRow("onto-a-directory") << QStringLiteral("directory") << QString();
    QTest::newRow("without-profile") << QStringLiteral("no-profile") << QStringLiteral("has no profile");
    QTest::newRow("record-of-another-length")
        << QStringLiteral("length") << QStringLiteral("variable 0x127B holds 4 bytes, profile 'nt3-full' has 6");
}

void tst_Simulator::savingNeverLeavesAFileThatCannotBeRead()
{
    QFETCH(QString, fault);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    QString const path = dir.filePath(QStringLiteral("instrument.json"));
    QByteArray const old("the user's old file");
    if (fault == QLatin1String("directory")) {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("instrument.json/inside")));
    } else {
        QVERIFY(writeFile(path, old));
    }

    LonSimulator lon;
    if (fault != QLatin1String("no-profile"))
        lon.applyProfile(fullProfile());
    if (fault == QLatin1String("length"))
        lon.setMemory(0x127B, QByteArray::fromHex("01020304"));
    QString error;
    QVERIFY(!lon.saveMemory(path, &error));
    QVERIFY2(error.contains(path) && error.contains(problem), qPrintable(error));

    if (fault == QLatin1String("directory"))
        QVERIFY(QFileInfo(path + QStringLiteral("/inside")).isDir());
    else
        QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList{QStringLiteral("instrument.json")});
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
