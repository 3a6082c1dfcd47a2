#include <QAbstractButton>
#include <QtTest>

#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/ModalWidget.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "host/PasswordDialog.h"
#include "host/StateMachine.h"
#include "module/ITestFacilityModeCallback.h"
#include "service/LonServiceFunctions.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

using Sends = QList<QPair<unsigned short, QByteArray>>;

class CountingCallback : public ITestFacilityModeCallback
{
public:
    void testFacilityModeOff() override { ++calls; }
    int calls = 0;
};

// The dialog's switch and U-max rows from top to bottom.
QStringList rowLabels(DialogWindow* dialog)
{
    QList<NumberEdit*> edits = dialog->findChildren<NumberEdit*>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(edits.begin(), edits.end(), [](NumberEdit* a, NumberEdit* b) { return a->y() < b->y(); });
    QStringList labels;
    for (NumberEdit* edit : edits)
        labels << edit->labelText();
    return labels;
}

QByteArray hex(char const* text)
{
    return QByteArray::fromHex(text);
}

} // namespace

// The service record sent to node 17, the "Test Functions" dialog with its
// exclusive switches, DC-MAX behind its access code, and U-max.
class tst_ServiceFunctions : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void constructionSendsTheClearedRecord_data();
    void constructionSendsTheClearedRecord();
    void calibrationSwitch_data();
    void calibrationSwitch();
    void relaxBurnInAndPsuFlags();
    void sctsFlags();
    void dialogRowsPerHardware_data();
    void dialogRowsPerHardware();
    void uMaxIsShownLimitedAndSentOnChange();
    void oneSwitchOnTurnsTheOthersOff();
    void dcMaxNeedsTheAccessCode_data();
    void dcMaxNeedsTheAccessCode();
    void oneDialogSlotNeverOrphansADialog();

private:
    static HostFixture::Options options(int networkType, int hardware = 1);
    static void nodes(HostFixture& host, bool newGeneration, bool oldGeneration);
};

void tst_ServiceFunctions::cleanup()
{
    ModalWidget::setAnswerer(ModalWidget::Answerer());
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

HostFixture::Options tst_ServiceFunctions::options(int networkType, int hardware)
{
    HostFixture::Options result;
    result.networkType = static_cast<unsigned char>(networkType);
    result.hardware = hardware;
    return result;
}

void tst_ServiceFunctions::nodes(HostFixture& host, bool newGeneration, bool oldGeneration)
{
    if (newGeneration)
        host.lon()->setNodeVersions(18, {0x300});
    if (oldGeneration)
        host.lon()->setNodeVersions(19, {0x206});
}

void tst_ServiceFunctions::constructionSendsTheClearedRecord_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<bool>("newGeneration");
    QTest::addColumn<bool>("oldGeneration");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<Sends>("sends");

    QTest::newRow("nt9") << 9 << true << true << true << Sends{{0x1171, hex("0000")}};
    QTest::newRow("nt3-all-three-in-order") << 3 << true << true << true
                                            << Sends{{0x117E, hex("00000000")}, {0x1171, hex("00")}, {0x1149, hex("0000")}};
    QTest::newRow("nt3-new-only") << 3 << true << false << false << Sends{{0x117E, hex("00000000")}};
    QTest::newRow("nt3-old-only") << 3 << false << true << false << Sends{{0x1171, hex("00")}};
    QTest::newRow("nt3-no-nodes") << 3 << false << false << false << Sends{};
    QTest::newRow("nt1") << 1 << true << true << false << Sends{{0x117F, hex("00")}};
    QTest::newRow("nt0") << 0 << false << false << false << Sends{{0x117F, hex("00")}};
}

void tst_ServiceFunctions::constructionSendsTheClearedRecord()
{
    QFETCH(int, networkType);
    QFETCH(bool, newGeneration);
    QFETCH(bool, oldGeneration);
    QFETCH(bool, adapter);
    QFETCH(Sends, sends);

    HostFixture host(options(networkType));
    HWConfiguration::setPruefzusatz60kV_25uF(adapter);
    nodes(host, newGeneration, oldGeneration);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    QCOMPARE(functions.hasNewGeneration(), newGeneration);
    QCOMPARE(functions.hasOldGeneration(), oldGeneration);
    QCOMPARE(host.lon()->sends(), sends);

    // Without LON access nothing is ever sent.
    host.lon()->clearRecords();
    LonServiceFunctions silent(&host.registry, nullptr, nullptr);
    silent.switchCalibration(true);
    QVERIFY(host.lon()->sends().isEmpty());
}

void tst_ServiceFunctions::calibrationSwitch_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<Sends>("onSends");
    QTest::addColumn<Sends>("offSends");

    // Every record starts with the SCTS and PSU bits set, to see what "off" clears.
    QTest::newRow("nt9") << 9 << false << Sends{{0x1171, hex("00f0")}} << Sends{{0x1171, hex("0000")}};
    QTest::newRow("nt3-adapter") << 3 << true
                                 << Sends{{0x117E, hex("01000300")}, {0x1171, hex("01")}, {0x1149, hex("00f0")}}
                                 << Sends{{0x117E, hex("00000000")}, {0x1171, hex("00")}, {0x1149, hex("0000")}};
    QTest::newRow("nt3") << 3 << false << Sends{{0x117E, hex("01000300")}, {0x1171, hex("01")}}
                         << Sends{{0x117E, hex("00000000")}, {0x1171, hex("00")}};
    QTest::newRow("nt2") << 2 << false << Sends{{0x117F, hex("01")}} << Sends{{0x117F, hex("00")}};
}

void tst_ServiceFunctions::calibrationSwitch()
{
    QFETCH(int, networkType);
    QFETCH(bool, adapter);
    QFETCH(Sends, onSends);
    QFETCH(Sends, offSends);

    HostFixture host(options(networkType));
    HWConfiguration::setPruefzusatz60kV_25uF(adapter);
    nodes(host, true, true);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    functions.setPsuCalibrationFlags(true, true);
    functions.switchCalibration(true);
    functions.setSctsCalibrationFlags(true, true);
    host.lon()->clearRecords();
    host.parameters()->setParameter(ParamPsuOffsetCalibration, 1);

    functions.switchCalibration(true);
    QCOMPARE(host.lon()->sends(), onSends);
    QVERIFY(functions.isCalibrationOn());
    QVERIFY(functions.dialog() == nullptr);

    host.lon()->clearRecords();
    functions.switchCalibration(false);
    QCOMPARE(host.lon()->sends(), offSends);
    QVERIFY(!functions.isCalibrationOn());
    // Switching off resets parameter 57 and shows the waiting dialog.
    QCOMPARE(host.parameters()->value(ParamPsuOffsetCalibration, -1), 0);
    QVERIFY(functions.dialog() != nullptr);
    QCOMPARE(functions.dialog()->message(), QStringLiteral("Sychronizing calibration values ..."));
    QCOMPARE(functions.dialog()->title(), QStringLiteral("Calibration"));
    QCOMPARE(functions.dialog()->icon(), DialogWindow::Icon::Waiting);
    QVERIFY(host.logLines().contains(QStringLiteral("Sychronizing calibration values...")));
    functions.closeDialogWindow();
}

void tst_ServiceFunctions::relaxBurnInAndPsuFlags()
{
    HostFixture host(options(3));
    nodes(host, true, false);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    host.lon()->clearRecords();

    functions.switchRelax(true);
    QVERIFY(functions.isRelaxModeOn());
    QCOMPARE(host.lon()->sends(), (Sends{{0x117E, hex("02000000")}}));

    host.lon()->clearRecords();
    functions.setBurnInMode(true);
    functions.setBurnInMode(true);
    QCOMPARE(host.lon()->sends(), (Sends{{0x117E, hex("0a000000")}}));

    // The changed flag travels only with the send that carries new PSU flags.
    host.lon()->clearRecords();
    functions.setPsuCalibrationFlags(true, true);
    functions.setPsuCalibrationFlags(true, true);
    QCOMPARE(host.lon()->sends(), (Sends{{0x117E, hex("8a000300")}}));
    QCOMPARE(host.parameters()->value(ParamPsuOffsetCalibration, -1), 1);
    QCOMPARE(int(functions.serviceRecord3().mode), 0x0a);

    // Relax mode does not exist in network type 9; burn-in needs the new generation.
    HostFixture nt9(options(9));
    LonServiceFunctions old(&nt9.registry, nt9.lon(), nt9.stateMachine());
    nt9.lon()->clearRecords();
    old.switchRelax(true);
    old.setBurnInMode(true);
    old.setPsuCalibrationFlags(true, false);
    QVERIFY(!old.isRelaxModeOn());
    QVERIFY(nt9.lon()->sends().isEmpty());
}

void tst_ServiceFunctions::sctsFlags()
{
    HostFixture host(options(3));
    nodes(host, true, true);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    host.lon()->clearRecords();
    functions.setSctsCalibrationFlags(true, false);
    QVERIFY2(host.lon()->sends().isEmpty(), "outside network type 9 only the add-on takes the flags");

    HostFixture nt9(options(9, 11));
    LonServiceFunctions vlf(&nt9.registry, nt9.lon(), nt9.stateMachine());
    vlf.setTestFunction(OvdNsur, true);
    vlf.setTestFunction(PpNvlf, true);
    nt9.lon()->clearRecords();
    // Calibration off: the test functions go, the flags stay clear.
    vlf.setSctsCalibrationFlags(true, false);
    QCOMPARE(nt9.lon()->sends(), (Sends{{0x1171, hex("0000")}}));
    vlf.switchCalibration(true);
    nt9.lon()->clearRecords();
    vlf.setSctsCalibrationFlags(true, false);
    vlf.setSctsCalibrationFlags(false, true);
    QCOMPARE(nt9.lon()->sends(), (Sends{{0x1171, hex("00d0")}, {0x1171, hex("00e0")}}));
}

void tst_ServiceFunctions::dialogRowsPerHardware_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("hardware-11") << 11 << false << QStringList{"OVD-NSUR", "OVD-NVLF", "PN-NVLF", "PP-NVLF"};
    QTest::newRow("hardware-7") << 7 << false << QStringList{"DC-MAX"};
    QTest::newRow("hardware-12") << 12 << false << QStringList{"DC-MAX"};
    QTest::newRow("hardware-13") << 13 << false << QStringList{"U-max"};
    QTest::newRow("hardware-1") << 1 << false
                                << QStringList{"OVD-HHVS", "OVD-HSUR", "OVD-HSEL", "OVD-HBRN", "DC-MAX", "U-max"};
    QTest::newRow("hardware-1-adapter") << 1 << true
                                        << QStringList{"OVD-HVCE", "PN-HVCE", "PP-HVCE", "OVD-HHVS", "OVD-HSUR",
                                                       "OVD-HSEL", "OVD-HBRN", "DC-MAX", "U-max"};
}

void tst_ServiceFunctions::dialogRowsPerHardware()
{
    QFETCH(int, hardware);
    QFETCH(bool, adapter);
    QFETCH(QStringList, rows);

    HostFixture host(options(3, hardware));
    HWConfiguration::setPruefzusatz60kV_25uF(adapter);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    functions.setTestFunction(OvdHsur, true);
    functions.openTestFunctionsDialog();
    DialogWindow* dialog = functions.dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("Test Functions"));
    QCOMPARE(dialog->width(), 430);
    QCOMPARE(rowLabels(dialog), rows);
    if (rows.contains(QStringLiteral("OVD-HSUR")))
        QCOMPARE(functions.testFunctionEdit(OvdHsur)->shownText(), QString(QChar(0x2714)));
    if (rows.size() > 1) {
        QList<NumberEdit*> edits = dialog->findChildren<NumberEdit*>(QString(), Qt::FindDirectChildrenOnly);
        std::sort(edits.begin(), edits.end(), [](NumberEdit* a, NumberEdit* b) { return a->y() < b->y(); });
        QCOMPARE(edits.at(1)->y() - edits.at(0)->y(), 32);
    }

    dialog->acceptButton()->click();
    QVERIFY(functions.dialog() == nullptr);
}

void tst_ServiceFunctions::uMaxIsShownLimitedAndSentOnChange()
{
    HostFixture host(options(3, 13));
    host.stateMachine()->setVoltage(100);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    host.lon()->clearRecords();
    functions.openTestFunctionsDialog();
    QCOMPARE(functions.uMax(), 11000);
    NumberEdit* edit = functions.testFunctionEdit(UMax);
    QCOMPARE(edit->shownText(), QStringLiteral("105.60"));
    QCOMPARE(edit->unitText(), QStringLiteral("kV"));
    QVERIFY(host.lon()->sends().isEmpty());

    edit->enterNumber(5000);
    QCOMPARE(host.logLines().last(), QStringLiteral("Set U-max to 5000"));
    QCOMPARE(host.lon()->sends(), (Sends{{0x1153, hex("1388")}}));
    functions.closeDialogWindow();

    HostFixture compact(options(1, 13));
    LonServiceFunctions compactFunctions(&compact.registry, compact.lon(), compact.stateMachine());
    compact.lon()->clearRecords();
    compactFunctions.openTestFunctionsDialog();
    compactFunctions.testFunctionEdit(UMax)->enterNumber(200);
    QCOMPARE(compact.lon()->sends(), (Sends{{0x0453, hex("00c8")}}));
    compactFunctions.closeDialogWindow();

    HostFixture nt9(options(9, 13));
    LonServiceFunctions nt9Functions(&nt9.registry, nt9.lon(), nt9.stateMachine());
    nt9.lon()->clearRecords();
    nt9Functions.openTestFunctionsDialog();
    nt9Functions.testFunctionEdit(UMax)->enterNumber(200);
    QCOMPARE(nt9Functions.uMax(), 200);
    QVERIFY(nt9.lon()->sends().isEmpty());
    nt9Functions.closeDialogWindow();
}

void tst_ServiceFunctions::oneSwitchOnTurnsTheOthersOff()
{
    HostFixture host(options(3));
    nodes(host, true, true);
    CountingCallback callback;
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    functions.setTestFacilityModeCallback(&callback);
    functions.setTestFunction(DcMax, true);
    functions.setTestFunction(OvdHsel, true);
    host.parameters()->setParameter(ParamDcMax, 1);
    functions.openTestFunctionsDialog();
    host.lon()->clearRecords();

    functions.testFunctionEdit(OvdHhvs)->enterNumber(1);
    QCOMPARE(functions.testFunctionEdit(DcMax)->shownText(), QString(QChar(0x2501)));
    QCOMPARE(functions.testFunctionEdit(OvdHsel)->shownText(), QString(QChar(0x2501)));
    QCOMPARE(host.parameters()->value(ParamDcMax, -1), 0);
    QCOMPARE(callback.calls, 1);
    // One record send carries every change: OVD-HHVS on, DC-MAX and OVD-HSEL off.
    QCOMPARE(host.lon()->sends(), (Sends{{0x117E, hex("00010000")}, {0x1171, hex("10")}}));
    QCOMPARE(host.logLines().last(), QStringLiteral("Switch on test function OVD-HHVS"));

    // Switching off touches nothing else and logs one line.
    host.lon()->clearRecords();
    int const lines = host.logLines().size();
    functions.testFunctionEdit(OvdHhvs)->enterNumber(0);
    QCOMPARE(host.logLines().size(), lines + 1);
    QCOMPARE(host.logLines().last(), QStringLiteral("Switch off test function OVD-HHVS"));
    QCOMPARE(host.lon()->sends(), (Sends{{0x117E, hex("00000000")}, {0x1171, hex("00")}}));
    QCOMPARE(callback.calls, 1);
    functions.closeDialogWindow();
}

void tst_ServiceFunctions::dcMaxNeedsTheAccessCode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("promptResult");
    QTest::addColumn<bool>("switchedOn");
    QTest::addColumn<bool>("message");

    QTest::newRow("access-code") << "5186" << 0 << true << false;
    QTest::newRow("access-code-with-blanks") << " 5186 " << 0 << true << false;
    QTest::newRow("wrong-code") << "5187" << 0 << false << true;
    QTest::newRow("blanks-only") << "    " << 0 << false << true;
    QTest::newRow("empty") << "" << 0 << false << true;
    QTest::newRow("cancelled") << "5186" << 1 << false << false;
}

void tst_ServiceFunctions::dcMaxNeedsTheAccessCode()
{
    QFETCH(QString, typed);
    QFETCH(int, promptResult);
    QFETCH(bool, switchedOn);
    QFETCH(bool, message);

    HostFixture host(options(3));
    nodes(host, true, false);
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    functions.openTestFunctionsDialog();
    QPointer<DialogWindow> dialog = functions.dialog();

    QStringList messages;
    bool dialogHiddenDuringPrompt = false;
    QString promptTitle;
    ModalWidget::setAnswerer([&](ModalWidget* widget) {
        if (auto* prompt = qobject_cast<PasswordDialog*>(widget)) {
            promptTitle = prompt->title();
            dialogHiddenDuringPrompt = dialog->isHidden();
            prompt->typeText(typed);
            return promptResult;
        }
        if (auto* box = qobject_cast<DialogWindow*>(widget))
            messages << box->title() + QLatin1Char('|') + box->message();
        return 0;
    });

    host.lon()->clearRecords();
    functions.testFunctionEdit(DcMax)->enterNumber(1);
    QCOMPARE(promptTitle, QStringLiteral("Password"));
    QVERIFY(dialogHiddenDuringPrompt);
    QVERIFY(!dialog->isHidden());
    QCOMPARE(functions.isTestFunctionOn(DcMax), switchedOn);
    QCOMPARE(functions.testFunctionEdit(DcMax)->getNumber(), switchedOn ? 1 : 0);
    QCOMPARE(host.parameters()->value(ParamDcMax, -1), switchedOn ? 1 : -1);
    QCOMPARE(messages, message ? QStringList{"Password|Incorrect password!"} : QStringList{});
    QCOMPARE(host.lon()->sends().size(), switchedOn ? 1 : 0);
    QCOMPARE(host.logLines().contains(QStringLiteral("Switch on test function DC-MAX")), switchedOn);
    // What was typed never reaches the service log.
    for (QString const& line : host.logLines()) {
        if (!typed.trimmed().isEmpty())
            QVERIFY2(!line.contains(typed.trimmed()), qPrintable(line));
    }
    functions.closeDialogWindow();
}

void tst_ServiceFunctions::oneDialogSlotNeverOrphansADialog()
{
    HostFixture host(options(3));
    LonServiceFunctions functions(&host.registry, host.lon(), host.stateMachine());
    // Alone, the waiting dialog closes itself after 2.5 s.
    functions.showSynchronizingDialog();
    QVERIFY(functions.dialog() != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(functions.dialog() == nullptr, 4000);

    functions.showSynchronizingDialog();
    QPointer<DialogWindow> waiting = functions.dialog();
    functions.openTestFunctionsDialog();
    QPointer<DialogWindow> testFunctions = functions.dialog();
    QVERIFY(waiting != testFunctions);
    HostFixture::flushDeferredDeletes();
    QVERIFY(waiting.isNull());
    QCOMPARE(host.mainWindow()->findChildren<DialogWindow*>().size(), 1);

    // The waiting dialog's timer does not close the dialog that replaced it.
    QTest::qWait(2700);
    QVERIFY(functions.dialog() == testFunctions.data());
    functions.openTestFunctionsDialog();
    HostFixture::flushDeferredDeletes();
    QCOMPARE(host.mainWindow()->findChildren<DialogWindow*>().size(), 1);
    functions.closeDialogWindow();
}

QTEST_MAIN(tst_ServiceFunctions)
#include "tst_servicefunctions.moc"
