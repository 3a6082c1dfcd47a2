// The workbench in another language: the module's dialogs and printed sheet
// through the built program, with the translation it loads itself.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "support/WorkbenchProcess.h"

namespace {

using Run = WorkbenchProcess::Result;


} // namespace

class tst_WorkbenchLanguage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sheetFollowsTheLanguage_data();
    void sheetFollowsTheLanguage();
    void headlessActionsWorkOnGermanDialogs();
    void screenshotsShowGermanDialogs();
    void aLanguageWithoutTranslationIsRefused_data();
    void aLanguageWithoutTranslationIsRefused();

private:
    QString path(QString const& name) const { return m_dir->filePath(name); }
    // A run with the given locale variables (the "system" language) set or cleared.
    Run run(QStringList const& arguments, QString const& systemLocale = QString());

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_WorkbenchLanguage::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_WorkbenchLanguage::cleanup()
{
    m_dir.reset();
}

Run tst_WorkbenchLanguage::run(QStringList const& arguments, QString const& systemLocale)
{
    WorkbenchProcess const workbench(m_dir->path());
    QProcessEnvironment environment = workbench.environment();
    for (char const* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("LC_ALL"), systemLocale.isEmpty() ? QStringLiteral("C.UTF-8") : systemLocale);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(WorkbenchProcess::program(), workbench.withFiles(arguments));
    Run result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void tst_WorkbenchLanguage::sheetFollowsTheLanguage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("systemLocale");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("notTexts");
    QTest::addColumn<QString>("dateTime");

    QStringList const german{QStringLiteral("Kalibrierung HV-Einheit"), QStringLiteral("Daten in HPSU / VPSU"),
        QStringLiteral("Daten in HHVS / VHVS")};
    QStringList const english{QStringLiteral("Calibration HV Unit"), QStringLiteral("Data in HPSU / VPSU"),
        QStringLiteral("Data in HHVS / VHVS")};
    QString const germanDate = QStringLiteral("\\b\\d\\d\\.\\d\\d\\.\\d{4}, \\d\\d:\\d\\d:\\d\\d\\b");
    QString const englishDate = QStringLiteral("\\b\\d\\d/\\d\\d/\\d{4}, \\d{1,2}:\\d\\d:\\d\\d [AP]M\\b");
    QStringList const germanArguments{QStringLiteral("--language"), QStringLiteral("de")};

    QTest::newRow("asked-de") << germanArguments << QString() << german << english << germanDate;
    QTest::newRow("asked-en-on-a-german-system") << QStringList{QStringLiteral("--language"), QStringLiteral("en")}
                                                 << QStringLiteral("de_DE.UTF-8") << english << german << englishDate;
    QTest::newRow("system-de") << QStringList() << QStringLiteral("de_DE.UTF-8") << german << english << germanDate;
    // A system language without a translation is no error: the texts stay as written.
    QTest::newRow("system-fr") << QStringList() << QStringLiteral("fr_FR.UTF-8") << english << german << englishDate;
}

void tst_WorkbenchLanguage::sheetFollowsTheLanguage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, systemLocale);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, notTexts);
    QFETCH(QString, dateTime);

    QString const pdf = path(QStringLiteral("sheet.pdf"));
    Run const result = run(arguments + QStringList{QStringLiteral("--print"), pdf}, systemLocale);
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QString const text = WorkbenchProcess::pdfText(pdf);
    if (text.isEmpty())
        QSKIP("pdftotext is not installed");
    for (QString const& shown : texts)
        QVERIFY2(text.contains(shown), qPrintable(shown + QStringLiteral(" not in:\n") + text));
    for (QString const& other : notTexts)
        QVERIFY2(!text.contains(other), qPrintable(other + QStringLiteral(" in:\n") + text));
    QVERIFY2(text.contains(QRegularExpression(dateTime)), qPrintable(text));
    // Parameter names are technical labels: the same in every language.
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Surge Counter 2 kV x 100 +\\d"))), qPrintable(text));
}

void tst_WorkbenchLanguage::headlessActionsWorkOnGermanDialogs()
{
    // The runner finds the German warning by its shown title and answers it;
    // the question and the title are the module's, translated.
    Run const result = run({QStringLiteral("--language"), QStringLiteral("de"), QStringLiteral("--profile"),
        QStringLiteral("nt9"), QStringLiteral("--vlf-unom"), QStringLiteral("Enable U-nom Gain")});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY2(result.out.contains(QLatin1String("U-nom button: U-nom 40 kV")), qPrintable(result.out));
    QVERIFY2(result.out.contains(QLatin1String("Warnung: U-nom auf 40 kV setzen?\n"
                                               "dc-callback: set U=400 I=12000 (40 kV, 12 mA)\n")),
        qPrintable(result.out));
}

void tst_WorkbenchLanguage::screenshotsShowGermanDialogs()
{
    // Each picture is named after the title its dialog shows.
    QString const folder = path(QStringLiteral("pictures"));
    Run const result
        = run({QStringLiteral("--language"), QStringLiteral("de"), QStringLiteral("--screenshots"), folder});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QStringList const pictures = QDir(folder).entryList({QStringLiteral("*.png")});
    for (char const* name : {"1-Info.png", "3-Netzteil.png", "10-Testfunktionen.png", "9-Alarmtest.png"})
        QVERIFY2(pictures.contains(QLatin1String(name)), qPrintable(pictures.join(QLatin1Char(' '))));
    for (char const* name : {"3-PSU.png", "10-Test-Functions.png"})
        QVERIFY2(!pictures.contains(QLatin1String(name)), qPrintable(pictures.join(QLatin1Char(' '))));
}

void tst_WorkbenchLanguage::aLanguageWithoutTranslationIsRefused_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("not-a-language") << QStringLiteral("xx") << QStringLiteral("'xx' is not a language code");
    QTest::newRow("no-translation") << QStringLiteral("fr") << QStringLiteral("no translation for 'fr'");
}

void tst_WorkbenchLanguage::aLanguageWithoutTranslationIsRefused()
{
    QFETCH(QString, code);
    QFETCH(QString, message);
    Run const result
        = run({QStringLiteral("--language"), code, QStringLiteral("--export"), path(QStringLiteral("out.xml"))});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains(QStringLiteral("--language: ") + message), qPrintable(result.err));
    // The error names what there is to choose from.
    QVERIFY2(result.err.contains(QLatin1String("(known: de, en)")), qPrintable(result.err));
    // Refused before the module ran: nothing was exported.
    QVERIFY(!QFile::exists(path(QStringLiteral("out.xml"))));
}

QTEST_GUILESS_MAIN(tst_WorkbenchLanguage)
#include "tst_workbenchlanguage.moc"
