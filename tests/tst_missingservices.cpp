#include <QAbstractButton>
#include <QDomDocument>
#include <QtTest>

#include "host/DialogWindow.h"
#include "host/MenuSegment.h"
#include "host/MenuStrip.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "sim/LonSimulator.h"
#include "support/ModuleHarness.h"

using namespace LonCalibrationTypes;

namespace {

// The host services a module can find missing, as the fixture leaves them out.
struct Service
{
    char const* name;
    bool HostFixture::Options::*option;
};

Service const kServices[] = {
    {"ILon", &HostFixture::Options::lon},
    {"ILonManagement", &HostFixture::Options::lonManagement},
    {"IStatemachine", &HostFixture::Options::stateMachine},
    {"IPrint", &HostFixture::Options::print},
    {"IParameterControl", &HostFixture::Options::parameters},
    {"ISystem", &HostFixture::Options::system},
    {"configuration", &HostFixture::Options::config},
    {"MainWindow", &HostFixture::Options::mainWindow},
};

HostFixture::Options without(QByteArray const& service)
{
    HostFixture::Options options;
    for (Service const& entry : kServices) {
        if (service == entry.name)
            options.*(entry.option) = false;
    }
    return options;
}

InstrumentProfile const& profile(QString const& name)
{
    InstrumentProfile const* found = InstrumentProfile::find(name);
    Q_ASSERT(found != nullptr);
    return *found;
}

QStringList buttonTexts(DialogWindow const* dialog)
{
    QStringList texts;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        texts << button->text();
    return texts;
}

// What a person does in a dialog: changes every enabled field and puts it
// back, flips every switch twice, and presses every button but "Ok".
void exerciseDialog(DialogWindow* dialog)
{
    QPointer<DialogWindow> guard(dialog);
    const QList<QPointer<NumberEdit>> edits = [dialog] {
        QList<QPointer<NumberEdit>> list;
        for (NumberEdit* edit : dialog->findChildren<NumberEdit*>())
            list.append(edit);
        return list;
    }();
    for (QPointer<NumberEdit> const& edit : edits) {
        if (!edit || !edit->isEnabled() || edit->focusPolicy() == Qt::NoFocus)
            continue;
        qint64 const shown = edit->getNumber();
        edit->enterNumber(shown == edit->getMaximum() ? edit->getMinimum() : shown + 1);
        if (edit && edit->isEnabled())
            edit->enterNumber(shown);
    }
    const QList<QPointer<QAbstractButton>> buttons = [dialog] {
        QList<QPointer<QAbstractButton>> list;
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            list.append(button);
        return list;
    }();
    for (QPointer<QAbstractButton> const& button : buttons) {
        if (!guard || guard->isHidden())
            return;
        if (button && button->isEnabled() && button->text() != QLatin1String("Ok"))
            button->click();
    }
}

} // namespace

// The module inside a host that lacks one of its services: the behaviour the
// module promises for that case, and never a crash, through the whole life
// of the module, its menu page and every dialog.
class tst_MissingServices : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void wholeSessionWithOneServiceMissing_data();
    void wholeSessionWithOneServiceMissing();

    void withoutLonTheHostDropsTheModule();
    void withoutLonManagementTheOlderStructuresAreUsed();
    void withoutStateMachine();
    void withoutPrintServiceNothingPrints();
    void withoutParameterServiceOnlyCountersAreOffered();
    void withoutSystemServiceThePdfIsNotHandedOn();
    void withoutConfigurationTheDefaultsApply();
    void withoutMainWindowNoDialogOpens();
};

void tst_MissingServices::cleanup()
{
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_MissingServices::wholeSessionWithOneServiceMissing_data()
{
    QTest::addColumn<QString>("instrument");
    QTest::addColumn<QByteArray>("missing");

    for (QString const& instrument :
         {QStringLiteral("nt3-full"), QStringLiteral("nt3-hvdc-hw7"), QStringLiteral("nt9-hw11"),
          QStringLiteral("nt1-compact")}) {
        for (Service const& service : kServices)
            QTest::newRow(qPrintable(instrument + QLatin1Char('/') + QLatin1String(service.name)))
                << instrument << QByteArray(service.name);
    }
}

void tst_MissingServices::wholeSessionWithOneServiceMissing()
{
    QFETCH(QString, instrument);
    QFETCH(QByteArray, missing);

    ModuleHarness harness(profile(instrument), without(missing));
    LonSimulator* lon = harness.lon();
    if (lon != nullptr)
        lon->setAutoAnswer(true);
    harness.instantiate();
    if (!harness.initialize()) {
        QCOMPARE(missing, QByteArray("ILon"));
        return;  // the host dropped it; withoutLonTheHostDropsTheModule covers the rest
    }
    harness.start();
    QVERIFY(harness.createMenu());
    if (lon != nullptr)
        QVERIFY(lon->waitUntilIdle(5000));
    LonCalibration* module = harness.module();

    // The page, every dialog and every field and button in it.
    harness.tap(ModuleHarness::CalibrationPosition);
    for (int position : ModuleHarness::dialogPositions()) {
        if (!harness.tap(position))
            continue;
        if (lon != nullptr)
            lon->waitUntilIdle(5000);
        for (DialogWindow* dialog : harness.openDialogs())
            exerciseDialog(dialog);
        harness.closeAllDialogs();
    }
    harness.tap(ModuleHarness::RelaxPosition);
    harness.tap(ModuleHarness::RelaxPosition);
    harness.tap(ModuleHarness::CalibrationPosition);
    harness.tap(ModuleHarness::CalibrationPosition);

    // The other ways in: host notifications, other modules, the records.
    if (StateMachine* states = harness.host().stateMachine()) {
        states->setState(7);
        states->setState(3);
    }
    if (ParameterService* parameters = harness.host().parameters()) {
        parameters->setParameter(ParamServiceMode, 0);
        parameters->setParameter(ParamServiceMode, 1);
    }
    module->setBurnInModeEnabled(true);
    module->setBurnInModeEnabled(false);
    module->pollAllCalibrationValues(true);
    QDomDocument document;
    module->writeAllCalibrationValuesToDom(document);
    QDomNodeList const values = document.elementsByTagName(QStringLiteral("value"));
    for (int i = 0; i < values.size(); i += 2) {
        QDomElement value = values.at(i).toElement();
        value.firstChild().setNodeValue(QString::number(value.text().toInt() + 1));
    }
    module->importFileFromStick(document.toString());
    for (int step = 0; step < 100 && module->infoDialog() != nullptr; ++step) {
        DialogWindow* dialog = module->infoDialog();
        QAbstractButton* next = step % 3 == 2 ? dialog->rejectButton() : dialog->acceptButton();
        if (next == nullptr)
            next = dialog->rejectButton();
        if (next == nullptr)
            break;
        next->click();
        HostFixture::flushDeferredDeletes();
    }
    module->slotServicePrint();
    QVERIFY(QMetaObject::invokeMethod(module, "slotPrint"));
    QVERIFY(QMetaObject::invokeMethod(module, "cleanUp"));
    module->getSurgeCounter2kV();
    module->getVLFCycleCounter();
    module->getVLFCurrentMaximum();

    // Let the edits' writes, the print and the late answers happen.
    QTest::qWait(NodeLonCalibrationBase::SendDelayMs + 50);
    if (lon != nullptr)
        QVERIFY(lon->waitUntilIdle(5000));
    harness.closeAllDialogs();
    harness.tearDown();
    if (lon != nullptr)
        QCOMPARE(lon->receiverCount(), 0);
    QVERIFY(harness.openDialogs().isEmpty());
}

void tst_MissingServices::withoutLonTheHostDropsTheModule()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("ILon"));
    harness.instantiate();
    QVERIFY(!harness.initialize());
    QVERIFY(harness.module() == nullptr);
    QVERIFY(harness.host().registry.getModule("ILonCalibration") == nullptr);
    // The dropped module had already registered with the state machine; it
    // must never be called back.
    harness.host().stateMachine()->setState(7);
    harness.host().stateMachine()->setState(3);
    harness.host().parameters()->setParameter(ParamServiceMode, 0);
    QCoreApplication::processEvents();
}

void tst_MissingServices::withoutLonManagementTheOlderStructuresAreUsed()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("ILonManagement"));
    QVERIFY(harness.bringUp());
    // The PSU generation is unknown: the older record is asked for.
    QVERIFY(harness.lon()->polls().contains(0x1275));
    QVERIFY(!harness.lon()->polls().contains(0x127B));
    // Neither generation of the controller is known, so no service record goes out.
    harness.lon()->clearRecords();
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    QVERIFY(harness.module()->isCalibrationOn());
    for (auto const& send : harness.lon()->sends())
        QVERIFY(send.first >> 8 != 17);
}

void tst_MissingServices::withoutStateMachine()
{
    // Network type 0 waits for the state machine only when there is one.
    {
        ModuleHarness harness(profile(QStringLiteral("nt0")), without("IStatemachine"));
        QVERIFY(harness.bringUp());
        QVERIFY(!harness.module()->isInitializationPending());
        QVERIFY(!harness.module()->nodeTable().isEmpty());
    }
    // The HV DC configuration needs a state to allow it.
    ModuleHarness harness(profile(QStringLiteral("nt3-hvdc-hw7")), without("IStatemachine"));
    QVERIFY(harness.bringUp());
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    QVERIFY(harness.segment(5)->isEnabled());
    QVERIFY(!harness.segment(4)->isEnabled());
    QVERIFY(!harness.tap(4));
}

void tst_MissingServices::withoutPrintServiceNothingPrints()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("IPrint"));
    QVERIFY(harness.bringUp());
    QVERIFY(harness.tap(ModuleHarness::InfoPosition));
    QList<DialogWindow*> const open = harness.openDialogs();
    QCOMPARE(open.size(), 1);
    QVERIFY(!buttonTexts(open.first()).join(QLatin1Char(' ')).contains(QLatin1String("Print")));
    harness.closeAllDialogs();

    harness.module()->slotServicePrint();
    QVERIFY(harness.module()->infoDialog() == nullptr);
    QVERIFY(QMetaObject::invokeMethod(harness.module(), "slotPrint"));
    QVERIFY(harness.module()->createForm(QStringLiteral("Calibration")).isEmpty());
}

void tst_MissingServices::withoutParameterServiceOnlyCountersAreOffered()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("IParameterControl"));
    harness.lon()->setAutoAnswer(true);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.lon()->waitUntilIdle(5000));
    // Host parameter 56 reads as 0: the service entries are offered disabled.
    for (int position : {3, 4, 5, 6, 7, 8, 9, 10, 11})
        QVERIFY2(!harness.segment(position)->isEnabled(), qPrintable(QString::number(position)));
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    for (auto const& node : harness.module()->nodeTable())
        QCOMPARE(node->calibrationMode(), CalibrationModeCounters);
    QVERIFY(!harness.segment(3)->isEnabled());
    // The information window offers neither print nor load.
    QVERIFY(harness.tap(ModuleHarness::InfoPosition));
    QCOMPARE(buttonTexts(harness.openDialogs().first()), QStringList{QStringLiteral("Ok")});
    harness.closeAllDialogs();
    // Switching off cannot clear parameter 57 and still writes the record.
    harness.lon()->clearRecords();
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    QVERIFY(!harness.module()->isCalibrationOn());
    QVERIFY(harness.lon()->sends().contains({0x117E, QByteArray::fromHex("00000000")}));
    harness.closeAllDialogs();
}

void tst_MissingServices::withoutSystemServiceThePdfIsNotHandedOn()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("ISystem"));
    harness.host().print()->setCurrentPrinterName(IPrint::pdfTarnel);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.tap(ModuleHarness::InfoPosition));
    QSignalSpy printed(harness.host().print(), &PrintService::printed);
    QVERIFY(QMetaObject::invokeMethod(harness.module(), "slotPrint"));
    QTRY_COMPARE(printed.size(), 1);
    QCOMPARE(printed.first().at(1).toInt(), int(IPrint::ResultDone));
    QVERIFY(QFile::exists(harness.host().print()->lastFile()));
    harness.closeAllDialogs();
}

void tst_MissingServices::withoutConfigurationTheDefaultsApply()
{
    // A correction factor could come only from the configuration: mains values pass unscaled.
    ModuleHarness harness(profile(QStringLiteral("nt3-classic")), without("configuration"));
    harness.lon()->setAutoAnswer(true);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    QVERIFY(harness.tap(3));
    NodeLonCalibrationBase* psu = harness.module()->nodeTable().value(18).data();
    NVData mains;
    mains.setShortValue(2300);
    harness.lon()->deliver(0x126A, mains);
    QCOMPARE(psu->getDisplayNumberEdit(MainsVoltage)->getNumber(), 2300LL);
    harness.closeAllDialogs();
}

void tst_MissingServices::withoutMainWindowNoDialogOpens()
{
    ModuleHarness harness(profile(QStringLiteral("nt3-full")), without("MainWindow"));
    QVERIFY(harness.bringUp());
    harness.lon()->clearRecords();
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    int const writes = harness.lon()->sends().size();
    for (int position : ModuleHarness::dialogPositions())
        QVERIFY(harness.tap(position));
    QVERIFY(harness.module()->infoDialog() == nullptr);
    for (auto const& node : harness.module()->nodeTable())
        QVERIFY(node->dialog() == nullptr);
    QVERIFY(harness.module()->testFunctions()->dialog() == nullptr);
    QVERIFY(harness.module()->alarmTests()->dialog() == nullptr);
    // No dialog asked for live values or polled anything.
    QCOMPARE(harness.lon()->moduleStatusCalls(), QList<bool>());
    QVERIFY(harness.lon()->polls().isEmpty());
    // Switching off still writes the record, without its waiting dialog.
    QVERIFY(harness.tap(ModuleHarness::CalibrationPosition));
    QVERIFY(harness.lon()->sends().size() > writes);
    QVERIFY(harness.module()->testFunctions()->dialog() == nullptr);
}

QTEST_MAIN(tst_MissingServices)
#include "tst_missingservices.moc"
