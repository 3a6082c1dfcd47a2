// Calibration sessions of the workbench as a user runs them: the journal file
// beside the node memory, the session report, the way back to the values found.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "support/WorkbenchProcess.h"

namespace {

using Run = WorkbenchProcess::Result;

QString const kOffset = QStringLiteral("U-nom Offset");
QString const kGain = QStringLiteral("I-int Gain");


// The value of a key in an export, read as text.
QString exportedValue(QString const& path, QString const& key)
{
    QRegularExpression const row(
        QStringLiteral("<value key=\"%1\">([^<]*)</value>").arg(QRegularExpression::escape(key)));
    return row.match(QString::fromUtf8(WorkbenchProcess::fileBytes(path))).captured(1);
}

// The journal a run opened, as its standard output names it.
QString journalOf(QString const& out)
{
    QRegularExpression const line(QStringLiteral("calibration session opened, journal (\\S+)"));
    return line.match(out).captured(1);
}

// Every line of a journal as a JSON object; a line that is not one fails.
QList<QJsonObject> journalLines(QString const& path)
{
    QList<QJsonObject> lines;
    for (QByteArray const& line : WorkbenchProcess::fileBytes(path).split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        QJsonDocument const document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            qWarning("not a journal line: %s", line.constData());
            return {};
        }
        lines << document.object();
    }
    return lines;
}

// The journal's write that changed the key: its entry, or an empty object.
QJsonObject writeOf(QList<QJsonObject> const& lines, QString const& key)
{
    for (QJsonObject const& line : lines) {
        if (line.value(QStringLiteral("kind")).toString() != QLatin1String("write"))
            continue;
        for (QJsonValue const& change : line.value(QStringLiteral("keys")).toArray()) {
            if (change.toObject().value(QStringLiteral("key")).toString() == key)
                return line;
        }
    }
    return {};
}


} // namespace

class tst_WorkbenchSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twoSetsAreJournalledAndReported();
    void revertBringsTheExportBackExactly();
    void aKilledRunLeavesTheJournalOfItsWrites();

private:
    QString path(QString const& name) const { return m_dir->filePath(name); }
    Run run(QStringList const& arguments) const { return WorkbenchProcess(m_dir->path()).run(arguments); }
    // The values found, from an export of an untouched instrument.
    void exportFound(QString* offset, QString* gain);

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_WorkbenchSession::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_WorkbenchSession::cleanup()
{
    m_dir.reset();
}

void tst_WorkbenchSession::exportFound(QString* offset, QString* gain)
{
    Run const found = run({QStringLiteral("--export"), path(QStringLiteral("found.xml"))});
    QVERIFY2(found.status == 0, qPrintable(found.err));
    *offset = exportedValue(path(QStringLiteral("found.xml")), kOffset);
    *gain = exportedValue(path(QStringLiteral("found.xml")), kGain);
    QVERIFY(!offset->isEmpty() && !gain->isEmpty());
}

void tst_WorkbenchSession::twoSetsAreJournalledAndReported()
{
    QString offset;
    QString gain;
    exportFound(&offset, &gain);
    int const newOffset = offset.toInt() + 3;
    int const newGain = gain.toInt() - 2;
    QString const report = path(QStringLiteral("session.pdf"));
    Run const result = run({QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kOffset).arg(newOffset),
        QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kGain).arg(newGain), QStringLiteral("--user"),
        QStringLiteral("Technician A"), QStringLiteral("--session-report"), report});
    QVERIFY2(result.status == 0, qPrintable(result.err));

    // The journal lies beside the node memory and names both writes with their bytes.
    QString const journal = journalOf(result.out);
    QCOMPARE(QFileInfo(journal).absolutePath(), QFileInfo(path(QStringLiteral("instrument.json"))).absolutePath());
    QList<QJsonObject> const lines = journalLines(journal);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first().value(QStringLiteral("kind")).toString(), QStringLiteral("start"));
    QCOMPARE(lines.first().value(QStringLiteral("user")).toString(), QStringLiteral("Technician A"));
    QCOMPARE(lines.last().value(QStringLiteral("kind")).toString(), QStringLiteral("end"));
    QJsonObject const asLeft = lines.last().value(QStringLiteral("asLeft")).toObject();
    QCOMPARE(asLeft.value(kOffset).toString(), QString::number(newOffset));
    struct Expected
    {
        QString key;
        QString before;
        QString after;
    };
    for (Expected const& expected : {Expected{kOffset, offset, QString::number(newOffset)},
             Expected{kGain, gain, QString::number(newGain)}}) {
        QJsonObject const write = writeOf(lines, expected.key);
        QVERIFY2(!write.isEmpty(), qPrintable(expected.key));
        QString const before = write.value(QStringLiteral("before")).toString();
        QString const after = write.value(QStringLiteral("after")).toString();
        QVERIFY(!before.isEmpty() && !after.isEmpty() && before != after);
        QVERIFY(write.value(QStringLiteral("accepted")).toBool());
        QJsonObject change;
        for (QJsonValue const& value : write.value(QStringLiteral("keys")).toArray()) {
            if (value.toObject().value(QStringLiteral("key")).toString() == expected.key)
                change = value.toObject();
        }
        QCOMPARE(change.value(QStringLiteral("before")).toString(), expected.before);
        QCOMPARE(change.value(QStringLiteral("after")).toString(), expected.after);
    }
    // Each Confirm of the load prompts is journalled with its prompt.
    int answers = 0;
    for (QJsonObject const& line : lines)
        answers += line.value(QStringLiteral("answer")).toString() == QLatin1String("Confirm") ? 1 : 0;
    QCOMPARE(answers, 2);

    // The report shows both keys with as found, as left and the difference, and the journal.
    QString const text = WorkbenchProcess::pdfText(report);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    QString const simplified = text.simplified();
    QVERIFY(simplified.contains(QStringLiteral("Technician A")));
    QVERIFY2(simplified.contains(QStringLiteral("%1 %2 %3 +3").arg(kOffset, offset).arg(newOffset)), qPrintable(text));
    QVERIFY2(simplified.contains(QStringLiteral("%1 %2 %3 -2").arg(kGain, gain).arg(newGain)), qPrintable(text));
    QVERIFY(simplified.contains(QStringLiteral("2 of ")));
    QVERIFY(simplified.contains(QStringLiteral("Confirm: HHVS.%1: from %2 to %3").arg(kOffset, offset).arg(newOffset)));
    QVERIFY(simplified.contains(QStringLiteral("Session started by Technician A")));
}

void tst_WorkbenchSession::revertBringsTheExportBackExactly()
{
    QString offset;
    QString gain;
    exportFound(&offset, &gain);
    Run const result = run({QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kOffset).arg(offset.toInt() + 1),
        QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kGain).arg(gain.toInt() + 1), QStringLiteral("--revert"),
        QStringLiteral("--export"), path(QStringLiteral("after.xml"))});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QCOMPARE(WorkbenchProcess::fileBytes(path(QStringLiteral("after.xml"))), WorkbenchProcess::fileBytes(path(QStringLiteral("found.xml"))));

    // The revert went through the load prompts and is in the journal.
    QList<QJsonObject> const lines = journalLines(journalOf(result.out));
    QStringList reverts;
    for (QJsonObject const& line : lines) {
        if (line.value(QStringLiteral("kind")).toString() == QLatin1String("revert"))
            reverts << line.value(QStringLiteral("text")).toString();
    }
    QCOMPARE(reverts.size(), 2);
    QVERIFY(reverts.first().contains(kOffset) && reverts.first().contains(kGain));
    QVERIFY(reverts.last().contains(QStringLiteral("done")));
    QVERIFY(result.out.contains(QStringLiteral("Confirm: HHVS.%1: from %2 to %3").arg(kOffset).arg(offset.toInt() + 1).arg(offset)));
}

void tst_WorkbenchSession::aKilledRunLeavesTheJournalOfItsWrites()
{
    QString offset;
    QString gain;
    exportFound(&offset, &gain);
    QString const newOffset = QString::number(offset.toInt() + 2);
    QProcess process;
    WorkbenchProcess(m_dir->path())
        .start(process, {QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kOffset, newOffset),
                            QStringLiteral("--set"), QStringLiteral("%1=%2").arg(kGain).arg(gain.toInt() + 2)});
    QString out;
    // Killed as soon as it says the first value is set: nothing ends the session.
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += QString::fromUtf8(process.readAllStandardOutput())).contains(QStringLiteral("set %1 =").arg(kOffset)),
        30000);
    process.kill();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);

    QList<QJsonObject> const lines = journalLines(journalOf(out));
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first().value(QStringLiteral("kind")).toString(), QStringLiteral("start"));
    QJsonObject const write = writeOf(lines, kOffset);
    QVERIFY(!write.isEmpty());
    QVERIFY(write.value(QStringLiteral("before")).toString() != write.value(QStringLiteral("after")).toString());
    // The node memory holds that write too: the journal and the instrument agree.
    QVERIFY(WorkbenchProcess::fileBytes(path(QStringLiteral("instrument.json"))).contains(write.value(QStringLiteral("after")).toString().toLatin1()));
}

QTEST_MAIN(tst_WorkbenchSession)
#include "tst_workbenchsession.moc"
