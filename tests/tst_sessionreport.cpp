// The session report: every value as found and as left with its difference,
// the journal in full however long, clean page breaks, and a PDF that is
// written whole or not at all.
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/SessionRecord.h"
#include "app/SessionReport.h"
#include "data/LonCalibrationTypes.h"

using namespace LonCalibrationTypes;

namespace {

QDateTime const kStart(QDate(2026, 3, 4), QTime(9, 15, 30));

QString longText()
{
    QStringList words;
    for (int i = 1; i <= 120; ++i)
        words.append(QStringLiteral("alpha%1").arg(i, 3, 10, QLatin1Char('0')));
    // One word wider than the page: it has to break inside.
    return words.join(QLatin1Char(' ')) + QLatin1Char(' ') + QStringLiteral("0123456789").repeated(30);
}

SessionRecord shortSession()
{
    SessionRecord session;
    session.identity = {QStringLiteral("nt3-psu2"), QStringLiteral("Network type 3, second PSU generation"),
        QStringLiteral("12"), QString()};
    session.user = QStringLiteral("tester");
    session.started = kStart;
    session.journalFile = QStringLiteral("/var/lib/loncal/sessions/2026-03-04-091530.journal");
    session.asFound = {{UMainsGain, QStringLiteral("1000")}, {UMainsOffset, QStringLiteral("20")},
        {IMainsGain, QStringLiteral("500")}, {IIsoOffset, QStringLiteral("7")},
        {VlfCurrentMaximum, QStringLiteral("1200")}};
    session.asLeft = {{UMainsGain, QStringLiteral("1005")}, {UMainsOffset, QStringLiteral("17")},
        {IMainsGain, QStringLiteral("500")}, {UNomGain40kV, QStringLiteral("250")},
        {VlfCurrentMaximum, QStringLiteral("1200")}};
    session.journal = {{kStart, QStringLiteral("start"), QStringLiteral("Calibration mode on")},
        {kStart.addMSecs(1234), QStringLiteral("write"), QStringLiteral("I-iso Offset: 07 -> 09")},
        {kStart.addSecs(60), QStringLiteral("log"), longText()}};
    return session;
}

SessionRecord closedSessionWithoutJournal()
{
    SessionRecord session = shortSession();
    session.identity.serialNumber = QStringLiteral("SN-4711");
    session.ended = kStart.addSecs(3600);
    session.journal.clear();
    return session;
}

// Every parameter, so the table runs onto a second page, and 300 journal lines.
SessionRecord longSession()
{
    SessionRecord session = shortSession();
    session.asFound.clear();
    session.asLeft.clear();
    for (int number = FirstCalibrationParameter; number <= LastCalibrationParameter; ++number) {
        session.asFound.insert(number, QString::number(number));
        session.asLeft.insert(number, QString::number(number % 3 == 0 ? number + 1 : number));
    }
    session.journal.clear();
    for (int i = 0; i < 300; ++i)
        session.journal.append({kStart.addMSecs(i * 10), QStringLiteral("write"),
            QStringLiteral("entry %1 bytes 00 -> 01").arg(i, 3, 10, QLatin1Char('0'))});
    return session;
}

// Words may be spaced out by the layout: any run of spaces matches one.
QString spaced(QString const& text)
{
    QStringList words = text.simplified().split(QLatin1Char(' '));
    for (QString& word : words)
        word = QRegularExpression::escape(word);
    return words.join(QStringLiteral("\\s+"));
}

int countMatches(QString const& text, QString const& pattern)
{
    QRegularExpression const expression(pattern, QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = expression.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

QStringList entriesOf(QString const& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(it.next());
    entries.sort();
    return entries;
}

} // namespace

class tst_SessionReport : public QObject
{
    Q_OBJECT

private:
    // The report's text as pdftotext lays it out, or the given pdftotext output format.
    QString rendered(SessionRecord const& session, QStringList const& options = {QStringLiteral("-layout")});

    QTemporaryDir m_folder;

private slots:
    void valuesShareALineWithTheirDifference_data();
    void valuesShareALineWithTheirDifference();
    void showsSessionFacts_data();
    void showsSessionFacts();
    void wrapsLongTextInsideTheMargins();
    void longSessionBreaksIntoNumberedPages();
    void refusesTargetAndLeavesNothing_data();
    void refusesTargetAndLeavesNothing();
};

QString tst_SessionReport::rendered(SessionRecord const& session, QStringList const& options)
{
    QString const pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return QString();
    QString const file = m_folder.filePath(QStringLiteral("report.pdf"));
    QString error;
    if (!SessionReport::write(session, file, &error)) {
        qWarning("%s", qPrintable(error));
        return QString();
    }
    QProcess extract;
    extract.start(pdftotext, QStringList(options) << file << QStringLiteral("-"));
    if (!extract.waitForFinished() || extract.exitCode() != 0)
        return QString();
    return QString::fromUtf8(extract.readAllStandardOutput());
}

void tst_SessionReport::valuesShareALineWithTheirDifference_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("difference");
    QTest::addColumn<bool>("changed");
    QTest::newRow("raised") << "U-mains Gain"
                            << "1000"
                            << "1005"
                            << "+5" << true;
    QTest::newRow("lowered") << "U-mains Offset"
                             << "20"
                             << "17"
                             << "-3" << true;
    QTest::newRow("kept") << "I-mains Gain"
                          << "500"
                          << "500"
                          << "0" << false;
    QTest::newRow("found only") << "I-iso Offset"
                                << "7"
                                << "-"
                                << "-" << true;
    QTest::newRow("left only, own key") << "UnomGain40kV"
                                        << "-"
                                        << "250"
                                        << "-" << true;
    QTest::newRow("empty key") << "#52"
                               << "1200"
                               << "1200"
                               << "0" << false;
}

void tst_SessionReport::valuesShareALineWithTheirDifference()
{
    QFETCH(QString, key);
    QFETCH(QString, found);
    QFETCH(QString, left);
    QFETCH(QString, difference);
    QFETCH(bool, changed);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    QString const text = rendered(shortSession());

    QString const line
        = QStringLiteral("^\\s*%1\\s+%2\\s+%3\\s+%4%5\\s*$")
              .arg(spaced(key), QRegularExpression::escape(found), QRegularExpression::escape(left),
                  QRegularExpression::escape(difference), changed ? QStringLiteral("\\s+\\*") : QString());
    QVERIFY2(countMatches(text, line) == 1, qPrintable(text));
}

void tst_SessionReport::showsSessionFacts_data()
{
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("title") << false << "^\\s*Calibration session report\\s*$";
    QTest::newRow("profile") << false << "Profile\\s+nt3-psu2\\s*$";
    QTest::newRow("description") << false << "Description\\s+Network type 3, second PSU generation\\s*$";
    QTest::newRow("hardware") << false << "Hardware version\\s+12\\s*$";
    QTest::newRow("no serial") << false << "Serial number\\s+none\\s*$";
    QTest::newRow("serial") << true << "Serial number\\s+SN-4711\\s*$";
    QTest::newRow("user") << false << "User\\s+tester\\s*$";
    QTest::newRow("start") << false << "Started\\s+2026-03-04 09:15:30\\s*$";
    QTest::newRow("open") << false << "Ended\\s+still open\\s*$";
    QTest::newRow("end") << true << "Ended\\s+2026-03-04 10:15:30\\s*$";
    QTest::newRow("journal file") << false
                                  << "Journal file\\s+/var/lib/loncal/sessions/2026-03-04-091530\\.journal\\s*$";
    QTest::newRow("header") << false << "^\\s*Key\\s+As found\\s+As left\\s+Difference\\s+Changed\\s*$";
    QTest::newRow("changed count") << false << "^\\s*4 of 6 values changed\\s*$";
    QTest::newRow("first entry") << false << "^\\s*09:15:30\\.000\\s+start\\s+Calibration mode on\\s*$";
    QTest::newRow("write entry") << false << "^\\s*09:15:31\\.234\\s+write\\s+I-iso Offset: 07 -> 09\\s*$";
    QTest::newRow("long entry starts") << false << "^\\s*09:16:30\\.000\\s+log\\s+alpha001 alpha002";
    QTest::newRow("no entries") << true << "^\\s*No entries\\s*$";
    QTest::newRow("single page") << false << "Page 1 of 1\\s*$";
}

void tst_SessionReport::showsSessionFacts()
{
    QFETCH(bool, closed);
    QFETCH(QString, pattern);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    QString const text = rendered(closed ? closedSessionWithoutJournal() : shortSession());
    QVERIFY2(countMatches(text, pattern) == 1, qPrintable(text));
}

void tst_SessionReport::wrapsLongTextInsideTheMargins()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    QString const text = rendered(shortSession());
    QVERIFY(!text.isEmpty());

    // Every word, in order, none cut off.
    int at = 0;
    for (QString const& word : longText().split(QLatin1Char(' ')).mid(0, 120)) {
        int const next = text.indexOf(QRegularExpression(QStringLiteral("\\b%1\\b").arg(word)), at);
        QVERIFY2(next >= 0, qPrintable(word));
        at = next;
    }
    QString joined = text.mid(at);
    joined.remove(QRegularExpression(QStringLiteral("\\s")));
    QVERIFY(joined.contains(QStringLiteral("0123456789").repeated(30)));

    // Nothing drawn past the right margin (15 mm of a 595 pt page).
    QString const boxes = rendered(shortSession(), {QStringLiteral("-bbox")});
    QRegularExpression const word(QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\""));
    int words = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
        double const right = it.next().captured(1).toDouble();
        QVERIFY2(right <= 595.28 - 15 / 25.4 * 72 + 0.5, qPrintable(QString::number(right)));
    }
    QVERIFY(words > 150);
}

void tst_SessionReport::longSessionBreaksIntoNumberedPages()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
    SessionRecord const session = longSession();
    QString const text = rendered(session);
    QStringList pages = text.split(QLatin1Char('\f'));
    if (pages.last().trimmed().isEmpty())
        pages.removeLast();
    QVERIFY2(pages.size() >= 3, qPrintable(text));

    for (int i = 0; i < pages.size(); ++i) {
        QString const footer = QStringLiteral("Page %1 of %2\\s*$").arg(i + 1).arg(pages.size());
        QVERIFY2(countMatches(pages.at(i), footer) == 1, qPrintable(pages.at(i)));
    }
    // The table runs onto the second page, which opens with its header again.
    QString const header = QStringLiteral("Key\\s+As found\\s+As left\\s+Difference\\s+Changed");
    QVERIFY(QRegularExpression(QStringLiteral("\\A\\s*") + header).match(pages.at(1)).hasMatch());
    QVERIFY(countMatches(pages.at(1), QStringLiteral("^\\s*Slim rotor VLF\\s+68\\s+68\\s+0\\s*$")) == 1);
    QCOMPARE(countMatches(text, QStringLiteral("^\\s*U-mains Gain\\s+1\\s+1\\s+0\\s*$")), 1);
    QCOMPARE(countMatches(text, QStringLiteral("^\\s*I-mains Gain\\s+3\\s+4\\s+\\+1\\s+\\*\\s*$")), 1);
    QCOMPARE(countMatches(text, QStringLiteral("^\\s*22 of 68 values changed\\s*$")), 1);

    for (SessionRecord::Entry const& entry : session.journal) {
        QString const line = QStringLiteral("^\\s*%1\\s+write\\s+%2\\s*$")
                                 .arg(QRegularExpression::escape(entry.time.toString(QStringLiteral("hh:mm:ss.zzz"))),
                                     spaced(entry.text));
        QVERIFY2(countMatches(text, line) == 1, qPrintable(entry.text));
    }
}

void tst_SessionReport::refusesTargetAndLeavesNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing folder") << "missing/report.pdf"
                                    << "does not exist";
    QTest::newRow("folder as target") << "target"
                                      << "folder";
}

void tst_SessionReport::refusesTargetAndLeavesNothing()
{
    QFETCH(QString, target);
    QFETCH(QString, cause);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("target")));
    QStringList const before = entriesOf(folder.path());
    QString const path = QDir(folder.path()).filePath(target);

    QString error;
    QVERIFY(!SessionReport::write(shortSession(), path, &error));
    QVERIFY2(error.contains(path) && error.contains(cause), qPrintable(error));
    QCOMPARE(entriesOf(folder.path()), before);
}

QTEST_MAIN(tst_SessionReport)
#include "tst_sessionreport.moc"
