// The workbench's files under ordinary faults: a full disk, a file system that
// turns read-only, a folder or a FIFO where a file belongs, a second process,
// a malformed node memory file, an instrument that does not answer in full,
// stick files in other encodings, and a run killed half-way. Whatever happens,
// every file holds its old or its new state, and the run says which failed.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>

#include "sim/LonSimulator.h"
#include "support/WorkbenchProcess.h"

namespace {

using Result = WorkbenchProcess::Result;


bool writeBytes(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The hex bytes of one variable in a node memory; empty when it has none.
QString variableIn(QByteArray const& memory, char const* nvId)
{
    QJsonObject const root = QJsonDocument::fromJson(memory).object();
    return root.value(QStringLiteral("variables")).toObject().value(QLatin1String(nvId)).toString();
}

QString variable(QString const& instrumentFile, char const* nvId)
{
    return variableIn(WorkbenchProcess::fileBytes(instrumentFile), nvId);
}

// Every line of a service log is whole: the old log, then whole new lines.
bool logKeptWhole(QByteArray const& before, QByteArray const& after)
{
    return after.startsWith(before) && (after.isEmpty() || after.endsWith('\n'));
}

// Files a commit leaves when it fails half-way (QSaveFile's temporary names).
QStringList leftovers(QString const& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QStringList found;
    for (QString const& name : names) {
        if (name.contains(QLatin1String(".XXXXXX")) || name.endsWith(QLatin1String(".new")) ||
            name.contains(QRegularExpression(QStringLiteral("\\.[A-Za-z0-9]{6}$"))))
            found << name;
    }
    return found;
}

} // namespace

class tst_WorkbenchFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void badInputIsRefusedAndNothingChanges_data();
    void badInputIsRefusedAndNothingChanges();
    void fullDiskLeavesNoPartialOutput_data();
    void fullDiskLeavesNoPartialOutput();
    void fullOrReadOnlyFileSystem_data();
    void fullOrReadOnlyFileSystem();
    void secondProcessOnTheSameInstrumentIsRefused();
    void answersMissingOrShortFailTheRun_data();
    void answersMissingOrShortFailTheRun();
    void setChecksBeforeWritingAndLeavesCalibrationOff();
    void stickFilesAreDecodedLikeAStickReader_data();
    void stickFilesAreDecodedLikeAStickReader();
    void killedImportLeavesOldOrNewMemory();

private:
    QString path(QString const& name) const { return m_dir->filePath(name); }
    // A tmpfs of `kilobytes` at `folder`; false (and a skip) where mounting is not allowed.
    bool mountSmallFileSystem(QString const& folder, int kilobytes);
    // Fills the file system of `folder` up to its last byte.
    void fill(QString const& folder);

    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<WorkbenchProcess> m_bench;
    QStringList m_mounts;
    QByteArray m_instrument;
    QByteArray m_log;
};

void tst_WorkbenchFiles::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_bench.reset(new WorkbenchProcess(m_dir->path()));
    // A known instrument, configuration and log to start from.
    Result const made = m_bench->run({QStringLiteral("--export"), path(QStringLiteral("start.xml"))});
    QVERIFY2(made.status == 0, qPrintable(made.err));
    m_instrument = WorkbenchProcess::fileBytes(path(QStringLiteral("instrument.json")));
    m_log = WorkbenchProcess::fileBytes(path(QStringLiteral("service.log")));
    QVERIFY(!m_instrument.isEmpty());
}

void tst_WorkbenchFiles::cleanup()
{
    for (QString const& mount : qAsConst(m_mounts))
        ::umount2(QFile::encodeName(mount).constData(), MNT_DETACH);
    m_mounts.clear();
    m_bench.reset();
    m_dir.reset();
}

bool tst_WorkbenchFiles::mountSmallFileSystem(QString const& folder, int kilobytes)
{
    QDir().mkpath(folder);
    QByteArray const options = QByteArrayLiteral("size=") + QByteArray::number(kilobytes) + 'k';
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0)
        return false;
    m_mounts << folder;
    return true;
}

void tst_WorkbenchFiles::fill(QString const& folder)
{
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    QByteArray const block(512, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block, byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
}

void tst_WorkbenchFiles::badInputIsRefusedAndNothingChanges_data()
{
    QTest::addColumn<QByteArray>("instrument"); // replaces the node memory file when not empty
    QTest::addColumn<QStringList>("arguments"); // @name: a path in the test folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QStringList const exportRun{QStringLiteral("--export"), QStringLiteral("@out.xml")};
    struct MemoryRow
    {
        char const* name;
        char const* json;
    };
    MemoryRow const memories[] = {
        {"memory-empty-object", "{}"},
        {"memory-misspelled-variables", "{\"profile\": \"nt3-full\", \"variabels\": {}}"},
        {"memory-variables-a-number", "{\"profile\": \"nt3-full\", \"variables\": 5}"},
        {"memory-variables-an-array", "{\"profile\": \"nt3-full\", \"variables\": []}"},
        {"memory-without-profile", "{\"variables\": {\"0x1275\": \"0102\"}}"},
        {"memory-of-another-profile", "{\"profile\": \"nt0\", \"variables\": {}}"},
        {"memory-an-array", "[]"},
    };
    for (MemoryRow const& row : memories)
        QTest::newRow(row.name) << QByteArray(row.json) << exportRun << 1
                                << QStringLiteral("cannot use instrument file");

    QTest::newRow("import-a-fifo") << QByteArray()
                                   << QStringList{QStringLiteral("--import"), QStringLiteral("@fifo"),
                                                  QStringLiteral("--confirm"), QStringLiteral("all")}
                                   << 1 << QStringLiteral("not a regular file");
    QTest::newRow("instrument-a-fifo") << QByteArray()
                                       << QStringList{QStringLiteral("--instrument"), QStringLiteral("@fifo"),
                                                      QStringLiteral("--export"), QStringLiteral("@out.xml")}
                                       << 1 << QStringLiteral("not a regular file");
    QTest::newRow("config-a-folder") << QByteArray()
                                     << QStringList{QStringLiteral("--config"), QStringLiteral("@folder"),
                                                    QStringLiteral("--export"), QStringLiteral("@out.xml")}
                                     << 1 << QStringLiteral("not a regular file");
    QTest::newRow("log-a-folder") << QByteArray()
                                  << QStringList{QStringLiteral("--log"), QStringLiteral("@folder"),
                                                 QStringLiteral("--set"), QStringLiteral("U-nom Offset=5")}
                                  << 1 << QStringLiteral("not a regular file");
    QTest::newRow("export-onto-a-folder") << QByteArray()
                                          << QStringList{QStringLiteral("--export"), QStringLiteral("@folder")} << 1
                                          << QStringLiteral("folder");
    QTest::newRow("unknown-profile") << QByteArray()
                                     << QStringList{QStringLiteral("--profile"), QStringLiteral("nt7"),
                                                    QStringLiteral("--export"), QStringLiteral("@out.xml")}
                                     << 2 << QStringLiteral("unknown profile 'nt7'");
    QTest::newRow("confirm-without-import") << QByteArray()
                                            << QStringList{QStringLiteral("--confirm"), QStringLiteral("all")} << 2
                                            << QStringLiteral("--confirm");
    QTest::newRow("option-without-value") << QByteArray() << QStringList{QStringLiteral("--export")} << 2
                                          << QStringLiteral("--export needs FILE");
    QTest::newRow("bad-faults") << QByteArray()
                                << QStringList{QStringLiteral("--faults"), QStringLiteral("loss=lots"),
                                               QStringLiteral("--export"), QStringLiteral("@out.xml")}
                                << 2 << QStringLiteral("--faults");
}

void tst_WorkbenchFiles::badInputIsRefusedAndNothingChanges()
{
    QFETCH(QByteArray, instrument);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    QString const instrumentFile = path(QStringLiteral("instrument.json"));
    if (!instrument.isEmpty())
        QVERIFY(writeBytes(instrumentFile, instrument));
    QByteArray const memoryBefore = WorkbenchProcess::fileBytes(instrumentFile);
    QVERIFY(QDir().mkpath(path(QStringLiteral("folder"))));
    QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0600) == 0);
    for (QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('@')))
            argument = path(argument.mid(1));
    }

    // A FIFO must not block the run: the process ends well within the timeout.
    Result const result = m_bench->run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.startsWith(QLatin1String("loncal-workbench: ")) && result.err.contains(message),
             qPrintable(result.err));
    QVERIFY(!QFile::exists(path(QStringLiteral("out.xml"))));
    QCOMPARE(WorkbenchProcess::fileBytes(instrumentFile), memoryBefore);
    QVERIFY(logKeptWhole(m_log, WorkbenchProcess::fileBytes(path(QStringLiteral("service.log")))));
    QVERIFY(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

// Every file the program writes limited in size: the outputs that do not fit
// are not written at all, and the run says so.
void tst_WorkbenchFiles::fullDiskLeavesNoPartialOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");

    QTest::newRow("export") << QStringList{QStringLiteral("--export"), QStringLiteral("@out.xml")}
                            << QStringLiteral("out.xml") << QStringLiteral("cannot write");
    // The print service's own PDF is the first file that does not fit.
    QTest::newRow("print") << QStringList{QStringLiteral("--print"), QStringLiteral("@out.pdf")}
                           << QStringLiteral("out.pdf") << QStringLiteral("print failed");
    QTest::newRow("screenshots") << QStringList{QStringLiteral("--screenshots"), QStringLiteral("@shots")}
                                 << QStringLiteral("shots/menu.png") << QStringLiteral("cannot write");
    // The serial number goes into the configuration store before the module starts.
    QTest::newRow("serial") << QStringList{QStringLiteral("--serial"), QString(1500, QLatin1Char('7')),
        QStringLiteral("--export"), QStringLiteral("@out.xml")}
                            << QStringLiteral("config.ini") << QStringLiteral("cannot store the serial number");
}

void tst_WorkbenchFiles::fullDiskLeavesNoPartialOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QString, message);
    for (QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('@')))
            argument = path(argument.mid(1));
    }
    // The old output stays whole where there was one.
    QByteArray const old("an older file, kept whole\n");
    QVERIFY(QDir().mkpath(QFileInfo(path(file)).absolutePath()));
    QVERIFY(writeBytes(path(file), old));

    Result const result = m_bench->runWithFileSizeLimit(1, arguments);
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(WorkbenchProcess::fileBytes(path(file)), old);
    QVERIFY(leftovers(QFileInfo(path(file)).absolutePath()).isEmpty());
    QVERIFY(logKeptWhole(m_log, WorkbenchProcess::fileBytes(path(QStringLiteral("service.log")))));
}

// One of the three files the host keeps on a file system that is full or
// read-only: the run fails, names the file, and that file keeps its old state.
void tst_WorkbenchFiles::fullOrReadOnlyFileSystem_data()
{
    QTest::addColumn<QString>("placed"); // the option whose file lives on the small file system
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("message");

    QTest::newRow("instrument-full") << QStringLiteral("--instrument") << false << QStringLiteral("nt3-full")
                                     << QStringLiteral("U-nom Offset=5") << QStringLiteral("instrument.json");
    QTest::newRow("config-full") << QStringLiteral("--config") << false << QStringLiteral("nt1-compact")
                                 << QStringLiteral("I-int Comp. 80 kV=6") << QStringLiteral("config.ini");
    QTest::newRow("config-read-only") << QStringLiteral("--config") << true << QStringLiteral("nt1-compact")
                                      << QStringLiteral("I-int Comp. 80 kV=6") << QStringLiteral("config.ini");
    QTest::newRow("log-full") << QStringLiteral("--log") << false << QStringLiteral("nt3-full")
                              << QStringLiteral("U-nom Offset=5") << QStringLiteral("service log");
    QTest::newRow("log-read-only") << QStringLiteral("--log") << true << QStringLiteral("nt3-full")
                                   << QStringLiteral("U-nom Offset=5") << QStringLiteral("service log");
}

void tst_WorkbenchFiles::fullOrReadOnlyFileSystem()
{
    QFETCH(QString, placed);
    QFETCH(bool, readOnly);
    QFETCH(QString, profile);
    QFETCH(QString, assignment);
    QFETCH(QString, message);

    QString const small = path(QStringLiteral("small"));
    if (!mountSmallFileSystem(small, 64))
        QSKIP("mounting a small file system is not allowed here");
    bool const instrumentPlaced = placed == QLatin1String("--instrument");
    bool const logPlaced = placed == QLatin1String("--log");
    QString const file = QDir(small).filePath(instrumentPlaced ? QStringLiteral("instrument.json")
                                              : logPlaced      ? QStringLiteral("service.log")
                                                               : QStringLiteral("config.ini"));
    QString const instrumentFile = instrumentPlaced ? file : path(QStringLiteral("instrument-%1.json").arg(profile));
    QStringList files{placed, file, QStringLiteral("--profile"), profile};
    if (!instrumentPlaced)
        files << QStringLiteral("--instrument") << instrumentFile;

    // The files as a first, healthy run leaves them.
    QString const key = assignment.section(QLatin1Char('='), 0, 0);
    Result const first = m_bench->run(files + QStringList{QStringLiteral("--set"), key + QStringLiteral("=3")});
    QVERIFY2(first.status == 0, qPrintable(first.err));
    QByteArray const memoryBefore = WorkbenchProcess::fileBytes(instrumentFile);

    fill(small);
    if (instrumentPlaced) {
        // Room for the lock beside the memory file, none for a new memory file.
        QFile filler(QDir(small).filePath(QStringLiteral("filler")));
        QVERIFY(filler.resize(filler.size() - 4096));
    }
    if (logPlaced) {
        // The last page of the log is full too: not even a short line fits.
        QFile log(file);
        QVERIFY(log.open(QIODevice::Append));
        while (log.write("\n", 1) == 1 && log.flush()) {
        }
    }
    if (readOnly)
        QVERIFY(::mount(nullptr, QFile::encodeName(small).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    QByteArray const before = WorkbenchProcess::fileBytes(file);
    QVERIFY(!before.isEmpty());

    Result const result = m_bench->run(files + QStringList{QStringLiteral("--set"), assignment});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(WorkbenchProcess::fileBytes(file), before);
    // Without its log the instrument takes no change at all.
    if (logPlaced) {
        QVERIFY2(result.err.contains(QLatin1String("nothing is changed")), qPrintable(result.err));
        QCOMPARE(WorkbenchProcess::fileBytes(instrumentFile), memoryBefore);
    }
}

void tst_WorkbenchFiles::secondProcessOnTheSameInstrumentIsRefused()
{
    // The first bench runs its window (on the offscreen platform) until told to stop.
    QProcess first;
    QProcessEnvironment environment = m_bench->environment();
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":stand-in"));
    first.setProcessEnvironment(environment);
    first.start(WorkbenchProcess::program(), m_bench->withFiles({}));
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(first.peek(first.bytesAvailable())).contains(QLatin1String("menu")),
                             20000);

    Result const second = m_bench->run({QStringLiteral("--set"), QStringLiteral("U-nom Offset=5")});
    QCOMPARE(second.status, 1);
    QVERIFY2(second.err.contains(QLatin1String("is in use by")) &&
                 second.err.contains(QString::number(first.processId())),
             qPrintable(second.err));

    first.terminate();
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitCode(), 0);
    Result const later = m_bench->run({QStringLiteral("--set"), QStringLiteral("U-nom Offset=5")});
    QVERIFY2(later.status == 0, qPrintable(later.err));
}

void tst_WorkbenchFiles::answersMissingOrShortFailTheRun_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QStringList const exportRun{QStringLiteral("--export"), QStringLiteral("@out.xml")};
    QTest::newRow("export-answers-lost") << QStringLiteral("loss=1") << exportRun << QStringLiteral("did not answer");
    QTest::newRow("export-answer-short") << QStringLiteral("short=0x1375") << exportRun
                                         << QStringLiteral("0x1375 (node 19) answered");
    QTest::newRow("set-answers-lost") << QStringLiteral("loss=1")
                                      << QStringList{QStringLiteral("--set"), QStringLiteral("U-nom Offset=5")}
                                      << QStringLiteral("did not answer");
    QTest::newRow("print-answer-short") << QStringLiteral("short=0x1375")
                                        << QStringList{QStringLiteral("--print"), QStringLiteral("@out.pdf")}
                                        << QStringLiteral("answered");
    QTest::newRow("set-not-taken") << QStringLiteral("failwrites")
                                   << QStringList{QStringLiteral("--set"), QStringLiteral("U-nom Offset=5")}
                                   << QStringLiteral("the node did not take it");
}

void tst_WorkbenchFiles::answersMissingOrShortFailTheRun()
{
    QFETCH(QString, faults);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    for (QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('@')))
            argument = path(argument.mid(1));
    }

    Result const result = m_bench->run(QStringList{QStringLiteral("--faults"), faults} + arguments);
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(!QFile::exists(path(QStringLiteral("out.xml"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("out.pdf"))));
    QCOMPARE(variable(path(QStringLiteral("instrument.json")), "0x1375"), variableIn(m_instrument, "0x1375"));
}

void tst_WorkbenchFiles::setChecksBeforeWritingAndLeavesCalibrationOff()
{
    QString const instrumentFile = path(QStringLiteral("instrument.json"));
    // Beyond its byte: refused before anything reaches the node.
    Result refused = m_bench->run({QStringLiteral("--set"), QStringLiteral("U-mains Gain=500")});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QLatin1String("out of its range -128 to 127")), qPrintable(refused.err));
    QCOMPARE(WorkbenchProcess::fileBytes(instrumentFile), m_instrument);
    QVERIFY(!WorkbenchProcess::fileBytes(path(QStringLiteral("service.log"))).contains("Set U-mains Gain"));

    Result const set = m_bench->run({QStringLiteral("--set"), QStringLiteral("U-mains Gain=7")});
    QVERIFY2(set.status == 0, qPrintable(set.err));
    // Calibration mode is switched off again, as the instrument was found.
    QString const log = QString::fromUtf8(WorkbenchProcess::fileBytes(path(QStringLiteral("service.log"))));
    int const on = log.lastIndexOf(QLatin1String("Switch on LON-Calibration mode"));
    QVERIFY(on >= 0);
    QVERIFY2(log.indexOf(QLatin1String("Switch off LON-Calibration mode"), on) > on, qPrintable(log));
}

void tst_WorkbenchFiles::stickFilesAreDecodedLikeAStickReader_data()
{
    QTest::addColumn<QString>("encoding"); // how the export is re-encoded
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("utf-8-with-mark") << QStringLiteral("UTF-8 mark") << 0 << QStringLiteral("nothing to load");
    QTest::newRow("utf-16le-with-mark") << QStringLiteral("UTF-16LE mark") << 0 << QStringLiteral("nothing to load");
    QTest::newRow("utf-16be-with-mark") << QStringLiteral("UTF-16BE mark") << 0 << QStringLiteral("nothing to load");
    QTest::newRow("utf-32le-with-mark") << QStringLiteral("UTF-32LE mark") << 0 << QStringLiteral("nothing to load");
    QTest::newRow("utf-16le-declared") << QStringLiteral("UTF-16LE declared") << 0
                                       << QStringLiteral("nothing to load");
    QTest::newRow("latin-1-declared") << QStringLiteral("ISO-8859-1 declared") << 0
                                      << QStringLiteral("nothing to load");
    QTest::newRow("not-utf-8") << QStringLiteral("broken") << 1 << QStringLiteral("is not valid UTF-8 text");
    QTest::newRow("unknown-encoding") << QStringLiteral("unknown declared") << 1 << QStringLiteral("encoding");
}

void tst_WorkbenchFiles::stickFilesAreDecodedLikeAStickReader()
{
    QFETCH(QString, encoding);
    QFETCH(int, status);
    QFETCH(QString, message);

    QString const text = QString::fromUtf8(WorkbenchProcess::fileBytes(path(QStringLiteral("start.xml"))));
    QString const body = text.mid(text.indexOf(QLatin1Char('<')));
    QByteArray bytes;
    QString const codecName = encoding.section(QLatin1Char(' '), 0, 0);
    if (encoding.endsWith(QLatin1String("mark"))) {
        QTextCodec* codec = QTextCodec::codecForName(codecName.toLatin1());
        QVERIFY(codec);
        bytes = codec->fromUnicode(QChar(0xFEFF) + body);
        if (codecName == QLatin1String("UTF-8"))
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    } else if (encoding.endsWith(QLatin1String("declared"))) {
        QString const name = codecName == QLatin1String("unknown") ? QStringLiteral("x-no-such-encoding") : codecName;
        QString const declared = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(name) + body;
        QTextCodec* codec = QTextCodec::codecForName(codecName == QLatin1String("unknown") ? "UTF-8"
                                                                                            : codecName.toLatin1());
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        bytes = codec->fromUnicode(declared.constData(), declared.size(), &state);
    } else {
        bytes = body.toUtf8();
        bytes.insert(bytes.indexOf("<value"), "\xC3\x28"); // an invalid UTF-8 sequence
    }
    QVERIFY(writeBytes(path(QStringLiteral("stick.xml")), bytes));

    Result const result = m_bench->run(
        {QStringLiteral("--import"), path(QStringLiteral("stick.xml")), QStringLiteral("--confirm"), QStringLiteral("all")});
    QCOMPARE(result.status, status);
    QVERIFY2((status == 0 ? result.out : result.err).contains(message), qPrintable(result.out + result.err));
}

// Killed at a random moment of an import that changes node 19's record, the
// node memory file holds that record either as before or as after, in full.
void tst_WorkbenchFiles::killedImportLeavesOldOrNewMemory()
{
    QString const instrumentFile = path(QStringLiteral("instrument.json"));
    QString const changed = path(QStringLiteral("changed.xml"));
    QString text = QString::fromUtf8(WorkbenchProcess::fileBytes(path(QStringLiteral("start.xml"))));
    for (char const* key : {"U-nom Offset", "U-int Gain", "I-int Offset"})
        text.replace(QRegularExpression(QStringLiteral("(key=\"%1\">)(-?\\d+)<").arg(QLatin1String(key))),
                     QStringLiteral("\\1-77<"));
    QVERIFY(writeBytes(changed, text.toUtf8()));
    QStringList const import{QStringLiteral("--import"), changed, QStringLiteral("--confirm"), QStringLiteral("all")};

    QString const oldRecord = variable(instrumentFile, "0x1375");
    Result const whole = m_bench->run(import);
    QVERIFY2(whole.status == 0, qPrintable(whole.err));
    QString const newRecord = variable(instrumentFile, "0x1375");
    QVERIFY(newRecord != oldRecord);

    QRandomGenerator random(20261210);
    for (int attempt = 0; attempt < 20; ++attempt) {
        QVERIFY(writeBytes(instrumentFile, m_instrument));
        QProcess process;
        m_bench->start(process, import);
        QVERIFY(process.waitForStarted());
        QThread::msleep(random.bounded(50, 1500));
        ::kill(static_cast<pid_t>(process.processId()), attempt % 2 == 0 ? SIGKILL : SIGTERM);
        QVERIFY(process.waitForFinished(20000));

        LonSimulator memory;
        QString error;
        QVERIFY2(memory.loadMemory(instrumentFile, QStringLiteral("nt3-full"), &error), qPrintable(error));
        QString const record = variable(instrumentFile, "0x1375");
        QVERIFY2(record == oldRecord || record == newRecord, qPrintable(record));
    }
}

QTEST_GUILESS_MAIN(tst_WorkbenchFiles)
#include "tst_workbenchfiles.moc"
