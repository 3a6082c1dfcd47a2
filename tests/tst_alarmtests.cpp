#include <QAbstractButton>
#include <QtTest>

#include "host/Button.h"
#include "host/DialogWindow.h"
#include "host/ParameterService.h"
#include "service/LonAlarmTests.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

namespace {

// The alarm buttons of the open dialog, from left to right.
QList<Button*> alarmButtons(DialogWindow* dialog)
{
    QList<Button*> buttons;
    for (Button* button : dialog->findChildren<Button*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button != dialog->acceptButton() && button != dialog->rejectButton())
            buttons << button;
    }
    std::sort(buttons.begin(), buttons.end(), [](Button* a, Button* b) { return a->x() < b->x(); });
    return buttons;
}

} // namespace

// The "Alarm Test" dialog: its buttons per hardware, and what each press sends.
class tst_AlarmTests : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void buttonsPerHardware_data();
    void buttonsPerHardware();
    void eachAlarmClosesLogsAndSends_data();
    void eachAlarmClosesLogsAndSends();
    void aliveSetsParameter37OnlyWhenSent();
    void okSignalsOnce();
    void withoutLonOrMainWindow();
};

void tst_AlarmTests::cleanup()
{
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_AlarmTests::buttonsPerHardware_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<int>("width");
    QTest::addColumn<QStringList>("buttons");

    QTest::newRow("hardware-13") << 13 << 200 << QStringList{"ALARM"};
    QTest::newRow("hardware-1") << 1 << 450 << QStringList{"HVOFF", "EMERG", "ALIVE"};
    QTest::newRow("hardware-11") << 11 << 450 << QStringList{"HVOFF", "EMERG", "ALIVE"};
}

void tst_AlarmTests::buttonsPerHardware()
{
    QFETCH(int, hardware);
    QFETCH(int, width);
    QFETCH(QStringList, buttons);

    HostFixture::Options options;
    options.hardware = hardware;
    HostFixture host(options);
    LonAlarmTests alarms(&host.registry, host.lon());
    alarms.openAlarmDialog();
    DialogWindow* dialog = alarms.dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("Alarm Test"));
    QCOMPARE(dialog->width(), width);
    QCOMPARE(dialog->heightInnerElements(), 58);

    QList<Button*> const found = alarmButtons(dialog);
    QStringList texts;
    for (Button* button : found) {
        texts << button->text();
        QVERIFY(button->isFlat());
        QCOMPARE(button->y(), dialog->getTopInnerElements() + 10);
    }
    QCOMPARE(texts, buttons);

    int const c = width / 2;
    if (found.size() == 1) {
        QCOMPARE(found[0]->geometry().center().x(), c - (found[0]->width() % 2 == 0 ? 1 : 0));
    } else {
        QCOMPARE(found[0]->geometry().right(), c - 101);
        QVERIFY(qAbs(found[1]->geometry().center().x() - c) <= 1);
        QCOMPARE(found[2]->x(), c + 100);
    }
    alarms.closeDialogWindow();
}

void tst_AlarmTests::eachAlarmClosesLogsAndSends_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("nvId");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("ALARM") << 13 << "ALARM" << "Alarm Test Alarm" << 543 << QByteArray::fromHex("11");
    QTest::newRow("HVOFF") << 1 << "HVOFF" << "Alarm Test HV Off" << 4625 << QByteArray::fromHex("1111");
    QTest::newRow("EMERG") << 1 << "EMERG" << "Alarm Test Emergency Off" << 4625 << QByteArray::fromHex("1122");
    QTest::newRow("ALIVE") << 1 << "ALIVE" << "Alarm Test Alive" << 4625 << QByteArray::fromHex("1133");
}

void tst_AlarmTests::eachAlarmClosesLogsAndSends()
{
    QFETCH(int, hardware);
    QFETCH(QString, button);
    QFETCH(QString, log);
    QFETCH(int, nvId);
    QFETCH(QByteArray, payload);

    HostFixture::Options options;
    options.hardware = hardware;
    HostFixture host(options);
    LonAlarmTests alarms(&host.registry, host.lon());
    QSignalSpy spy(&alarms, &LonAlarmTests::enableLonModuleStatus);
    alarms.openAlarmDialog();
    for (Button* candidate : alarmButtons(alarms.dialog())) {
        if (candidate->text() == button)
            candidate->click();
    }
    QVERIFY(alarms.dialog() == nullptr);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(host.logLines(), QStringList{log});
    QCOMPARE(host.lon()->sends(), (QList<QPair<unsigned short, QByteArray>>{{static_cast<unsigned short>(nvId), payload}}));
}

void tst_AlarmTests::aliveSetsParameter37OnlyWhenSent()
{
    HostFixture host;
    LonAlarmTests alarms(&host.registry, host.lon());
    host.lon()->setSendResult(false);
    alarms.alarmTestALIVE();
    QCOMPARE(host.parameters()->value(ParamAliveAlarmTest, -1), -1);
    alarms.alarmTestEMERG();
    QCOMPARE(host.parameters()->value(ParamAliveAlarmTest, -1), -1);
    host.lon()->setSendResult(true);
    alarms.alarmTestALIVE();
    QCOMPARE(host.parameters()->value(ParamAliveAlarmTest, -1), 1);
}

void tst_AlarmTests::okSignalsOnce()
{
    HostFixture host;
    LonAlarmTests alarms(&host.registry, host.lon());
    QSignalSpy spy(&alarms, &LonAlarmTests::enableLonModuleStatus);
    alarms.openAlarmDialog();
    QCOMPARE(spy.size(), 0);
    alarms.dialog()->acceptButton()->click();
    alarms.closeDialogWindow();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toBool(), false);
    QVERIFY(host.lon()->sends().isEmpty());
    // A second opening replaces the first dialog.
    alarms.openAlarmDialog();
    alarms.openAlarmDialog();
    HostFixture::flushDeferredDeletes();
    QCOMPARE(host.mainWindow()->findChildren<DialogWindow*>().size(), 1);
    alarms.closeDialogWindow();
}

void tst_AlarmTests::withoutLonOrMainWindow()
{
    {
        HostFixture host;
        LonAlarmTests alarms(&host.registry, nullptr);
        alarms.openAlarmDialog();
        alarms.alarmTestHVOFF();
        QVERIFY(alarms.dialog() == nullptr);
        QVERIFY(host.logLines().isEmpty());
        QVERIFY(host.lon()->sends().isEmpty());
    }

    HostFixture::Options options;
    options.mainWindow = false;
    HostFixture headless(options);
    LonAlarmTests noWindow(&headless.registry, headless.lon());
    noWindow.openAlarmDialog();
    QVERIFY(noWindow.dialog() == nullptr);
}

QTEST_MAIN(tst_AlarmTests)
#include "tst_alarmtests.moc"
