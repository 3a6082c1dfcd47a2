#include <QtTest>

#include "host/IModuleMenu.h"
#include "host/MenuStrip.h"
#include "host/NVData.h"
#include "host/ParameterService.h"
#include "host/StateMachine.h"
#include "host/NumberEdit.h"
#include "module/ITestFacilityModeCallback.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

namespace {

QList<unsigned short> const kRegistrationOrder = {
    0x1275, 0x127B, 0x1975, 0x1375, 0x1475, 0x1575, 0x1675, 0x1B75, 0x1C75, 0x1E75, 0x2375,
    0x2377, 0x0382, 0x0384, 0x0386, 0x1C77, 0x1C79, 0x1E79, 0x1479, 0x1622, 0x026A, 0x026B,
    0x126A, 0x126B, 0x1261, 0x1269, 0x036C, 0x036D, 0x046E, 0x036F, 0x136C, 0x136D, 0x156E,
    0x136F, 0x1162, 0x1163, 0x1166, 0x1165, 0x1168, 0x1C68, 0x2361, 0x2392, 0x1164,
};

// A module that stands in for another one in the registry.
class OtherModule : public IModule
{
public:
    QString getName() const override { return QStringLiteral("Other"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override { return nullptr; }
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}
};

class CountingCallback : public ITestFacilityModeCallback
{
public:
    void testFacilityModeOff() override { ++calls; }
    int calls = 0;
};

} // namespace

// The host's view of the module's lifecycle: what it registers, when it
// creates its nodes, what it asks of the LON, and that no missing host
// service and no late call can bring it down.
class tst_Lifecycle : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void initializeRegistersWithTheHost();
    void initializeResultIsThePublication();
    void initializeFailures();
    void startDefersUntilTheStateMachineLeavesState0_data();
    void startDefersUntilTheStateMachineLeavesState0();
    void nodeTablePerInstrument_data();
    void nodeTablePerInstrument();
    void preparedRefreshesCountersAfterState7();
    void testFacilityCallbackOutlivesTheTestFunctionsObject();
    void pollAllFalseOnlySwitchesModuleStatusOff();
    void callsAfterShutdownAreHarmless();
    void missingHostServices_data();
    void missingHostServices();

private:
    LonCalibration* startModule(HostFixture& host);
};

void tst_Lifecycle::cleanup()
{
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

LonCalibration* tst_Lifecycle::startModule(HostFixture& host)
{
    auto* module = new LonCalibration();
    if (!module->initialize(&host.registry)) {
        delete module;
        return nullptr;
    }
    module->startModule();
    return module;
}

void tst_Lifecycle::initializeRegistersWithTheHost()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(module->initialize(&host.registry));

    QCOMPARE(host.lon()->registrations(), kRegistrationOrder);
    QVERIFY(module->isRegistered(ParamServiceMode));
    QCOMPARE(host.registry.getModule("ILonCalibration"), static_cast<IModule*>(module.data()));
    // Nothing is created or polled before start.
    QVERIFY(module->nodeTable().isEmpty());
    QVERIFY(host.lon()->polls().isEmpty());

    module->shutdownModule();
    QCOMPARE(host.lon()->receiverCount(), 0);
    QVERIFY(!module->isRegistered(ParamServiceMode));
}

void tst_Lifecycle::initializeResultIsThePublication()
{
    HostFixture host;
    OtherModule other;
    QVERIFY(host.registry.registerModule("ILonCalibration", &other));
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(!module->initialize(&host.registry));
}

void tst_Lifecycle::initializeFailures()
{
    {
        QScopedPointer<LonCalibration> module(new LonCalibration());
        QVERIFY(!module->initialize(nullptr));
    }

    HostFixture::Options options;
    options.lon = false;
    HostFixture host(options);
    QScopedPointer<LonCalibration> module(new LonCalibration());
    QVERIFY(!module->initialize(&host.registry));
    // The state-machine registration was already made before the LON lookup failed...
    host.stateMachine()->setState(2);
    QCOMPARE(module->getCurrentState(), 2);
    // ...and a module the host drops afterwards is never called back.
    module.reset();
    host.stateMachine()->setState(3);
    host.parameters()->setParameter(ParamServiceMode, 1);
    QVERIFY(host.registry.getModule("ILonCalibration") == nullptr);
}

void tst_Lifecycle::startDefersUntilTheStateMachineLeavesState0_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<bool>("withStateMachine");
    QTest::addColumn<int>("initialState");
    QTest::addColumn<bool>("deferred");

    QTest::newRow("nt0-state0-defers") << 0 << true << 0 << true;
    QTest::newRow("nt0-state2-now") << 0 << true << 2 << false;
    QTest::newRow("nt0-no-statemachine-now") << 0 << false << 0 << false;
    QTest::newRow("nt3-state0-now") << 3 << true << 0 << false;
}

void tst_Lifecycle::startDefersUntilTheStateMachineLeavesState0()
{
    QFETCH(int, networkType);
    QFETCH(bool, withStateMachine);
    QFETCH(int, initialState);
    QFETCH(bool, deferred);

    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    options.stateMachine = withStateMachine;
    HostFixture host(options);
    if (withStateMachine)
        host.stateMachine()->setState(initialState);

    QScopedPointer<LonCalibration> module(startModule(host));
    QVERIFY(module);
    QCOMPARE(module->isInitializationPending(), deferred);
    // The first poll of all values switches module status on.
    QCOMPARE(host.lon()->moduleStatusCalls(), deferred ? QList<bool>{} : QList<bool>{true});
    if (!deferred)
        return;

    host.stateMachine()->setState(0);
    QVERIFY(module->isInitializationPending());
    QVERIFY(host.lon()->moduleStatusCalls().isEmpty());

    host.stateMachine()->setState(1);
    QVERIFY(!module->isInitializationPending());
    QCOMPARE(host.lon()->moduleStatusCalls(), QList<bool>{true});

    // Only the pending start runs the initialization; later changes do not.
    host.stateMachine()->setState(2);
    QCOMPARE(host.lon()->moduleStatusCalls(), QList<bool>{true});
}

// Another module hands its callback in whenever it starts; the module must
// still tell it when DC-MAX goes off, whichever test functions object is current.
void tst_Lifecycle::testFacilityCallbackOutlivesTheTestFunctionsObject()
{
    HostFixture::Options options;
    options.networkType = 0;
    HostFixture host(options);
    host.stateMachine()->setState(0);
    QScopedPointer<LonCalibration> module(startModule(host));
    QVERIFY(module);
    CountingCallback callback;
    // Handed in while the node set waits for the state machine.
    module->setTestFacilityModeCallback(&callback);
    host.stateMachine()->setState(1);

    auto switchDcMaxOff = [&module] {
        LonServiceFunctions* functions = module->testFunctions();
        functions->setTestFunction(LonCalibrationTypes::DcMax, true);
        functions->openTestFunctionsDialog();
        functions->testFunctionEdit(LonCalibrationTypes::DcMax)->enterNumber(0);
        functions->closeDialogWindow();
    };
    switchDcMaxOff();
    QCOMPARE(callback.calls, 1);

    // A new start replaces the test functions object; the callback goes with it.
    module->startModule();
    switchDcMaxOff();
    QCOMPARE(callback.calls, 2);
    module->shutdownModule();
}

void tst_Lifecycle::nodeTablePerInstrument_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QList<int>>("keys");

    QTest::newRow("nt1-compact") << 1 << 13 << QList<int>{3};
    QTest::newRow("nt3-hardware-7") << 3 << 7 << QList<int>{35};
    QTest::newRow("nt3-hardware-12") << 3 << 12 << QList<int>{35};
    QTest::newRow("nt3-general") << 3 << 1 << QList<int>{18, 19, 20, 22, 27, 28};
    QTest::newRow("nt9-no-burner") << 9 << 11 << QList<int>{18, 19, 20, 22, 28};
    QTest::newRow("nt0") << 0 << 3 << QList<int>{18, 19, 20, 22};
    QTest::newRow("nt2") << 2 << 14 << QList<int>{18, 19, 20, 22};
}

void tst_Lifecycle::nodeTablePerInstrument()
{
    QFETCH(int, networkType);
    QFETCH(int, hardware);
    QFETCH(QList<int>, keys);

    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    options.hardware = hardware;
    HostFixture host(options);
    host.stateMachine()->setState(2);
    QScopedPointer<LonCalibration> module(startModule(host));
    QVERIFY(module);
    QList<int> found;
    for (unsigned char key : module->nodeTable().keys())
        found << key;
    std::sort(found.begin(), found.end());
    QCOMPARE(found, keys);
    QVERIFY(module->testFunctions() != nullptr);
    QVERIFY(module->alarmTests() != nullptr);
    // Every node was asked for its values once.
    QVERIFY(!host.lon()->polls().isEmpty());
    module->shutdownModule();
    QVERIFY(module->nodeTable().isEmpty());
    QVERIFY(module->testFunctions() == nullptr);
}

void tst_Lifecycle::preparedRefreshesCountersAfterState7()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(startModule(host));
    QVERIFY(module);

    host.stateMachine()->setState(2);
    host.lon()->clearRecords();
    host.stateMachine()->setState(3);
    QCoreApplication::processEvents();
    QVERIFY2(host.lon()->records().isEmpty(), "state 3 from 2 polls nothing");

    host.stateMachine()->setState(7);
    host.stateMachine()->setState(3);
    QTRY_COMPARE(host.lon()->polls(), (QList<unsigned short>{0x1C79, 0x1479}));
    QCOMPARE(host.lon()->moduleStatusCalls(), QList<bool>{true});
    QVERIFY(host.lon()->isModuleStatusOn());
    // Module status goes off again two seconds later.
    QTRY_VERIFY_WITH_TIMEOUT(!host.lon()->isModuleStatusOn(), 3000);
}

void tst_Lifecycle::pollAllFalseOnlySwitchesModuleStatusOff()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(startModule(host));
    host.lon()->clearRecords();

    module->pollAllCalibrationValues(false);
    QList<LonSimulator::Record> const records = host.lon()->records();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().kind, LonSimulator::Record::ModuleStatus);
    QCOMPARE(records.first().flag, false);
}

void tst_Lifecycle::callsAfterShutdownAreHarmless()
{
    HostFixture host;
    QScopedPointer<LonCalibration> module(startModule(host));
    module->shutdownModule();
    host.lon()->clearRecords();

    QVERIFY(QMetaObject::invokeMethod(module.data(), "cleanUp"));
    module->pollAllCalibrationValues(true);
    module->pollAllCalibrationValues(false);
    module->Prepared(QVariant(7));
    host.stateMachine()->setState(7);
    host.stateMachine()->setState(3);
    QCoreApplication::processEvents();
    QVERIFY(host.lon()->records().isEmpty());
    QVERIFY(module->nodeTable().isEmpty());
    // A second shutdown changes nothing either.
    module->shutdownModule();
}

void tst_Lifecycle::missingHostServices_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<bool>("initialized");

    QTest::newRow("ILonManagement") << "lonManagement" << true;
    QTest::newRow("IStatemachine") << "stateMachine" << true;
    QTest::newRow("IPrint") << "print" << true;
    QTest::newRow("IParameterControl") << "parameters" << true;
    QTest::newRow("ISystem") << "system" << true;
    QTest::newRow("configuration store") << "config" << true;
    QTest::newRow("main window") << "mainWindow" << true;
    QTest::newRow("ILon") << "lon" << false;
}

void tst_Lifecycle::missingHostServices()
{
    QFETCH(QString, missing);
    QFETCH(bool, initialized);

    HostFixture::Options options;
    options.networkType = 0;
    options.lonManagement = missing != QLatin1String("lonManagement");
    options.stateMachine = missing != QLatin1String("stateMachine");
    options.print = missing != QLatin1String("print");
    options.parameters = missing != QLatin1String("parameters");
    options.system = missing != QLatin1String("system");
    options.config = missing != QLatin1String("config");
    options.mainWindow = missing != QLatin1String("mainWindow");
    options.lon = missing != QLatin1String("lon");
    HostFixture host(options);

    QScopedPointer<LonCalibration> module(new LonCalibration());
    QCOMPARE(module->initialize(&host.registry), initialized);
    module->startModule();
    // Without a state machine nothing can defer the start.
    if (missing == QLatin1String("stateMachine"))
        QVERIFY(!module->isInitializationPending());

    MenuStrip menu;
    MenuResult const result = module->createMenu(QStringLiteral("/lon"), UserModeService, &menu, false);
    QCOMPARE(result.first, 1);
    module->pollAllCalibrationValues(true);
    module->Prepared(QVariant(7));
    QVERIFY(QMetaObject::invokeMethod(module.data(), "cleanUp"));
    module->leaveMenu(QStringLiteral("/lon"));
    module->shutdownModule();
    module.reset();
    HostFixture::flushDeferredDeletes();
}

QTEST_MAIN(tst_Lifecycle)
#include "tst_lifecycle.moc"
