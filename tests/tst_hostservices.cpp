// The host's small services: configuration store, service log, parameters,
// state machine, module registry, print and system services, and the files
// they write: complete or absent, and every failure reported.
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

#include "host/AtomicFile.h"
#include "host/ConfigStore.h"
#include "host/Form.h"
#include "host/IModuleControl.h"
#include "host/IPrintResponse.h"
#include "host/LoggingCtrl.h"
#include "host/ModuleRegistry.h"
#include "host/ParameterReceiver.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateEvent.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"

namespace {

struct Change
{
    int parameter;
    long long value;
    bool operator==(Change const& other) const { return parameter == other.parameter && value == other.value; }
};

class RecordingReceiver : public ParameterReceiver
{
public:
    QList<Change> changes;
    QList<bool> serviceModes;
    std::function<void()> onChange;

    void parameterChanged(Parameters parameter, long long value) override
    {
        changes.append({parameter, value});
        ParameterReceiver::parameterChanged(parameter, value);
        if (onChange)
            onChange();
    }
    void enabledService(bool enabled) override { serviceModes.append(enabled); }
};

class RecordingStateEvent : public StateEvent
{
public:
    QList<int> changes;
    void changedState(NVT_FU_STATE state) override
    {
        StateEvent::changedState(state);
        changes.append(state);
    }
};

class RecordingResponse : public IPrintResponse
{
public:
    explicit RecordingResponse(IPrint const* print) : m_print(print) {}

    Form form;
    QStringList formsAsked;
    QStringList finished;
    QList<int> resultsSeen;

    bool completeProtocol(IDocument*, QString const&) override { return true; }
    void printFinished(QString const& name) override
    {
        finished.append(name);
        resultsSeen.append(m_print->lastPrintResult());
    }
    Form createForm(QString const& name) override
    {
        formsAsked.append(name);
        return form;
    }

private:
    IPrint const* m_print;
};

QByteArray readFile(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A full disk as the kernel shows it: a write that would grow a file past
// `bytes` fails (EFBIG, where a full disk gives ENOSPC). SIGXFSZ is ignored
// meanwhile so that the process lives to see the failure.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_active = bytes >= 0;
        if (!m_active)
            return;
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        if (!m_active)
            return;
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(FileSizeLimit const&) = delete;
    FileSizeLimit& operator=(FileSizeLimit const&) = delete;

private:
    bool m_active = false;
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

// Everything under a folder: files with their bytes, folders and other kinds
// by name. Two equal snapshots mean nothing was changed, added or left behind.
QMap<QString, QByteArray> snapshot(QString const& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString const path = it.next();
        QFileInfo const info = it.fileInfo();
        QByteArray const contents = info.isDir() ? QByteArray("<folder>") : info.isFile() ? readFile(path) : "<other>";
        entries.insert(QDir(folder).relativeFilePath(path), contents);
    }
    return entries;
}

enum class Subject
{
    AtomicWrite,
    AtomicLargeWrite,
    ConfigSave,
    LogAppend,
    PdfPrint
};

enum class Fault
{
    DiskFull,
    TargetIsFolder,
    FolderIsFile,
    MissingFolder,
    TargetIsFifo
};

struct SubjectRow
{
    Subject subject;
    char const* name;
    char const* extension;
    QByteArray oldContents; // what the file holds before the fault
};

SubjectRow const kSubjects[] = {
    {Subject::AtomicWrite, "atomic file", ".bin", "old contents\n"},
    {Subject::AtomicLargeWrite, "atomic file, large write", ".bin", "old contents\n"},
    {Subject::ConfigSave, "config save", ".ini", "[Calibration]\nInternalG\\IGC80KV=1200\n"},
    {Subject::LogAppend, "log append", ".log", "2024-01-02 03:04:05.678 Calibration on\n"},
    {Subject::PdfPrint, "pdf print", ".pdf", "%PDF-1.4 an older print\n"},
};

SubjectRow const& subjectRow(Subject subject)
{
    for (SubjectRow const& row : kSubjects) {
        if (row.subject == subject)
            return row;
    }
    return kSubjects[0];
}

Form sampleForm()
{
    Form form;
    form.addLabel(FormLabel(QStringLiteral("Calibration HV Unit"), Point(20, 10), Size(100, 10), true, 12,
                            FormLabel::AlignLeftTop));
    return form;
}

// Dark pixels of a rendered page inside a rectangle given in millimetres.
int inkIn(QImage const& page, double dotsPerMm, QRectF const& mm)
{
    QRect const area = QRectF(mm.x() * dotsPerMm, mm.y() * dotsPerMm, mm.width() * dotsPerMm, mm.height() * dotsPerMm)
                           .toAlignedRect()
                           .intersected(page.rect());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(page.pixel(x, y)) < 128)
                ++ink;
        }
    }
    return ink;
}

} // namespace

// Target of the state machine's hooks, named the way a module names its own.
class HookTarget : public QObject
{
    Q_OBJECT

public:
    QVariantList prepared;
    QVariantList requested;

    Q_INVOKABLE void Prepared(QVariant oldState) { prepared.append(oldState); }
    Q_INVOKABLE void Requested(QVariant oldState) { requested.append(oldState); }
};

class tst_HostServices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Configuration store
    void configWritesSurviveReopen();
    void configFailedReadLeavesValue_data();
    void configFailedReadLeavesValue();
    void configUnavailable();
    void configWritesTextsQSettingsReadsBack_data();
    void configWritesTextsQSettingsReadsBack();
    void configReadsWhatQSettingsReads_data();
    void configReadsWhatQSettingsReads();
    void configLoadFailureReportedAndFileKept_data();
    void configLoadFailureReportedAndFileKept();
    void configFailedSaveKeepsChangesForTheNextSave();
    void configSaveWithoutChangesWritesNothing();
    void configSaveMakesMissingFolder();

    // Service log
    void logAppendsLineAndTail();
    void logTailKeepsLatest();
    void logMakesFolderAndRecoversAfterFailure();
    void logWithoutFileIsWritable();

    // Files written whole or not at all, and every failure reported
    void faultKeepsOldFileAndIsReported_data();
    void faultKeepsOldFileAndIsReported();
    void atomicFileReplacesWholeAndLeavesNothingElse();
    void atomicFileFailureRemovesTemporaryAtOnce();
    void printReplacesOlderPrintWhole();

    // Parameters
    void parameterReachesOnlyActiveRegistered_data();
    void parameterReachesOnlyActiveRegistered();
    void parameterServiceModeSwitch();
    void parameterReadsWithoutService();
    void parameterReceiverMayDropAnotherWhileTold();
    void parameterDestructionOrder_data();
    void parameterDestructionOrder();

    // State machine
    void stateChangesReachEveryRegisteredEvent();
    void stateReachedHookQueuedWithOldState();
    void stateRequestedHook();
    void stateHooksRemovedOrTargetGone();
    void stateDestructionOrder_data();
    void stateDestructionOrder();

    // Module registry
    void registryRules_data();
    void registryRules();

    // Print and system services
    void printRendersPdfAndFinishes();
    void printPlacesLabelsInMillimetres();
    void printedTextIsSearchable();
    void printForcedResultSkipsRendering();
    void printWriteFailureReported();
    void printKeepsFileInsideOutputFolder();
    void systemCopiesToStick();
    void systemFindsThePrintUnderItsDocumentName();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModuleRegistry> m_registry;
    QPointer<ParameterService> m_parameters;
    QPointer<StateMachine> m_machine;
};

void tst_HostServices::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    ConfigStore::setAvailable(true);
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("config.ini")));
    getLogger()->setLogFile(QString());
    getLogger()->clearTail();

    m_registry.reset(new ModuleRegistry);
    m_parameters = new ParameterService;
    m_machine = new StateMachine;
    QVERIFY(m_registry->registerModule("IParameterControl", m_parameters));
    QVERIFY(m_registry->registerModule("IStatemachine", m_machine));
}

void tst_HostServices::cleanup()
{
    ConfigStore::setFailureHandler(nullptr);
    delete m_parameters.data();
    delete m_machine.data();
    m_registry.reset();
    ConfigStore::setAvailable(true);
    ConfigStore::setFilePath(QString());
    getLogger()->setLogFile(QString());
    m_dir.reset();
}

// ---- configuration store ---------------------------------------------------

void tst_HostServices::configWritesSurviveReopen()
{
    QString const path = ConfigStore::filePath();
    ConfigStore* config = getConfig();
    QVERIFY(config != nullptr);
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), -1234);
    config->writeString(QStringLiteral("/Software/Authentication/SerialNumber"), QStringLiteral("SN 4711, rev. B"));
    config->save();
    QVERIFY(readFile(path).contains("IGC80KV=-1234"));

    // Another file, then back: the values come from the file, not from memory.
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    int value = 0;
    QVERIFY(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value) != 0);
    QString serial = QStringLiteral("kept");
    QVERIFY(config->readString(QStringLiteral("/Software/Authentication/SerialNumber"), &serial) != 0);
    QCOMPARE(serial, QStringLiteral("kept"));
    ConfigStore::setFilePath(path);

    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
    QCOMPARE(value, -1234);
    QCOMPARE(config->readString(QStringLiteral("/Software/Authentication/SerialNumber"), &serial), 0);
    QCOMPARE(serial, QStringLiteral("SN 4711, rev. B"));
}

void tst_HostServices::configFailedReadLeavesValue_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("nullTarget");

    QByteArray const file = "[Software]\nPSUMonitor\\TrafoCorrectionFactor=abc\nPSUMonitor\\Present=7\n";
    QTest::newRow("missing key") << file << QStringLiteral("/Software/PSUMonitor/Missing") << false;
    QTest::newRow("not a number") << file << QStringLiteral("/Software/PSUMonitor/TrafoCorrectionFactor") << false;
    QTest::newRow("empty key") << file << QString() << false;
    QTest::newRow("null target") << file << QStringLiteral("/Software/PSUMonitor/Present") << true;
}

void tst_HostServices::configFailedReadLeavesValue()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(bool, nullTarget);

    QString const path = m_dir->filePath(QStringLiteral("handwritten.ini"));
    QVERIFY(writeFile(path, file));
    ConfigStore::setFilePath(path);

    int value = 100;
    QVERIFY(getConfig()->readInt(key, nullTarget ? nullptr : &value) != 0);
    QCOMPARE(value, 100);
    // The readable neighbour shows the file was read at all.
    QCOMPARE(getConfig()->readInt(QStringLiteral("/Software/PSUMonitor/Present"), &value), 0);
    QCOMPARE(value, 7);
}

void tst_HostServices::configUnavailable()
{
    ConfigStore::setAvailable(false);
    QVERIFY(getConfig() == nullptr);
    ConfigStore::setAvailable(true);
    QCOMPARE(getConfig(), ConfigStore::instance());
}

// What the store writes, QSettings reads back unchanged, and so does the store.
void tst_HostServices::configWritesTextsQSettingsReadsBack_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QString const serial = QStringLiteral("/Software/Authentication/SerialNumber");
    QTest::newRow("plain word") << serial << QStringLiteral("SN4711");
    QTest::newRow("comma and spaces") << serial << QStringLiteral("SN 4711, rev. B");
    QTest::newRow("empty") << serial << QString();
    QTest::newRow("leading and trailing blanks") << serial << QStringLiteral("  padded\t ");
    QTest::newRow("comment and equals signs") << serial << QStringLiteral("a;b=c#d");
    QTest::newRow("quotes and backslashes") << serial << QStringLiteral("say \"hi\" C:\\path\\");
    QTest::newRow("leading at sign") << serial << QStringLiteral("@Variant(x)");
    QTest::newRow("two at signs") << serial << QStringLiteral("@@");
    QTest::newRow("line breaks and tabs") << serial << QStringLiteral("one\ntwo\r\nthree\tfour");
    QTest::newRow("non-ASCII") << serial << QStringLiteral("5 MΩ, Prüfung, 測定");
    QTest::newRow("hex digit after an escape") << serial << QStringLiteral("\x01" "abc\xe9" "F0");
    QTest::newRow("character outside the BMP") << serial << QStringLiteral("\U0001F50C plug");
    QTest::newRow("NUL inside") << serial << QString::fromUtf16(u"a\u0000b", 3);
    QTest::newRow("top-level key") << QStringLiteral("/Standalone") << QStringLiteral("value");
    QTest::newRow("group named General") << QStringLiteral("/General/Key") << QStringLiteral("value");
    QTest::newRow("key with spaces and percent") << QStringLiteral("/A Group/50% key") << QStringLiteral("value");
    QTest::newRow("non-ASCII key") << QStringLiteral("/Einheit/Ω") << QStringLiteral("value");
    QTest::newRow("deep key, doubled slashes")
        << QStringLiteral("//Calibration//InternalG/IGC80KV/") << QStringLiteral("-1234");
}

void tst_HostServices::configWritesTextsQSettingsReadsBack()
{
    QFETCH(QString, key);
    QFETCH(QString, value);

    QString const path = ConfigStore::filePath();
    ConfigStore* config = getConfig();
    config->writeString(key, value);
    config->writeInt(QStringLiteral("/Calibration/Neighbour"), 7);
    config->save();
    QVERIFY2(!config->lastSaveFailed(), qPrintable(config->lastError()));

    QString const settingsKey = key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
    {
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(settings.status(), QSettings::NoError);
        QCOMPARE(settings.value(settingsKey).toString(), value);
        QCOMPARE(settings.value(QStringLiteral("Calibration/Neighbour")).toInt(), 7);
    }

    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    ConfigStore::setFilePath(path);
    QVERIFY(!config->loadFailed());
    QString read;
    QCOMPARE(config->readString(key, &read), 0);
    QCOMPARE(read, value);
}

// Files that QSettings wrote, or a person wrote by hand: the store hands out
// the text QSettings hands out, for every key QSettings finds.
void tst_HostServices::configReadsWhatQSettingsReads_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("comments and blanks")
        << QByteArray("; made by hand\n\n[Group]\n; a note\nkey = value ; trailing note\n  spaced  =  words here  \n");
    QTest::newRow("quotes and commas")
        << QByteArray("[a]\nlist=one, two , \"three, four\"\nquoted=\" padded \"\nempty=\nhalf=\"open\n");
    QTest::newRow("escapes")
        << QByteArray("[a]\nx=\"tab\\there\\nnew \\x3a9\\x42 \\101\\?\"\ny=back\\\\slash\nz=\\x\n");
    QTest::newRow("continued line") << QByteArray("[a]\nx=first\\\n second\ny=\"two\nlines\"\n");
    QTest::newRow("typed values")
        << QByteArray("[a]\nb=@ByteArray(raw bytes)\nd=@@at\ni=@Invalid()\ns=@String(text)\n");
    QTest::newRow("sections named General") << QByteArray("[General]\ntop=1\n[%General]\nsub=2\n[general]\nlow=3\n");
    QTest::newRow("escaped keys") << QByteArray("[A%20B]\nc%20d=1\nx\\y=2\n%U03A9=3\n%zz=4\n");
    QTest::newRow("keys before any section") << QByteArray("first=1\n[a]\nsecond=2\n");
    QTest::newRow("carriage returns") << QByteArray("[a]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[a]\nx=1\n");
    QTest::newRow("Latin-1 bytes") << QByteArray("[a]\nx=caf\xe9\n");
    QTest::newRow("repeated key and section") << QByteArray("[a]\nx=1\n[b]\ny=2\n[a]\nx=3\n");

    // A file as the previous store (QSettings itself) wrote it.
    QTemporaryDir dir;
    QString const path = dir.filePath(QStringLiteral("qsettings.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Calibration/InternalG/IGC80KV"), -1234);
        settings.setValue(QStringLiteral("Software/Authentication/SerialNumber"), QStringLiteral("SN 4711, rev. B"));
        settings.setValue(QStringLiteral("Software/Text"), QStringLiteral(" @odd; \"text\"\n5 MΩ\x01" "F"));
        settings.setValue(QStringLiteral("Software/List"), QStringList{QStringLiteral("a"), QStringLiteral("b, c")});
        settings.setValue(QStringLiteral("Software/Date"), QDate(2024, 2, 29));
        settings.setValue(QStringLiteral("Software/Bytes"), QByteArray("raw\x01"));
        settings.setValue(QStringLiteral("TopLevel"), 5);
    }
    QTest::newRow("written by QSettings") << readFile(path);
}

void tst_HostServices::configReadsWhatQSettingsReads()
{
    QFETCH(QByteArray, file);

    QString const path = m_dir->filePath(QStringLiteral("handwritten.ini"));
    QVERIFY(writeFile(path, file));
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.status(), QSettings::NoError);
    QStringList const keys = settings.allKeys();
    QVERIFY(!keys.isEmpty());

    ConfigStore::setFilePath(path);
    QVERIFY2(!getConfig()->loadFailed(), qPrintable(getConfig()->lastError()));
    for (QString const& key : keys) {
        QVariant const expected = settings.value(key);
        QString const text = expected.type() == QVariant::StringList ? expected.toStringList().join(QLatin1Char(','))
                                                                     : expected.toString();
        QString read = QStringLiteral("not read");
        QCOMPARE(getConfig()->readString(key, &read), 0);
        QCOMPARE(read, text);
    }
}

// A file that cannot be read is said to be so, the store starts empty and
// works in memory, and the file is kept for a person to rescue until it is
// moved away.
void tst_HostServices::configLoadFailureReportedAndFileKept_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("kind");

    QTest::newRow("cut short by a crash")
        << QByteArray("[Calibration]\nInternalG\\IGC80KV=1200\n") + QByteArray(4, '\0') << "file";
    QTest::newRow("section without bracket") << QByteArray("[Calibration\nInternalG\\IGC80KV=1200\n") << "file";
    QTest::newRow("line without equals sign")
        << QByteArray("[Calibration]\nInternalG\\IGC80KV=1200\nInternalG\\IG") << "file";
    QTest::newRow("a folder") << QByteArray() << "folder";
    QTest::newRow("a fifo") << QByteArray() << "fifo";
}

void tst_HostServices::configLoadFailureReportedAndFileKept()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, kind);

    QString const folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    QString const path = QDir(folder).filePath(QStringLiteral("config.ini"));
    if (kind == QLatin1String("file"))
        QVERIFY(writeFile(path, file));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    auto const before = snapshot(folder);
    QStringList reported;
    ConfigStore::setFailureHandler([&reported](QString const& message) { reported.append(message); });

    ConfigStore::setFilePath(path);
    ConfigStore* config = getConfig();
    QVERIFY(config->loadFailed());
    QCOMPARE(reported.size(), 1);
    QVERIFY2(reported.first().contains(path), qPrintable(reported.first()));
    QCOMPARE(config->lastError(), reported.first());

    int value = 0;
    QVERIFY(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value) != 0);
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
    QCOMPARE(value, 4711);

    config->save();
    QVERIFY(config->lastSaveFailed());
    QCOMPARE(reported.size(), 2);
    QVERIFY2(reported.last().contains(path), qPrintable(reported.last()));
    QCOMPARE(snapshot(folder), before);

    // Moved away, the next save writes a new file.
    QVERIFY(kind == QLatin1String("folder") ? QDir(path).removeRecursively() : QFile::remove(path));
    config->save();
    QVERIFY2(!config->lastSaveFailed(), qPrintable(config->lastError()));
    QVERIFY(!config->loadFailed());
    QVERIFY(config->lastError().isEmpty());
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    ConfigStore::setFilePath(path);
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
    QCOMPARE(value, 4711);
}

void tst_HostServices::configFailedSaveKeepsChangesForTheNextSave()
{
    QString const path = ConfigStore::filePath();
    QByteArray const old = subjectRow(Subject::ConfigSave).oldContents;
    QVERIFY(writeFile(path, old));
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    ConfigStore::setFilePath(path);
    QStringList reported;
    ConfigStore::setFailureHandler([&reported](QString const& message) { reported.append(message); });
    ConfigStore* config = getConfig();

    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
    {
        FileSizeLimit const full(8);
        config->save();
    }
    QVERIFY(config->lastSaveFailed());
    QVERIFY(config->hasUnsavedChanges());
    QCOMPARE(readFile(path), old);

    config->save();
    QVERIFY2(!config->lastSaveFailed(), qPrintable(config->lastError()));
    QVERIFY(!config->hasUnsavedChanges());
    QVERIFY(config->lastError().isEmpty());
    QCOMPARE(reported.size(), 1);
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    ConfigStore::setFilePath(path);
    int value = 0;
    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
    QCOMPARE(value, 4711);
}

// The module saves after every send; a value written again unchanged must
// not cost a write (here: one that could not even be made).
void tst_HostServices::configSaveWithoutChangesWritesNothing()
{
    ConfigStore* config = getConfig();
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
    config->save();
    QVERIFY(!config->lastSaveFailed());

    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
    QVERIFY(!config->hasUnsavedChanges());
    {
        FileSizeLimit const full(0);
        config->save();
    }
    QVERIFY(!config->lastSaveFailed());
}

void tst_HostServices::configSaveMakesMissingFolder()
{
    QString const path = m_dir->filePath(QStringLiteral("new/deeper/config.ini"));
    ConfigStore::setFilePath(path);
    getConfig()->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
    getConfig()->save();
    QVERIFY2(!getConfig()->lastSaveFailed(), qPrintable(getConfig()->lastError()));
    QVERIFY(readFile(path).contains("IGC80KV=4711"));
}

// ---- service log -----------------------------------------------------------

void tst_HostServices::logAppendsLineAndTail()
{
    QString const path = m_dir->filePath(QStringLiteral("log/service.log"));
    LoggingCtrl* logger = getLogger();
    logger->setLogFile(path);
    QSignalSpy logged(logger, &LoggingCtrl::serviceLogged);

    logger->logService("Calibrate PSU");
    logger->logService(nullptr);
    logger->logService("Set R-iso to 5 M\xce\xa9");

    QCOMPARE(logger->serviceTail(), (QStringList{QStringLiteral("Calibrate PSU"), QStringLiteral("Set R-iso to 5 MΩ")}));
    QCOMPARE(logged.count(), 2);
    QCOMPARE(logged.at(0).at(0).toString(), QStringLiteral("Calibrate PSU"));

    QStringList const lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QRegularExpression const stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (.*)$"));
    QRegularExpressionMatch first = stamp.match(lines.at(0));
    QRegularExpressionMatch second = stamp.match(lines.at(1));
    QVERIFY2(first.hasMatch(), qPrintable(lines.at(0)));
    QVERIFY2(second.hasMatch(), qPrintable(lines.at(1)));
    QCOMPARE(first.captured(1), QStringLiteral("Calibrate PSU"));
    QCOMPARE(second.captured(1), QStringLiteral("Set R-iso to 5 MΩ"));
}

void tst_HostServices::logTailKeepsLatest()
{
    for (int i = 0; i < 600; ++i)
        getLogger()->logService(QByteArray("entry ").append(QByteArray::number(i)).constData());
    QStringList const tail = getLogger()->serviceTail();
    QCOMPARE(tail.size(), 500);
    QCOMPARE(tail.first(), QStringLiteral("entry 100"));
    QCOMPARE(tail.last(), QStringLiteral("entry 599"));
}

void tst_HostServices::logMakesFolderAndRecoversAfterFailure()
{
    QString const path = m_dir->filePath(QStringLiteral("new/deeper/service.log"));
    LoggingCtrl* logger = getLogger();
    QVERIFY(logger->setLogFile(path));
    QSignalSpy failed(logger, &LoggingCtrl::writeFailed);

    logger->logService("Calibration on");
    QByteArray const first = readFile(path);
    QVERIFY(first.endsWith("Calibration on\n"));
    {
        FileSizeLimit const full(first.size() + 8);
        logger->logService("Set IGC80KV to 4711");
    }
    QVERIFY(!logger->isWritable());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(readFile(path), first);

    logger->logService("Calibration off");
    QVERIFY(logger->isWritable());
    QVERIFY(logger->lastError().isEmpty());
    QCOMPARE(failed.count(), 1);
    QStringList const lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(1).endsWith(QStringLiteral("Calibration off")));
    QCOMPARE(logger->serviceTail(),
             (QStringList{QStringLiteral("Calibration on"), QStringLiteral("Set IGC80KV to 4711"),
                          QStringLiteral("Calibration off")}));
}

void tst_HostServices::logWithoutFileIsWritable()
{
    LoggingCtrl* logger = getLogger();
    QVERIFY(logger->setLogFile(QString()));
    QString error = QStringLiteral("not asked");
    QVERIFY(logger->checkWritable(&error));
    QVERIFY(error.isEmpty());
    logger->logService("Calibration on");
    QVERIFY(logger->isWritable());
    QVERIFY(snapshot(m_dir->path()).isEmpty());
}

// ---- files written whole or not at all -------------------------------------

void tst_HostServices::faultKeepsOldFileAndIsReported_data()
{
    QTest::addColumn<int>("subject");
    QTest::addColumn<int>("fault");

    struct FaultRow
    {
        Fault fault;
        char const* name;
    };
    static FaultRow const faults[] = {{Fault::DiskFull, "full disk"},
                                      {Fault::TargetIsFolder, "a folder where the file belongs"},
                                      {Fault::FolderIsFile, "the folder is a file"},
                                      {Fault::MissingFolder, "missing folder"},
                                      {Fault::TargetIsFifo, "a fifo where the file belongs"}};
    for (SubjectRow const& subject : kSubjects) {
        for (FaultRow const& fault : faults) {
            // The config store, the log and the printer make a missing folder
            // they can make; an AtomicFile alone does not.
            if (fault.fault == Fault::MissingFolder && subject.subject != Subject::AtomicWrite)
                continue;
            if (fault.fault == Fault::TargetIsFifo && subject.subject != Subject::AtomicWrite
                && subject.subject != Subject::LogAppend)
                continue;
            if (subject.subject == Subject::AtomicLargeWrite && fault.fault != Fault::DiskFull)
                continue;
            QTest::addRow("%s, %s", subject.name, fault.name) << int(subject.subject) << int(fault.fault);
        }
    }
}

// Each row: the call says it failed, naming the file; the old file's bytes
// are as they were (or there is still no file); nothing is left beside it.
void tst_HostServices::faultKeepsOldFileAndIsReported()
{
    QFETCH(int, subject);
    QFETCH(int, fault);
    SubjectRow const& row = subjectRow(Subject(subject));

    QString const folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    QString const fileName = QStringLiteral("target") + QLatin1String(row.extension);
    QString target = QDir(folder).filePath(fileName);
    switch (Fault(fault)) {
    case Fault::DiskFull:
        QVERIFY(writeFile(target, row.oldContents));
        break;
    case Fault::TargetIsFolder:
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        break;
    case Fault::FolderIsFile:
        QVERIFY(writeFile(QDir(folder).filePath(QStringLiteral("blocker")), "not a folder"));
        target = QDir(folder).filePath(QStringLiteral("blocker/") + fileName);
        break;
    case Fault::MissingFolder:
        target = QDir(folder).filePath(QStringLiteral("missing/") + fileName);
        break;
    case Fault::TargetIsFifo:
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        break;
    }
    // A full disk lets files grow a little past what the old file holds.
    qint64 const limit = Fault(fault) == Fault::DiskFull ? row.oldContents.size() + 8 : -1;
    QByteArray const data(Subject(subject) == Subject::AtomicLargeWrite ? 256 * 1024 : 200, 'n');

    bool ok = true;
    QString message;
    switch (Subject(subject)) {
    case Subject::AtomicWrite:
    case Subject::AtomicLargeWrite: {
        auto const before = snapshot(folder);
        {
            FileSizeLimit const full(limit);
            ok = AtomicFile::write(target, data, &message);
        }
        QCOMPARE(snapshot(folder), before);
        break;
    }
    case Subject::ConfigSave: {
        QStringList reported;
        ConfigStore::setFailureHandler([&reported](QString const& text) { reported.append(text); });
        ConfigStore::setFilePath(target);
        ConfigStore* config = getConfig();
        config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), 4711);
        config->writeString(QStringLiteral("/Software/Authentication/SerialNumber"), QStringLiteral("SN 4711, rev. B"));
        auto const before = snapshot(folder);
        {
            FileSizeLimit const full(limit);
            config->save();
        }
        QCOMPARE(snapshot(folder), before);
        ok = !config->lastSaveFailed();
        message = config->lastError();
        QVERIFY(!reported.isEmpty());
        QCOMPARE(reported.last(), message);
        // Still there in memory.
        int value = 0;
        QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
        QCOMPARE(value, 4711);
        break;
    }
    case Subject::LogAppend: {
        LoggingCtrl* logger = getLogger();
        logger->setLogFile(target);
        QSignalSpy failed(logger, &LoggingCtrl::writeFailed);
        QSignalSpy logged(logger, &LoggingCtrl::serviceLogged);
        auto const before = snapshot(folder);
        QString probe;
        bool probed = true;
        {
            FileSizeLimit const full(limit);
            probed = logger->checkWritable(&probe);
            logger->logService("Set IGC80KV to 4711");
        }
        QCOMPARE(snapshot(folder), before);
        // Asked before the change, the probe already says no.
        QVERIFY(!probed);
        QVERIFY2(probe.contains(target), qPrintable(probe));
        ok = logger->isWritable();
        message = logger->lastError();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), message);
        QCOMPARE(logged.count(), 1);
        QCOMPARE(logger->serviceTail().last(), QStringLiteral("Set IGC80KV to 4711"));
        break;
    }
    case Subject::PdfPrint: {
        auto const before = snapshot(folder);
        {
            FileSizeLimit const full(limit);
            ok = PrintService::renderPdf(sampleForm(), target, &message);
        }
        QCOMPARE(snapshot(folder), before);
        break;
    }
    }
    QVERIFY(!ok);
    QVERIFY2(message.contains(target), qPrintable(message));
}

void tst_HostServices::atomicFileReplacesWholeAndLeavesNothingElse()
{
    QString const folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    QString const target = QDir(folder).filePath(QStringLiteral("data.bin"));
    QVERIFY(writeFile(target, "old contents, longer than the new"));

    QString error;
    QVERIFY2(AtomicFile::write(target, "new contents", &error), qPrintable(error));
    QCOMPARE(snapshot(folder), (QMap<QString, QByteArray>{{QStringLiteral("data.bin"), "new contents"}}));

    // In parts through the device, past the write buffer.
    QByteArray const large(100 * 1024, 'x');
    {
        AtomicFile file(target);
        QVERIFY(file.open());
        QCOMPARE(file.device()->write("head"), qint64(4));
        QCOMPARE(file.device()->write(large), qint64(large.size()));
        QVERIFY2(file.commit(), qPrintable(file.errorString()));
    }
    QCOMPARE(snapshot(folder), (QMap<QString, QByteArray>{{QStringLiteral("data.bin"), "head" + large}}));

    // Dropped without a commit: the old file stays.
    {
        AtomicFile dropped(target);
        QVERIFY(dropped.open());
        dropped.device()->write("partial");
    }
    QCOMPARE(snapshot(folder), (QMap<QString, QByteArray>{{QStringLiteral("data.bin"), "head" + large}}));

    AtomicFile never(target);
    QVERIFY(!never.commit());
    QVERIFY2(never.errorString().contains(target), qPrintable(never.errorString()));
}

// The tester's case: everything sits in the write buffer and only the final
// flush meets the full disk. The temporary file goes at once, not when the
// object goes.
void tst_HostServices::atomicFileFailureRemovesTemporaryAtOnce()
{
    QString const folder = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(folder));
    QString const target = QDir(folder).filePath(QStringLiteral("data.bin"));
    QVERIFY(writeFile(target, "old"));
    auto const before = snapshot(folder);

    AtomicFile file(target);
    QVERIFY(file.open());
    {
        FileSizeLimit const full(16);
        QCOMPARE(file.device()->write(QByteArray(200, 'n')), qint64(200)); // buffered
        QVERIFY(!file.commit());
    }
    QVERIFY2(file.errorString().contains(target), qPrintable(file.errorString()));
    QCOMPARE(snapshot(folder), before);
}

void tst_HostServices::printReplacesOlderPrintWhole()
{
    QString const folder = m_dir->filePath(QStringLiteral("print"));
    QVERIFY(QDir().mkpath(folder));
    QString const target = QDir(folder).filePath(QStringLiteral("Calibration.pdf"));
    QVERIFY(writeFile(target, subjectRow(Subject::PdfPrint).oldContents));

    QString error;
    QVERIFY2(PrintService::renderPdf(sampleForm(), target, &error), qPrintable(error));
    QByteArray const pdf = readFile(target);
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QCOMPARE(snapshot(folder).keys(), QStringList{QStringLiteral("Calibration.pdf")});
}

// ---- parameters ------------------------------------------------------------

void tst_HostServices::parameterReachesOnlyActiveRegistered_data()
{
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("changed");
    QTest::addColumn<bool>("heard");

    QTest::newRow("registered and active") << true << true << int(ParamVoltageRange) << true;
    QTest::newRow("inactive") << true << false << int(ParamVoltageRange) << false;
    QTest::newRow("not registered") << false << true << int(ParamVoltageRange) << false;
    QTest::newRow("other parameter") << true << true << int(ParamDcMax) << false;
}

void tst_HostServices::parameterReachesOnlyActiveRegistered()
{
    QFETCH(bool, registered);
    QFETCH(bool, active);
    QFETCH(int, changed);
    QFETCH(bool, heard);

    RecordingReceiver receiver;
    QVERIFY(receiver.initialize(m_registry.get()));
    if (registered)
        receiver.registerParameter(ParamVoltageRange);
    receiver.setActive(active);
    QSignalSpy set(m_parameters.data(), &ParameterService::parameterSet);

    m_parameters->setParameter(Parameters(changed), 320);

    QCOMPARE(set.count(), 1);
    QList<Change> const expected = heard ? QList<Change>{{changed, 320}} : QList<Change>();
    QCOMPARE(receiver.changes, expected);
    // Whether told or not, every receiver reads the current value.
    QCOMPARE(receiver.getParameter(Parameters(changed), -1), 320LL);
}

void tst_HostServices::parameterServiceModeSwitch()
{
    RecordingReceiver receiver;
    QVERIFY(receiver.initialize(m_registry.get()));
    receiver.registerParameter(ParamServiceMode);
    receiver.setActive(true);

    m_parameters->setParameter(ParamServiceMode, 1);
    m_parameters->setParameter(ParamServiceMode, 0);
    receiver.unregisterParameter(ParamServiceMode);
    m_parameters->setParameter(ParamServiceMode, 1);

    QCOMPARE(receiver.serviceModes, (QList<bool>{true, false}));
    QCOMPARE(receiver.getParameter(ParamServiceMode, 0), 1LL);
}

void tst_HostServices::parameterReadsWithoutService()
{
    RecordingReceiver noControl;
    QVERIFY(!noControl.initialize(nullptr));
    QCOMPARE(noControl.getParameter(ParamServiceMode, 42), 42LL);

    ModuleRegistry emptyRegistry;
    RecordingReceiver noService;
    QVERIFY(!noService.initialize(&emptyRegistry));
    noService.registerParameter(ParamServiceMode);
    QCOMPARE(noService.getParameter(ParamServiceMode, 42), 42LL);
}

void tst_HostServices::parameterReceiverMayDropAnotherWhileTold()
{
    auto* first = new RecordingReceiver;
    auto* second = new RecordingReceiver;
    for (RecordingReceiver* receiver : {first, second}) {
        QVERIFY(receiver->initialize(m_registry.get()));
        receiver->registerParameter(ParamServiceMode);
        receiver->setActive(true);
    }
    first->onChange = [&second]() {
        delete second;
        second = nullptr;
    };

    m_parameters->setParameter(ParamServiceMode, 1);

    QVERIFY(second == nullptr);
    QCOMPARE(first->serviceModes, QList<bool>{true});
    delete first;
}

void tst_HostServices::parameterDestructionOrder_data()
{
    QTest::addColumn<bool>("serviceFirst");
    QTest::newRow("receiver goes first") << false;
    QTest::newRow("service goes first") << true;
}

void tst_HostServices::parameterDestructionOrder()
{
    QFETCH(bool, serviceFirst);

    auto* gone = new RecordingReceiver;
    RecordingReceiver stays;
    for (RecordingReceiver* receiver : {gone, &stays}) {
        QVERIFY(receiver->initialize(m_registry.get()));
        receiver->registerParameter(ParamServiceMode);
        receiver->setActive(true);
    }
    m_parameters->setParameter(ParamServiceMode, 1);

    if (serviceFirst) {
        delete m_parameters.data();
        QCOMPARE(stays.getParameter(ParamServiceMode, 9), 9LL);
        stays.registerParameter(ParamDcMax);
        stays.unregisterParameter(ParamServiceMode);
        delete gone;
    } else {
        delete gone;
        m_parameters->setParameter(ParamServiceMode, 0);
        QCOMPARE(stays.serviceModes, (QList<bool>{true, false}));
    }
}

// ---- state machine ---------------------------------------------------------

void tst_HostServices::stateChangesReachEveryRegisteredEvent()
{
    m_machine->setState(1);
    RecordingStateEvent registered;
    RecordingStateEvent notRegistered;
    QVERIFY(registered.initialize(m_registry.get()));
    QVERIFY(notRegistered.initialize(m_registry.get()));
    QCOMPARE(registered.getCurrentState(), 1);
    registered.registerStateEvent();
    registered.registerStateEvent();
    QSignalSpy changed(m_machine.data(), &StateMachine::stateChanged);

    m_machine->setState(3);
    m_machine->setState(7);
    registered.unregisterStateEvent();
    m_machine->setState(3);

    QCOMPARE(registered.changes, (QList<int>{3, 7}));
    QCOMPARE(registered.getCurrentState(), 7);
    QVERIFY(notRegistered.changes.isEmpty());
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.at(1), (QVariantList{3, 7}));

    RecordingStateEvent noMachine;
    QVERIFY(!noMachine.initialize(nullptr));
    noMachine.registerStateEvent();
    m_machine->setState(4);
    QVERIFY(noMachine.changes.isEmpty());
}

void tst_HostServices::stateReachedHookQueuedWithOldState()
{
    HookTarget target;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");
    // Set again by a second start: still one call per reached state.
    event.setMetaMethodForReachedState(3, &target, "Prepared( QVariant )");

    m_machine->setState(7);
    m_machine->setState(3);
    QVERIFY(target.prepared.isEmpty()); // queued, never inside the state change
    m_machine->setState(5);

    QTRY_COMPARE(target.prepared.size(), 1);
    QCOMPARE(target.prepared.first().toInt(), 7);
    QVERIFY(target.requested.isEmpty());
}

void tst_HostServices::stateRequestedHook()
{
    HookTarget target;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForRequestedState(3, &target, "Requested(QVariant)");
    event.setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");

    m_machine->setState(2);
    m_machine->requestState(3);

    QTRY_COMPARE(target.requested.size(), 1);
    QTRY_COMPARE(target.prepared.size(), 1);
    QCOMPARE(target.requested.first().toInt(), 2);
    QCOMPARE(target.prepared.first().toInt(), 2);
    QCOMPARE(m_machine->getState(), 3);
    QCOMPARE(event.changes, (QList<int>{2, 3}));
}

void tst_HostServices::stateHooksRemovedOrTargetGone()
{
    HookTarget kept;
    auto* gone = new HookTarget;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForReachedState(3, gone, "Prepared(QVariant)");
    event.setMetaMethodForReachedState(4, &kept, "Prepared(QVariant)");

    delete gone;
    m_machine->setState(3); // the target is gone: nothing is invoked
    event.removeMetaMethods();
    m_machine->setState(4);
    QCoreApplication::sendPostedEvents(); // delivers any wrongly queued call

    QVERIFY(kept.prepared.isEmpty());
    QCOMPARE(event.changes, (QList<int>{3, 4}));
}

void tst_HostServices::stateDestructionOrder_data()
{
    QTest::addColumn<bool>("machineFirst");
    QTest::newRow("event goes first") << false;
    QTest::newRow("machine goes first") << true;
}

void tst_HostServices::stateDestructionOrder()
{
    QFETCH(bool, machineFirst);

    HookTarget target;
    auto* gone = new RecordingStateEvent;
    RecordingStateEvent stays;
    for (RecordingStateEvent* event : {gone, &stays}) {
        QVERIFY(event->initialize(m_registry.get()));
        event->registerStateEvent();
        event->setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");
    }

    if (machineFirst) {
        delete m_machine.data();
        stays.unregisterStateEvent();
        stays.registerStateEvent();
        delete gone;
        QCOMPARE(stays.getCurrentState(), 0);
    } else {
        delete gone;
        m_machine->setState(3);
        QCOMPARE(stays.changes, QList<int>{3});
        QTRY_COMPARE(target.prepared.size(), 1);
    }
}

// ---- module registry -------------------------------------------------------

void tst_HostServices::registryRules_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("nullName");
    QTest::addColumn<int>("module"); // 0 none, 1 the present one, 2 another
    QTest::addColumn<bool>("accepted");

    QTest::newRow("new name") << QByteArray("ILon") << false << 2 << true;
    QTest::newRow("same module again") << QByteArray("IStatemachine") << false << 1 << true;
    QTest::newRow("name taken by another") << QByteArray("IStatemachine") << false << 2 << false;
    QTest::newRow("null name") << QByteArray() << true << 2 << false;
    QTest::newRow("empty name") << QByteArray("") << false << 2 << false;
    QTest::newRow("null module") << QByteArray("ILon") << false << 0 << false;
}

void tst_HostServices::registryRules()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, nullName);
    QFETCH(int, module);
    QFETCH(bool, accepted);

    PrintService other;
    IModule* const modules[] = {nullptr, m_machine.data(), &other};
    char const* const key = nullName ? nullptr : name.constData();

    QCOMPARE(m_registry->registerModule(key, modules[module]), accepted);

    QCOMPARE(m_registry->getModule("IStatemachine"), static_cast<IModule*>(m_machine.data()));
    if (accepted)
        QCOMPARE(m_registry->getModule(key), modules[module]);
    else if (!nullName && name != "IStatemachine")
        QVERIFY(m_registry->getModule(key) == nullptr);
    QVERIFY(m_registry->getModule(nullptr) == nullptr);
    // What a module finds is usable through its interface.
    QVERIFY(dynamic_cast<IStatemachine*>(m_registry->getModule("IStatemachine")) != nullptr);
}

// ---- print and system services ---------------------------------------------

void tst_HostServices::printRendersPdfAndFinishes()
{
    PrintService print;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    RecordingResponse response(&print);
    response.form.addLabel(FormLabel(QStringLiteral("Calibration HV Unit"), Point(20, 10), Size(100, 10), true, 12,
                                     FormLabel::AlignLeftTop));
    response.form.addLabel(
        FormLabel(QStringLiteral("01/02/2024, 1:02:03 PM"), Point(130, 20), Size(60, 5), true, 10, FormLabel::AlignRightTop));
    QSignalSpy printed(&print, &PrintService::printed);

    PrintRequest request;
    request.items.append(PrintItem{QStringLiteral("Calibration_4711"), false, true});
    request.response = &response;
    request.name = QStringLiteral("Calibration_4711");
    print.print(request);
    QVERIFY(response.formsAsked.isEmpty()); // answered from the event loop

    QTRY_COMPARE(response.finished, QStringList{QStringLiteral("Calibration_4711")});
    QCOMPARE(response.formsAsked, QStringList{QStringLiteral("Calibration_4711")});
    QCOMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});
    QCOMPARE(printed.count(), 1);
    QCOMPARE(print.requests().size(), 1);

    QString const file = m_dir->filePath(QStringLiteral("print/Calibration_4711.pdf"));
    QCOMPARE(print.lastFile(), file);
    QByteArray const pdf = readFile(file);
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY2(pdf.size() > 1000, QByteArray::number(pdf.size()).constData());
    // A4 portrait: 210 x 297 mm are 595 x 842 points.
    int const boxAt = pdf.indexOf("/MediaBox");
    QVERIFY(boxAt >= 0);
    QRegularExpressionMatch const box = QRegularExpression(QStringLiteral("^/MediaBox \\[\\s*0 0 ([\\d.]+) ([\\d.]+)\\s*\\]"))
                                            .match(QString::fromLatin1(pdf.mid(boxAt, 64)));
    QVERIFY(box.hasMatch());
    QCOMPARE(qRound(box.captured(1).toDouble()), 595);
    QCOMPARE(qRound(box.captured(2).toDouble()), 842);
}

// Ligatures ("ff" in "Offset") would leave the sheet's text unfindable in a PDF reader.
void tst_HostServices::printedTextIsSearchable()
{
    QString const pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    Form form;
    form.addLabel(FormLabel(QStringLiteral("U-nom Offset"), Point(25, 40), Size(60, 5), false, 10,
                            FormLabel::AlignLeftTop));
    form.addLabel(FormLabel(QStringLiteral("Calibration HV Unit"), Point(20, 10), Size(100, 10), true, 12,
                            FormLabel::AlignLeftTop));
    QString const file = m_dir->filePath(QStringLiteral("Calibration.pdf"));
    QVERIFY(PrintService::renderPdf(form, file));

    QProcess extract;
    extract.start(pdftotext, {file, QStringLiteral("-")});
    QVERIFY(extract.waitForFinished());
    QCOMPARE(extract.exitCode(), 0);
    QString const text = QString::fromUtf8(extract.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("U-nom Offset")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Calibration HV Unit")), qPrintable(text));
}

void tst_HostServices::printPlacesLabelsInMillimetres()
{
    Form form;
    form.addLabel(FormLabel(QStringLiteral("WWWW"), Point(20, 10), Size(100, 10), true, 12, FormLabel::AlignLeftTop));
    form.addLabel(FormLabel(QStringLiteral("WWWW"), Point(20, 40), Size(100, 10), false, 12, FormLabel::AlignRightTop));

    double const dotsPerMm = 150 / 25.4;
    QImage page(qRound(210 * dotsPerMm), qRound(297 * dotsPerMm), QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    page.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        painter.setPen(Qt::black);
        PrintService::paintForm(painter, form, dotsPerMm);
    }

    // Left label: ink at the left end of its box, none at the right end.
    QVERIFY(inkIn(page, dotsPerMm, QRectF(20, 10, 15, 10)) > 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(90, 10, 30, 10)), 0);
    // Right label: the other way round.
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(20, 40, 30, 10)), 0);
    QVERIFY(inkIn(page, dotsPerMm, QRectF(105, 40, 15, 10)) > 0);
    // Nothing outside the two boxes.
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 0, 210, 9.5)), 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 22, 210, 17)), 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 52, 210, 240)), 0);
}

void tst_HostServices::printForcedResultSkipsRendering()
{
    PrintService print;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration");

    print.setNextResult(IPrint::ResultBusy);
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultBusy});
    QVERIFY(response.formsAsked.isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("print/Calibration.pdf"))));

    // The forced result holds for one print only.
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, (QList<int>{IPrint::ResultBusy, IPrint::ResultDone}));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("print/Calibration.pdf"))));
}

void tst_HostServices::printWriteFailureReported()
{
    QString const blocker = m_dir->filePath(QStringLiteral("not-a-folder"));
    QVERIFY(writeFile(blocker, "x"));
    PrintService print;
    print.setOutputDirectory(blocker);
    RecordingResponse response(&print);
    QSignalSpy printed(&print, &PrintService::printed);

    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration");
    print.print(request);
    QTRY_COMPARE(response.finished.size(), 1);
    QVERIFY(response.resultsSeen.first() != IPrint::ResultDone);
    QVERIFY(response.resultsSeen.first() != IPrint::ResultBusy);

    // A request without anyone to answer still ends.
    request.response = nullptr;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    print.print(request);
    QTRY_COMPARE(printed.count(), 2);
    QCOMPARE(printed.at(1).at(1).toInt(), int(IPrint::ResultDone));
}

void tst_HostServices::printKeepsFileInsideOutputFolder()
{
    PrintService print;
    QString const folder = m_dir->filePath(QStringLiteral("print"));
    print.setOutputDirectory(folder);
    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration_../../SN/1");

    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});
    QCOMPARE(response.finished, QStringList{request.name}); // the caller's name comes back unchanged
    QCOMPARE(QFileInfo(print.lastFile()).absolutePath(), QDir(folder).absolutePath());
    QVERIFY(QFile::exists(print.lastFile()));
}

void tst_HostServices::systemCopiesToStick()
{
    QString const source = m_dir->filePath(QStringLiteral("print"));
    QString const stick = m_dir->filePath(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(QDir().mkpath(stick));
    QVERIFY(writeFile(source + QStringLiteral("/Calibration.pdf"), "%PDF new"));
    QVERIFY(writeFile(stick + QStringLiteral("/Calibration.pdf"), "%PDF old, longer than the new one"));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("notes.txt")), "notes"));

    SystemService system;
    system.setFileDirectory(source);
    system.setStickDirectory(stick);
    QSignalSpy handled(&system, &SystemService::filesHandled);

    // A relative name comes from the print folder; an absolute one from where it says.
    system.handleFiles({QStringLiteral("Calibration.pdf"), QStringLiteral("Missing.pdf"),
                        m_dir->filePath(QStringLiteral("notes.txt"))},
                       true);

    QStringList const copies{stick + QStringLiteral("/Calibration.pdf"), stick + QStringLiteral("/notes.txt")};
    QCOMPARE(handled.count(), 1);
    QCOMPARE(handled.first().first().toStringList(), copies);
    QCOMPARE(system.handledFiles(), copies);
    QCOMPARE(readFile(copies.at(0)), QByteArray("%PDF new"));
    QCOMPARE(readFile(copies.at(1)), QByteArray("notes"));
    QVERIFY(!QFile::exists(stick + QStringLiteral("/Missing.pdf")));

    system.handleFiles({QStringLiteral("Missing.pdf")}, true);
    QCOMPARE(handled.count(), 1);
    // What could not be copied is said, not passed over.
    QCOMPARE(system.failedFiles(), (QStringList{"Missing.pdf", "Missing.pdf"}));
}

// The module hands on the document name + ".pdf"; a serial number may hold
// characters the print service had to replace in the file name.
void tst_HostServices::systemFindsThePrintUnderItsDocumentName()
{
    QString const folder = m_dir->filePath(QStringLiteral("print"));
    QString const stick = m_dir->filePath(QStringLiteral("stick"));
    PrintService print;
    print.setCurrentPrinterName(IPrint::pdfTarnel);
    print.setOutputDirectory(folder);
    SystemService system;
    system.setFileDirectory(folder);
    system.setStickDirectory(stick);
    QSignalSpy failed(&system, &SystemService::handlingFailed);

    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration_SN/12:3");
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});

    system.handleFiles({request.name + QStringLiteral(".pdf")}, true);
    QCOMPARE(system.handledFiles().size(), 1);
    QCOMPARE(readFile(system.handledFiles().first()), readFile(print.lastFile()));
    QCOMPARE(QFileInfo(system.handledFiles().first()).absolutePath(), QDir(stick).absolutePath());
    QCOMPARE(failed.count(), 0);

    // A relative name never reaches outside the print folder.
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("outside.pdf")), "%PDF"));
    system.handleFiles({QStringLiteral("../outside.pdf")}, true);
    QCOMPARE(system.handledFiles().size(), 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toStringList(), QStringList{"../outside.pdf"});
}

QTEST_MAIN(tst_HostServices)
#include "tst_hostservices.moc"
