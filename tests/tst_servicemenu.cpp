#include <QtTest>

#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/MenuSegment.h"
#include "host/MenuStrip.h"
#include "host/ParameterService.h"
#include "host/StateMachine.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/FakeNode.h"
#include "support/HostFixture.h"
#include "support/LonCalibrationTestAccess.h"

using namespace LonCalibrationTypes;

namespace {

// The page as the strip recorded it: "position title", "+" when enabled.
QStringList page(MenuStrip const& menu)
{
    QStringList rows;
    for (MenuStrip::Event const& event : menu.events()) {
        if (event.kind != MenuStrip::Event::Placed)
            continue;
        ISegment* segment = menu.segmentAt(event.position);
        rows << QStringLiteral("%1 %2%3").arg(event.position).arg(segment->title(), segment->isEnabled() ? "+" : "");
    }
    return rows;
}

} // namespace

// The "/lon" service menu page and the calibration and relax mode behind it.
class tst_ServiceMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void otherPathsBuildNothing();
    void pagePerInstrument_data();
    void pagePerInstrument();
    void buttonsOpenTheirDialogs();
    void calibrationToggle_data();
    void calibrationToggle();
    void switchingOffInNetworkType9();
    void relaxSwitchesCalibrationOff();
    void serviceModeChangeEndsCalibration();
    void stateChangesGateTheHvDcConfiguration();
    void sendCalibUpdateMapsNodes_data();
    void sendCalibUpdateMapsNodes();

private:
    void start(int networkType, int hardware, QList<unsigned char> const& keys, bool service = true);
    FakeNode* node(unsigned char key) const { return m_fakes.value(key).data(); }

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<LonCalibration> m_module;
    QScopedPointer<MenuStrip> m_menu;
    QHash<unsigned char, QSharedPointer<FakeNode>> m_fakes;
};

void tst_ServiceMenu::init()
{
    m_menu.reset(new MenuStrip());
}

void tst_ServiceMenu::cleanup()
{
    if (m_module)
        m_module->shutdownModule();
    m_module.reset();
    m_fakes.clear();
    m_menu.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_ServiceMenu::start(int networkType, int hardware, QList<unsigned char> const& keys, bool service)
{
    HostFixture::Options options;
    options.networkType = static_cast<unsigned char>(networkType);
    options.hardware = hardware;
    m_host.reset(new HostFixture(options));
    m_host->lon()->setNodeVersions(18, {0x300});
    m_host->lon()->setNodeVersions(19, {});
    m_host->parameters()->setParameter(ParamServiceMode, service ? 1 : 0);
    m_module.reset(new LonCalibration());
    QVERIFY(m_module->initialize(&m_host->registry));
    m_module->startModule();

    LonCalibration::NodeTable table;
    for (unsigned char key : keys) {
        QSharedPointer<FakeNode> fake(new FakeNode(&m_host->registry, m_host->lon(), key, {UMainsGain}));
        m_fakes.insert(key, fake);
        table.insert(key, fake);
    }
    LonCalibrationTestAccess::setNodes(*m_module, table);
    m_host->lon()->clearRecords();
    m_host->stateMachine()->setState(3);
}

void tst_ServiceMenu::otherPathsBuildNothing()
{
    start(3, 1, {18});
    MenuResult const result = m_module->createMenu(QStringLiteral("/LON"), UserModeService, m_menu.data(), false);
    QCOMPARE(result.first, -1);
    QCOMPARE(result.third, -1);
    QVERIFY(m_menu->events().isEmpty());
    QCOMPARE(m_module->currentMenu(), static_cast<IMenu*>(m_menu.data()));
    m_module->leaveMenu(QStringLiteral("/LON"));
    QVERIFY(m_module->currentMenu() == nullptr);
}

void tst_ServiceMenu::pagePerInstrument_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<QList<unsigned char>>("keys");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("general") << 3 << 1 << QList<unsigned char>{18, 22, 27, 19, 20, 28} << true
                             << QStringList{"1 Info+",    "2 Calibration+",  "3 PSU",        "4 ISO",
                                            "6 Burner",   "5 Cascades",      "7 Surge Counters", "8 VLF",
                                            "10 Test Functions+", "9 Alarm Test+", "11 Relax Mode+"};
    QTest::newRow("service-mode-off") << 9 << 2 << QList<unsigned char>{18, 19, 20, 22, 28} << false
                                      << QStringList{"1 Info+", "2 Calibration+", "3 PSU", "4 ISO", "5 Cascades",
                                                     "7 Surge Counters", "8 VLF", "10 Test Functions",
                                                     "9 Alarm Test", "11 Relax Mode"};
    QTest::newRow("hardware-11") << 9 << 11 << QList<unsigned char>{20, 28} << true
                                 << QStringList{"1 Info+", "2 Calibration+", "7 Surge Counters", "8 VLF",
                                                "10 Test Functions+"};
    QTest::newRow("hv-dc-unit") << 3 << 7 << QList<unsigned char>{35} << true
                                << QStringList{"1 Info+", "2 Calibration+", "4 HV DC Configuration", "5 Cascades",
                                               "10 Test Functions+", "11 Relax Mode+"};
    QTest::newRow("compact") << 1 << 13 << QList<unsigned char>{3} << true
                             << QStringList{"1 Info+", "2 Calibration+", "5 Cascades", "10 Test Functions+",
                                            "9 Alarm Test+", "11 Relax Mode+"};
}

void tst_ServiceMenu::pagePerInstrument()
{
    QFETCH(int, networkType);
    QFETCH(int, hardware);
    QFETCH(QList<unsigned char>, keys);
    QFETCH(bool, service);
    QFETCH(QStringList, rows);

    start(networkType, hardware, keys, service);
    MenuResult const result = m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    QCOMPARE(result.first, 1);
    QCOMPARE(result.second, 0);
    QCOMPARE(result.third, 1);
    QCOMPARE(page(*m_menu), rows);
    QVERIFY(m_menu->segmentAt(2)->isToggle());
    QCOMPARE(m_menu->segmentAt(2)->toggleState(), ToggleOff);
    QCOMPARE(static_cast<MenuSegment*>(m_menu->segmentAt(1))->iconPath(), QStringLiteral(":/icons/calibrationinfo.svg"));
}

void tst_ServiceMenu::buttonsOpenTheirDialogs()
{
    start(3, 7, {35});
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    static_cast<MenuSegment*>(m_menu->segmentAt(4))->tap();
    QCOMPARE(node(35)->configurationOpens, 0);  // disabled while calibration is off
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    static_cast<MenuSegment*>(m_menu->segmentAt(4))->tap();
    QCOMPARE(node(35)->configurationOpens, 1);
    QVERIFY(node(35)->dialog() == nullptr);
    static_cast<MenuSegment*>(m_menu->segmentAt(5))->tap();
    QVERIFY(node(35)->dialog() != nullptr);
    node(35)->cleanUp();

    static_cast<MenuSegment*>(m_menu->segmentAt(10))->tap();
    QVERIFY(m_module->testFunctions()->dialog() != nullptr);
    m_module->testFunctions()->closeDialogWindow();
}

void tst_ServiceMenu::calibrationToggle_data()
{
    QTest::addColumn<bool>("service");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("buttonsEnabled");

    QTest::newRow("service-mode") << true << int(CalibrationModeFull) << true;
    QTest::newRow("counters-only") << false << int(CalibrationModeCounters) << false;
}

void tst_ServiceMenu::calibrationToggle()
{
    QFETCH(bool, service);
    QFETCH(int, mode);
    QFETCH(bool, buttonsEnabled);

    start(3, 1, {18, 19, 20}, service);
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    m_menu->clearEvents();

    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QCOMPARE(m_host->logLines().last(), QStringLiteral("Switch on LON-Calibration mode"));
    QVERIFY(m_module->isCalibrationOn());
    for (auto const& fake : qAsConst(m_fakes))
        QCOMPARE(int(fake->calibrationMode()), mode);
    QCOMPARE(m_menu->segmentAt(3)->isEnabled(), buttonsEnabled);
    QCOMPARE(m_menu->segmentAt(7)->isEnabled(), buttonsEnabled);
    // The record goes to node 17, then the DC unit under key 19 writes its data.
    QCOMPARE(m_host->lon()->sends().first(), (qMakePair<unsigned short, QByteArray>(0x117E, QByteArray::fromHex("01000000"))));
    QCOMPARE(node(19)->sends, 1);
    QCOMPARE(node(18)->sends, 0);

    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QCOMPARE(m_host->logLines().mid(m_host->logLines().size() - 2),
             (QStringList{"Switch off LON-Calibration mode", "Sychronizing calibration values..."}));
    QVERIFY(!m_module->isCalibrationOn());
    QCOMPARE(int(node(18)->calibrationMode()), int(CalibrationModeOff));
    QVERIFY(!m_menu->segmentAt(3)->isEnabled());
    QCOMPARE(node(19)->sends, 2);
    QVERIFY(m_module->testFunctions()->dialog() != nullptr);  // the waiting dialog
    m_module->testFunctions()->closeDialogWindow();
}

void tst_ServiceMenu::switchingOffInNetworkType9()
{
    start(9, 2, {19, 20});
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    m_module->testFunctions()->setSctsCalibrationFlags(true, true);
    m_host->lon()->clearRecords();

    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QCOMPARE(m_host->lon()->sends(), (QList<QPair<unsigned short, QByteArray>>{{0x1171, QByteArray::fromHex("0000")}}));
    QCOMPARE(node(19)->sends, 0);
    QVERIFY(m_module->testFunctions()->dialog() != nullptr);
    m_module->testFunctions()->closeDialogWindow();
}

void tst_ServiceMenu::relaxSwitchesCalibrationOff()
{
    start(3, 1, {18, 19});
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QVERIFY(m_module->isCalibrationOn());

    static_cast<MenuSegment*>(m_menu->segmentAt(11))->tap();
    QVERIFY(m_module->isRelaxModeOn());
    QVERIFY(!m_module->isCalibrationOn());
    QCOMPARE(m_menu->segmentAt(2)->toggleState(), ToggleOff);
    QVERIFY(m_host->logLines().contains(QStringLiteral("Switch on relax mode")));

    // Calibration on again resets the relax toggle.
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QVERIFY(m_module->isCalibrationOn());
    QVERIFY(!m_module->isRelaxModeOn());
    QCOMPARE(m_menu->segmentAt(11)->toggleState(), ToggleOff);
    m_module->testFunctions()->closeDialogWindow();

    // Without a current menu the relax slot does nothing at all.
    m_module->leaveMenu(QStringLiteral("/lon"));
    QVERIFY(QMetaObject::invokeMethod(m_module.data(), "slotToggleRelax", Q_ARG(ToggleStates, ToggleOn)));
    QVERIFY(!m_module->isRelaxModeOn());
}

void tst_ServiceMenu::serviceModeChangeEndsCalibration()
{
    start(3, 1, {18, 19});
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QVERIFY(m_module->isCalibrationOn());

    m_host->parameters()->setParameter(ParamServiceMode, 0);
    QVERIFY(!m_module->isCalibrationOn());
    QCOMPARE(m_menu->segmentAt(2)->toggleState(), ToggleOn);  // the toggle keeps what the user chose
    QVERIFY(!m_menu->segmentAt(3)->isEnabled());
    m_module->testFunctions()->closeDialogWindow();
}

void tst_ServiceMenu::stateChangesGateTheHvDcConfiguration()
{
    start(3, 7, {35});
    m_module->createMenu(QStringLiteral("/lon"), UserModeService, m_menu.data(), false);
    static_cast<MenuSegment*>(m_menu->segmentAt(2))->tap();
    QVERIFY(m_menu->segmentAt(4)->isEnabled());
    m_host->stateMachine()->setState(4);
    QVERIFY(!m_menu->segmentAt(4)->isEnabled());
    m_host->stateMachine()->setState(2);
    QVERIFY(m_menu->segmentAt(4)->isEnabled());
}

void tst_ServiceMenu::sendCalibUpdateMapsNodes_data()
{
    QTest::addColumn<int>("networkType");
    QTest::addColumn<QList<unsigned char>>("keys");
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("key");

    QList<unsigned char> const general{18, 19, 20, 22, 27, 28};
    QTest::newRow("17-to-cascade") << 3 << general << 17 << 19;
    QTest::newRow("21-to-cascade") << 9 << general << 21 << 19;
    QTest::newRow("25-to-cascade") << 3 << general << 25 << 19;
    QTest::newRow("18-itself") << 3 << general << 18 << 18;
    QTest::newRow("28-itself") << 3 << general << 28 << 28;
    QTest::newRow("17-compact") << 1 << QList<unsigned char>{3} << 17 << 3;
    QTest::newRow("17-hv-dc-nothing") << 3 << QList<unsigned char>{35} << 17 << 0;
    QTest::newRow("30-nothing") << 3 << general << 30 << 0;
}

void tst_ServiceMenu::sendCalibUpdateMapsNodes()
{
    QFETCH(int, networkType);
    QFETCH(QList<unsigned char>, keys);
    QFETCH(int, node);
    QFETCH(int, key);

    start(networkType, 1, keys);
    m_module->sendCalibUpdate(static_cast<char>(node));
    for (auto it = m_fakes.cbegin(); it != m_fakes.cend(); ++it)
        QCOMPARE(it.value()->sends, it.key() == key ? 1 : 0);
}

QTEST_MAIN(tst_ServiceMenu)
#include "tst_servicemenu.moc"
