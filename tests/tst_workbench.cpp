// The workbench as a user runs it: the built program, one process per run, on
// a node memory file that lives between runs.
#include <QApplication>
#include <algorithm>
#include <QDomDocument>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "module/LonCalibration.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"
#include "support/WorkbenchProcess.h"

namespace {

using Run = WorkbenchProcess::Result;

// Export document as (key, value) rows in document order.
using Values = QList<QPair<QString, QString>>;

Values readValues(QString const& path)
{
    Values values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    QDomDocument document;
    if (!document.setContent(&file))
        return values;
    for (QDomElement row = document.documentElement().firstChildElement(QStringLiteral("value")); !row.isNull();
         row = row.nextSiblingElement(QStringLiteral("value")))
        values.append({row.attribute(QStringLiteral("key")), row.text()});
    return values;
}

bool writeValues(QString const& path, Values const& values)
{
    QDomDocument document;
    QDomElement root = document.createElement(QStringLiteral("calibration"));
    document.appendChild(root);
    for (auto const& row : values) {
        QDomElement element = document.createElement(QStringLiteral("value"));
        element.setAttribute(QStringLiteral("key"), row.first);
        element.appendChild(document.createTextNode(row.second));
        root.appendChild(element);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(document.toByteArray(2)) > 0;
}

QString valueOf(Values const& values, QString const& key)
{
    for (auto const& row : values) {
        if (row.first == key)
            return row.second;
    }
    return QString();
}


// The lines of a run that the load dialog produced, without file names.
QStringList loadDialogLines(QString const& out)
{
    QStringList lines;
    for (QString const& line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Load calibration:")) || line.startsWith(QLatin1String("Confirm:"))
            || line.startsWith(QLatin1String("Skip:")))
            lines << line;
    }
    return lines;
}


} // namespace

class tst_Workbench : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsEveryProfileNameFirst();
    void headlessRunWithoutActionsDrivesTheLifecycle();
    void exportHoldsExactlyTheKeysOfTheInstrument_data();
    void exportHoldsExactlyTheKeysOfTheInstrument();
    void importWritesConfirmedValuesOnly_data();
    void importWritesConfirmedValuesOnly();
    void importRefusesAFileWithAValueItsFieldCannotHold();
    void setValuePersistsAcrossRuns_data();
    void setValuePersistsAcrossRuns();
    void setRefusesWhatTheInstrumentCannotTake_data();
    void setRefusesWhatTheInstrumentCannotTake();
    void typedNumbersOutsideTheFieldAreRefused_data();
    void typedNumbersOutsideTheFieldAreRefused();
    void diffListsTheKeysThatDiffer_data();
    void diffListsTheKeysThatDiffer();
    void printedPdfShowsTheValues();
    void screenshotsShowTheMenuAndEveryDialog_data();
    void screenshotsShowTheMenuAndEveryDialog();
    void failuresEndWithAClearMessage_data();
    void failuresEndWithAClearMessage();
    void loadFromStickMatchesImport_data();
    void loadFromStickMatchesImport();
    void printsStayAndGoOnTheStickWithTheSerial();
    void aStickCopyThatFailsEndsTheRun();
    void eventsReachTheOtherModules_data();
    void eventsReachTheOtherModules();

private:
    QString path(QString const& name) const { return m_dir->filePath(name); }
    // Runs the workbench on this test's instrument, configuration and log files.
    Run run(QString const& profile, QStringList const& arguments);
    // The module's own export for the profile, linked into this process.
    static QString referenceExport(InstrumentProfile const& profile);

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_Workbench::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_Workbench::cleanup()
{
    m_dir.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

Run tst_Workbench::run(QString const& profile, QStringList const& arguments)
{
    QStringList all;
    if (!profile.isEmpty())
        all << QStringLiteral("--profile") << profile;
    return WorkbenchProcess(m_dir->path()).run(all + arguments);
}

QString tst_Workbench::referenceExport(InstrumentProfile const& profile)
{
    HostFixture host;
    profile.applyToHost();
    host.lon()->applyProfile(profile);
    host.lon()->setAutoAnswer(true);
    host.stateMachine()->setState(2);
    LonCalibration module;
    if (!module.initialize(&host.registry))
        return QString();
    module.startModule();
    module.pollAllCalibrationValues(true);
    if (!host.lon()->waitUntilIdle(5000))
        return QString();
    QDomDocument document;
    module.writeAllCalibrationValuesToDom(document);
    module.shutdownModule();
    return document.toString(2);
}

void tst_Workbench::listsEveryProfileNameFirst()
{
    Run const result = run(QString(), {QStringLiteral("--list-profiles")});
    QCOMPARE(result.status, 0);
    QStringList names;
    for (QString const& line : result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        names << line.section(QLatin1Char(' '), 0, 0);
    QStringList expected;
    for (InstrumentProfile const& profile : InstrumentProfile::all())
        expected << profile.name;
    QCOMPARE(names, expected);
    // Each instrument names its own hardware version, and the serial when given.
    Run const withSerial
        = run(QString(), {QStringLiteral("--list-profiles"), QStringLiteral("--serial"), QStringLiteral("SN-7")});
    QStringList versions;
    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        QVERIFY(!versions.contains(profile.hardwareVersion));
        versions << profile.hardwareVersion;
        QVERIFY2(withSerial.out.contains(
                     QStringLiteral("%1  %2  SN: SN-7").arg(profile.description, profile.hardwareVersion)),
            qPrintable(withSerial.out));
    }
    // Listing needs no instrument, so none is created.
    QVERIFY(!QFile::exists(path(QStringLiteral("instrument.json"))));
}

void tst_Workbench::headlessRunWithoutActionsDrivesTheLifecycle()
{
    Run const result = run(QString(), {QStringLiteral("--headless")});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    for (char const* step : {"suitable", "initialize  ok", "start       ok", "menu        /lon", "shut down"})
        QVERIFY2(result.out.contains(QLatin1String(step)), step);
    QVERIFY(result.out.contains(InstrumentProfile::defaultName()));
    // A new instrument starts from the profile's memory and is kept.
    LonSimulator lon;
    QVERIFY(lon.loadMemory(path(QStringLiteral("instrument.json"))));
}

void tst_Workbench::exportHoldsExactlyTheKeysOfTheInstrument_data()
{
    QTest::addColumn<QString>("profile");
    for (InstrumentProfile const& profile : InstrumentProfile::all())
        QTest::newRow(qPrintable(profile.name)) << profile.name;
}

void tst_Workbench::exportHoldsExactlyTheKeysOfTheInstrument()
{
    QFETCH(QString, profile);
    InstrumentProfile const* instrument = InstrumentProfile::find(profile);
    QVERIFY(instrument != nullptr);

    Run const result = run(profile, {QStringLiteral("--export"), path(QStringLiteral("export.xml"))});
    QVERIFY2(result.status == 0, qPrintable(result.err));

    // What the nodes hold is what the module, linked here, reads from the same instrument.
    QString const expected = referenceExport(*instrument);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(QString::fromUtf8(WorkbenchProcess::fileBytes(path(QStringLiteral("export.xml")))), expected);

    Values const values = readValues(path(QStringLiteral("export.xml")));
    QVERIFY(!values.isEmpty());
    QVERIFY(result.out.contains(QStringLiteral("exported %1 values").arg(values.size())));
}

void tst_Workbench::importWritesConfirmedValuesOnly_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<bool>("changes");
    QTest::newRow("nt3-full-all") << QStringLiteral("nt3-full") << QStringLiteral("all") << true;
    QTest::newRow("nt3-full-none") << QStringLiteral("nt3-full") << QStringLiteral("none") << false;
    QTest::newRow("nt1-compact-all") << QStringLiteral("nt1-compact") << QStringLiteral("all") << true;
    QTest::newRow("nt3-hvdc-hw7-all") << QStringLiteral("nt3-hvdc-hw7") << QStringLiteral("all") << true;
}

void tst_Workbench::importWritesConfirmedValuesOnly()
{
    QFETCH(QString, profile);
    QFETCH(QString, confirm);
    QFETCH(bool, changes);
    QString const before = path(QStringLiteral("before.xml"));
    QString const edited = path(QStringLiteral("edited.xml"));
    QString const after = path(QStringLiteral("after.xml"));
    QString const later = path(QStringLiteral("later.xml"));

    Run result = run(profile, {QStringLiteral("--export"), before});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    Values const original = readValues(before);
    QVERIFY(original.size() >= 3);
    QByteArray const memoryBefore = WorkbenchProcess::fileBytes(path(QStringLiteral("instrument.json")));

    // Three calibration constants move by one, within any field's range.
    Values changed = original;
    QList<int> rows;
    for (int i = 0; i < changed.size() && rows.size() < 3; ++i) {
        if (changed[i].first.isEmpty() || changed[i].first.contains(QLatin1String("Counter")))
            continue;
        int const value = changed[i].second.toInt();
        changed[i].second = QString::number(value < 0 ? value + 1 : value - 1);
        rows << i;
    }
    QCOMPARE(rows.size(), 3);
    QVERIFY(writeValues(edited, changed));

    result = run(profile,
        {QStringLiteral("--import"), edited, QStringLiteral("--confirm"), confirm, QStringLiteral("--export"), after});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY(result.out.contains(
        QStringLiteral("Load calibration: %1 loaded, %2 equal").arg(original.size()).arg(original.size() - 3)));
    // Every differing value was asked about, with its old and new number.
    QString const answer = changes ? QStringLiteral("Confirm: ") : QStringLiteral("Skip: ");
    QCOMPARE(result.out.count(answer), 3);
    for (int i : rows) {
        QVERIFY2(
            result.out.contains(
                QStringLiteral(".%1: from %2 to %3").arg(original[i].first, original[i].second, changed[i].second)),
            qPrintable(result.out));
    }
    QCOMPARE(readValues(after), changes ? changed : original);

    // The node memory file holds the outcome after the program has ended.
    QCOMPARE(WorkbenchProcess::fileBytes(path(QStringLiteral("instrument.json"))) != memoryBefore, changes);
    result = run(profile, {QStringLiteral("--export"), later});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QCOMPARE(readValues(later), changes ? changed : original);
}

void tst_Workbench::importRefusesAFileWithAValueItsFieldCannotHold()
{
    QString const before = path(QStringLiteral("before.xml"));
    QString const edited = path(QStringLiteral("edited.xml"));
    Run result = run(QString(), {QStringLiteral("--export"), before});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    Values values = readValues(before);
    for (auto& row : values) {
        if (row.first == QLatin1String("U-mains Gain"))
            row.second = QStringLiteral("5");
        if (row.first == QLatin1String("U-nom Offset"))
            row.second = QStringLiteral("500"); // more than its byte holds
    }
    QVERIFY(writeValues(edited, values));

    // A value its field cannot hold makes the whole file invalid: nothing is written.
    result = run(QString(), {QStringLiteral("--import"), edited, QStringLiteral("--confirm"), QStringLiteral("all")});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(QLatin1String("Invalid file")), qPrintable(result.err));
    QString const after = path(QStringLiteral("after.xml"));
    result = run(QString(), {QStringLiteral("--export"), after});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QCOMPARE(readValues(after), readValues(before));
}

void tst_Workbench::setValuePersistsAcrossRuns_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QStringList>("assignments");
    QTest::newRow("nt3-full") << QStringLiteral("nt3-full")
                              << QStringList{QStringLiteral("U-nom Offset=5"), QStringLiteral("I-iso Gain=-7")};
    QTest::newRow("nt1-compact-counter-free")
        << QStringLiteral("nt1-compact") << QStringList{QStringLiteral("U-nom Gain 8 kV (DC)=6")};
    QTest::newRow("nt3-full-counter") << QStringLiteral("nt3-full")
                                      << QStringList{QStringLiteral("VLF start Counter=400")};
}

void tst_Workbench::setValuePersistsAcrossRuns()
{
    QFETCH(QString, profile);
    QFETCH(QStringList, assignments);
    QStringList arguments;
    for (QString const& assignment : assignments)
        arguments << QStringLiteral("--set") << assignment;

    Run result = run(profile, arguments);
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QString const log = QString::fromUtf8(WorkbenchProcess::fileBytes(path(QStringLiteral("service.log"))));
    QVERIFY2(log.contains(QLatin1String("Switch on LON-Calibration mode")), qPrintable(log));

    result = run(profile, {QStringLiteral("--export"), path(QStringLiteral("export.xml"))});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    Values const values = readValues(path(QStringLiteral("export.xml")));
    for (QString const& assignment : assignments) {
        QString const key = assignment.section(QLatin1Char('='), 0, 0);
        QCOMPARE(valueOf(values, key), assignment.section(QLatin1Char('='), 1));
    }
}

void tst_Workbench::setRefusesWhatTheInstrumentCannotTake_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown-key") << QStringLiteral("nt3-full") << QStringLiteral("No such key=1")
                                 << QStringLiteral("unknown key");
    QTest::newRow("not-a-number") << QStringLiteral("nt3-full") << QStringLiteral("U-nom Offset=abc")
                                  << QStringLiteral("not a whole number");
    QTest::newRow("not-on-this-instrument") << QStringLiteral("nt1-compact") << QStringLiteral("VLF start Counter=3")
                                            << QStringLiteral("not held by this instrument");
    QTest::newRow("beyond-the-field") << QStringLiteral("nt3-full") << QStringLiteral("U-nom Offset=500")
                                      << QStringLiteral("out of its range");
}

void tst_Workbench::setRefusesWhatTheInstrumentCannotTake()
{
    QFETCH(QString, profile);
    QFETCH(QString, assignment);
    QFETCH(QString, message);
    QString const before = path(QStringLiteral("before.xml"));
    QString const after = path(QStringLiteral("after.xml"));

    Run result = run(profile, {QStringLiteral("--export"), before});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    result = run(profile, {QStringLiteral("--set"), assignment});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));

    // A refused value leaves the instrument as it was, in the file too.
    result = run(profile, {QStringLiteral("--export"), after});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QCOMPARE(readValues(after), readValues(before));
}

// A person types into a dialog's field: a number the field cannot hold is
// refused where it is typed, and nothing reaches the node.
void tst_Workbench::typedNumbersOutsideTheFieldAreRefused_data()
{
    QTest::addColumn<QString>("typing");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("beyond-the-byte") << QStringLiteral("PSU/U-mains Gain=500") << 1
                                     << QStringLiteral("refused 500 (-128 to 127)");
    QTest::newRow("beyond-the-counter-field") << QStringLiteral("Surge Counters/Surge Counter 2 kV=7000") << 1
                                              << QStringLiteral("the node did not take 7000");
    QTest::newRow("in-range") << QStringLiteral("PSU/U-mains Gain=9") << 0 << QStringLiteral("typed U-mains Gain = 9");
}

void tst_Workbench::typedNumbersOutsideTheFieldAreRefused()
{
    QFETCH(QString, typing);
    QFETCH(int, status);
    QFETCH(QString, message);
    QString const before = path(QStringLiteral("before.xml"));
    QString const after = path(QStringLiteral("after.xml"));
    Run result = run(QString(), {QStringLiteral("--export"), before});
    QVERIFY2(result.status == 0, qPrintable(result.err));

    result = run(QString(), {QStringLiteral("--type"), typing});
    QCOMPARE(result.status, status);
    QVERIFY2((result.out + result.err).contains(message), qPrintable(result.out + result.err));
    result = run(QString(), {QStringLiteral("--export"), after});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    if (status != 0)
        QCOMPARE(readValues(after), readValues(before));
    else
        QCOMPARE(valueOf(readValues(after), QStringLiteral("U-mains Gain")), QStringLiteral("9"));
}

// Two calibration documents compared value by value, whatever their layout.
void tst_Workbench::diffListsTheKeysThatDiffer_data()
{
    QTest::addColumn<QString>("change"); // what is done to a copy of the export
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // the key lines printed, in order

    QTest::newRow("two-edits") << QStringLiteral("edit") << 1
                               << QStringList{"U-mains Gain: -2 -> 9", "I-iso Gain: 6 -> -7"};
    QTest::newRow("reordered-unindented") << QStringLiteral("reorder") << 0 << QStringList{};
    QTest::newRow("one-key-left-out") << QStringLiteral("drop") << 1 << QStringList{"VLF start Counter: 321 -> -"};
    QTest::newRow("not-a-document") << QStringLiteral("garbage") << 2 << QStringList{};
    QTest::newRow("unknown-key") << QStringLiteral("unknown") << 2 << QStringList{};
}

void tst_Workbench::diffListsTheKeysThatDiffer()
{
    QFETCH(QString, change);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QString const first = path(QStringLiteral("first.xml"));
    QString const second = path(QStringLiteral("second.xml"));
    Run result = run(QString(), {QStringLiteral("--export"), first});
    QVERIFY2(result.status == 0, qPrintable(result.err));

    Values values = readValues(first);
    QByteArray text;
    if (change == QLatin1String("edit")) {
        for (auto& row : values) {
            if (row.first == QLatin1String("U-mains Gain"))
                row.second = QStringLiteral("9");
            if (row.first == QLatin1String("I-iso Gain"))
                row.second = QStringLiteral("-7");
        }
    } else if (change == QLatin1String("reorder")) {
        std::reverse(values.begin(), values.end());
    } else if (change == QLatin1String("drop")) {
        values.erase(std::remove_if(values.begin(), values.end(),
                                    [](auto const& row) { return row.first == QLatin1String("VLF start Counter"); }),
                     values.end());
    } else if (change == QLatin1String("unknown")) {
        values.append({QStringLiteral("No such key"), QStringLiteral("1")});
    }
    if (change == QLatin1String("garbage")) {
        QFile file(second);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("key=value\n") > 0);
    } else if (change == QLatin1String("reorder")) {
        // One line, in UTF-16: the layout and the encoding do not matter.
        QString line = QStringLiteral("<calibration>");
        for (auto const& row : values)
            line += QStringLiteral("<value key=\"%1\">%2</value>").arg(row.first, row.second);
        QFile file(second);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xFF\xFE");
        QString const all = line + QStringLiteral("</calibration>");
        file.write(reinterpret_cast<char const*>(all.utf16()), all.size() * 2);
    } else {
        QVERIFY(writeValues(second, values));
    }

    result = run(QString(), {QStringLiteral("--diff"), first, second});
    QCOMPARE(result.status, status);
    QStringList printed = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (status == 2) {
        QVERIFY2(result.err.contains(second), qPrintable(result.err));
        return;
    }
    QVERIFY(!printed.isEmpty());
    printed.removeLast(); // the count
    QCOMPARE(printed, lines);
}

void tst_Workbench::printedPdfShowsTheValues()
{
    QString const pdf = path(QStringLiteral("sheet/calibration.pdf"));
    Run const result = run(QStringLiteral("nt3-full"),
        {QStringLiteral("--set"), QStringLiteral("U-mains Gain=9"), QStringLiteral("--print"), pdf});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY(WorkbenchProcess::fileBytes(pdf).startsWith("%PDF"));

    QString const pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    QProcess process;
    process.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(process.waitForFinished(30000));
    QString const text = QString::fromUtf8(process.readAllStandardOutput());
    // The value just set, and values straight from the profile's memory.
    for (char const* row : {"U-mains Gain +9\\b", "VLF start Counter +321\\b", "Surge Counter 2 kV x 100 +1234\\b"})
        QVERIFY2(text.contains(QRegularExpression(QLatin1String(row))), qPrintable(text));
}

void tst_Workbench::screenshotsShowTheMenuAndEveryDialog_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QStringList>("dialogs");
    QTest::newRow("nt3-full") << QStringLiteral("nt3-full")
                              << QStringList{QStringLiteral("1-Info"), QStringLiteral("3-PSU"), QStringLiteral("4-ISO"),
                                     QStringLiteral("5-DC"), QStringLiteral("6-BRN"),
                                     QStringLiteral("7-Surge-Counters"), QStringLiteral("8-VLF"),
                                     QStringLiteral("9-Alarm-Test"), QStringLiteral("10-Test-Functions")};
    QTest::newRow("nt3-hvdc-hw7") << QStringLiteral("nt3-hvdc-hw7")
                                  << QStringList{QStringLiteral("1-Info"), QStringLiteral("4-HV-DC-Configuration"),
                                         QStringLiteral("5-DC"), QStringLiteral("10-Test-Functions")};
}

void tst_Workbench::screenshotsShowTheMenuAndEveryDialog()
{
    QFETCH(QString, profile);
    QFETCH(QStringList, dialogs);
    QString const folder = path(QStringLiteral("shots"));
    Run const result = run(profile, {QStringLiteral("--screenshots"), folder});
    QVERIFY2(result.status == 0, qPrintable(result.err));

    QImage const menu(QDir(folder).filePath(QStringLiteral("menu.png")));
    QVERIFY(!menu.isNull());
    QVERIFY(menu.width() > 4 * menu.height());
    QImage const window(QDir(folder).filePath(QStringLiteral("window.png")));
    QVERIFY(window.width() > menu.width() && window.height() > menu.height());
    // "Load from USB-Stick" in Info reaches the stick module, which opens its chooser.
    QVERIFY(!QImage(QDir(folder).filePath(QStringLiteral("stick-chooser.png"))).isNull());

    QStringList shots = QDir(folder).entryList({QStringLiteral("[0-9]*.png")}, QDir::Files);
    for (QString& shot : shots)
        shot.chop(4);
    std::sort(shots.begin(), shots.end(), [](QString const& a, QString const& b) {
        return a.section(QLatin1Char('-'), 0, 0).toInt() < b.section(QLatin1Char('-'), 0, 0).toInt();
    });
    QCOMPARE(shots, dialogs);
    for (QString const& shot : shots) {
        QImage const image(QDir(folder).filePath(shot + QStringLiteral(".png")));
        // A dialog with a title bar and at least one row, not an empty grab.
        QVERIFY2(image.width() >= 200 && image.height() >= 100, qPrintable(shot));
    }
}

void tst_Workbench::failuresEndWithAClearMessage_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QByteArray>("instrument"); // written first when not empty
    QTest::addColumn<QByteArray>("input"); // the file handed to --import
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QStringList const importInput{QStringLiteral("--import"), QStringLiteral("@input"), QStringLiteral("--confirm"),
        QStringLiteral("all"), QStringLiteral("--export"), QStringLiteral("@output")};
    QTest::newRow("unknown-profile") << QStringLiteral("no-such-instrument") << QByteArray() << QByteArray()
                                     << QStringList{QStringLiteral("--export"), QStringLiteral("@output")} << 2
                                     << QStringLiteral("unknown profile 'no-such-instrument'");
    QTest::newRow("import-missing-file") << QString() << QByteArray() << QByteArray()
                                         << QStringList{QStringLiteral("--import"), QStringLiteral("@missing"),
                                                QStringLiteral("--confirm"), QStringLiteral("all")}
                                         << 1 << QStringLiteral("cannot read");
    QTest::newRow("import-not-xml") << QString() << QByteArray() << QByteArray("key=value\n") << importInput << 1
                                    << QStringLiteral("not a calibration file");
    QTest::newRow("import-empty") << QString() << QByteArray() << QByteArray("\n") << importInput << 1
                                  << QStringLiteral("empty");
    QTest::newRow("import-unknown-key")
        << QString() << QByteArray()
        << QByteArray("<calibration><value key=\"U-mains Gain\">1</value><value key=\"Bogus\">2</value></calibration>")
        << importInput << 1 << QStringLiteral("\"Invalid file\"");
    QTest::newRow("instrument-not-json") << QString() << QByteArray("{ not json") << QByteArray()
                                         << QStringList{QStringLiteral("--export"), QStringLiteral("@output")} << 1
                                         << QStringLiteral("cannot use instrument file");
    QTest::newRow("instrument-of-another-profile")
        << QStringLiteral("nt3-full") << QByteArray("{\"profile\": \"nt0\", \"variables\": {\"0x1275\": \"0102\"}}")
        << QByteArray() << QStringList{QStringLiteral("--export"), QStringLiteral("@output")} << 1
        << QStringLiteral("belongs to profile 'nt0', not 'nt3-full'");
    QTest::newRow("import-without-confirm")
        << QString() << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("--import"), QStringLiteral("@input")} << 2 << QStringLiteral("--confirm");
    QTest::newRow("vlf-on-an-instrument-without-one")
        << QStringLiteral("nt1-compact") << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("--vlf-unom"), QStringLiteral("Enable U-nom Gain")} << 1
        << QStringLiteral("has no \"VLF\"");
    QTest::newRow("vlf-unknown-switch") << QStringLiteral("nt9") << QByteArray() << QByteArray()
                                        << QStringList{QStringLiteral("--vlf-unom"), QStringLiteral("No such switch")}
                                        << 1 << QStringLiteral("no switch \"No such switch\"");
    QTest::newRow("stick-file-missing") << QString() << QByteArray() << QByteArray()
                                        << QStringList{QStringLiteral("--load-from-stick"), QStringLiteral("none.xml"),
                                               QStringLiteral("--confirm"), QStringLiteral("all")}
                                        << 1 << QStringLiteral("cannot read");
    QTest::newRow("output-folder-is-a-file") << QString() << QByteArray() << QByteArray("not a folder")
                                             << QStringList{QStringLiteral("--output"), QStringLiteral("@input"),
                                                    QStringLiteral("--export"), QStringLiteral("@output")}
                                             << 1 << QStringLiteral("cannot create the print folder");
    QTest::newRow("revert-without-a-session") << QString() << QByteArray() << QByteArray()
                                              << QStringList{QStringLiteral("--revert")} << 1
                                              << QStringLiteral("--revert: no calibration session is open");
    QTest::newRow("session-report-without-a-session")
        << QString() << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("--session-report"), QStringLiteral("@report")} << 1
        << QStringLiteral("no calibration session in this run");
    QTest::newRow("session-report-in-a-missing-folder")
        << QString() << QByteArray() << QByteArray()
        << QStringList{QStringLiteral("--set"), QStringLiteral("U-mains Gain=1"), QStringLiteral("--session-report"),
               QStringLiteral("@missing/report")}
        << 1 << QStringLiteral("report.xml");
    QTest::newRow("unknown-option") << QString() << QByteArray() << QByteArray()
                                    << QStringList{QStringLiteral("--exprot"), QStringLiteral("@output")} << 2
                                    << QStringLiteral("unknown option '--exprot'");
}

void tst_Workbench::failuresEndWithAClearMessage()
{
    QFETCH(QString, profile);
    QFETCH(QByteArray, instrument);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);

    QString const instrumentFile = path(QStringLiteral("instrument.json"));
    if (!instrument.isEmpty()) {
        QFile file(instrumentFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(instrument);
    }
    if (!input.isEmpty()) {
        QFile file(path(QStringLiteral("input.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(input);
    }
    for (QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('@')))
            argument = path(argument.mid(1) + QStringLiteral(".xml"));
    }

    Run const result = run(profile, arguments);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.startsWith(QLatin1String("loncal-workbench: ")) && result.err.contains(message),
        qPrintable(result.err));
    // Nothing half done is left behind as if it had worked.
    QVERIFY(!QFile::exists(path(QStringLiteral("output.xml"))));
    if (!instrument.isEmpty())
        QCOMPARE(WorkbenchProcess::fileBytes(instrumentFile), instrument);
}

void tst_Workbench::loadFromStickMatchesImport_data()
{
    QTest::addColumn<QString>("confirm");
    QTest::newRow("all") << QStringLiteral("all");
    QTest::newRow("none") << QStringLiteral("none");
}

void tst_Workbench::loadFromStickMatchesImport()
{
    QFETCH(QString, confirm);
    // Two copies of one instrument: one loads with --import, the other the way
    // a person does, through Info, "Load from USB-Stick" and the stick module.
    WorkbenchProcess const direct(path(QStringLiteral("direct")));
    WorkbenchProcess const person(path(QStringLiteral("person")));
    QString const stick = path(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(direct.path(QString())) && QDir().mkpath(person.path(QString())) && QDir().mkpath(stick));
    Run result = direct.run({QStringLiteral("--export"), direct.path(QStringLiteral("before.xml"))});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY(
        QFile::copy(direct.path(QStringLiteral("instrument.json")), person.path(QStringLiteral("instrument.json"))));

    Values values = readValues(direct.path(QStringLiteral("before.xml")));
    for (auto& row : values) {
        if (row.first == QLatin1String("U-mains Gain") || row.first == QLatin1String("I-iso Gain"))
            row.second = QString::number(row.second.toInt() + 1);
    }
    QString const file = QDir(stick).filePath(QStringLiteral("calibration.xml"));
    QVERIFY(writeValues(file, values));

    Run const imported = direct.run({QStringLiteral("--import"), file, QStringLiteral("--confirm"), confirm});
    QVERIFY2(imported.status == 0, qPrintable(imported.err));
    Run const loaded = person.run({QStringLiteral("--stick"), stick, QStringLiteral("--load-from-stick"),
        QStringLiteral("calibration.xml"), QStringLiteral("--confirm"), confirm});
    QVERIFY2(loaded.status == 0, qPrintable(loaded.err));

    QVERIFY(loaded.out.contains(QLatin1String("stick: load requested")));
    QCOMPARE(loadDialogLines(loaded.out), loadDialogLines(imported.out));
    QCOMPARE(loadDialogLines(loaded.out).size(), 3);
    QCOMPARE(WorkbenchProcess::fileBytes(person.path(QStringLiteral("instrument.json"))),
        WorkbenchProcess::fileBytes(direct.path(QStringLiteral("instrument.json"))));
}

void tst_Workbench::printsStayAndGoOnTheStickWithTheSerial()
{
    QString const output = path(QStringLiteral("prints"));
    QString const stick = path(QStringLiteral("stick"));
    QStringList const folders{QStringLiteral("--output"), output, QStringLiteral("--stick"), stick};

    // The service print stays in the output folder after the program has ended.
    Run result = run(QString(), folders + QStringList{QStringLiteral("--print"), path(QStringLiteral("sheet.pdf"))});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY(WorkbenchProcess::fileBytes(QDir(output).filePath(QStringLiteral("Calibration.pdf"))).startsWith("%PDF"));
    QVERIFY(QDir(stick).entryList(QDir::Files).isEmpty());

    // Printed from the Info window, the module hands it to the stick; the
    // serial names the document, with the slash made safe for a file name.
    result = run(QString(),
        folders + QStringList{QStringLiteral("--serial"), QStringLiteral("SN/12"), QStringLiteral("--print-info")});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QString const copy = QDir(stick).filePath(QStringLiteral("Calibration_SN_12.pdf"));
    QVERIFY2(WorkbenchProcess::fileBytes(copy).startsWith("%PDF"), qPrintable(result.out));
    QCOMPARE(WorkbenchProcess::fileBytes(copy), WorkbenchProcess::fileBytes(QDir(output).filePath(QStringLiteral("Calibration_SN_12.pdf"))));
    QVERIFY(result.out.contains(QStringLiteral("stick: copied %1").arg(copy)));

    QString const text = WorkbenchProcess::pdfText(copy);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QVERIFY2(text.contains(QLatin1String("SN: SN/12")), qPrintable(text));
    QVERIFY2(text.contains(InstrumentProfile::all().first().hardwareVersion), qPrintable(text));
}

void tst_Workbench::aStickCopyThatFailsEndsTheRun()
{
    // A folder where the copy should go: the stick cannot take the file.
    QString const stick = path(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(QDir(stick).filePath(QStringLiteral("Calibration.pdf"))));
    Run const result = run(QString(),
        {QStringLiteral("--stick"), stick, QStringLiteral("--output"), path(QStringLiteral("prints")),
            QStringLiteral("--print-info")});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(QStringLiteral("cannot copy Calibration.pdf to the stick folder %1").arg(stick)),
        qPrintable(result.err));
    // The print itself stays where it was written.
    QVERIFY(WorkbenchProcess::fileBytes(path(QStringLiteral("prints/Calibration.pdf"))).startsWith("%PDF"));
}

void tst_Workbench::eventsReachTheOtherModules_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("event");
    // A 40 kV adapter, current maximum 12000 from the VLF's configuration; the
    // set point is above the generator's present nominal voltage, so the
    // module asks first.
    QTest::newRow("vlf-voltage-gain") << QStringLiteral("nt9")
                                      << QStringList{QStringLiteral("--vlf-unom"), QStringLiteral("Enable U-nom Gain")}
                                      << QStringLiteral("Warning: Set U-nom to 40 kV?\n"
                                                        "dc-callback: set U=400 I=12000 (40 kV, 12 mA)\n");
    QTest::newRow("vlf-current-offset")
        << QStringLiteral("nt9") << QStringList{QStringLiteral("--vlf-unom"), QStringLiteral("Enable I-nom Offset")}
        << QStringLiteral("Warning: Set U-nom to 10 kV?\ndc-callback: set U=100 I=480 (10 kV, 0.48 mA)\n");
    QTest::newRow("iso-start") << QStringLiteral("nt3-full")
                               << QStringList{QStringLiteral("--press"), QStringLiteral("ISO/Start")}
                               << QStringLiteral("iso start\npressed ISO/Start\n");
    QTest::newRow("iso-start-nt0") << QStringLiteral("nt0")
                                   << QStringList{QStringLiteral("--press"), QStringLiteral("ISO/Start")}
                                   << QStringLiteral("iso start\npressed ISO/Start\n");
}

void tst_Workbench::eventsReachTheOtherModules()
{
    QFETCH(QString, profile);
    QFETCH(QStringList, arguments);
    QFETCH(QString, event);
    Run const result = run(profile, arguments);
    QVERIFY2(result.status == 0, qPrintable(result.err + result.out));
    // Each event once, in its place in the run's journal.
    QVERIFY2(result.out.count(event) == 1, qPrintable(result.out));
}

QTEST_MAIN(tst_Workbench)
#include "tst_workbench.moc"
