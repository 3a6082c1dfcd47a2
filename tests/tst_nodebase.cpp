#include <QAbstractButton>
#include <QtTest>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/NumberEdit.h"
#include "sim/LonSimulator.h"
#include "support/FakeNode.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

// The node dialog base: rows, refresh rules of the three calibration modes,
// the debounced path from an edit to the node, and the dialog's tear-down.
class tst_NodeBase : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buildersShapeTheirRows_data();
    void buildersShapeTheirRows();
    void refreshClampsToTheEditsRange_data();
    void refreshClampsToTheEditsRange();
    void modesDecideWhatMayBeEdited_data();
    void modesDecideWhatMayBeEdited();
    void modeChangeAloneEnablesNothing();
    void switchBuiltDisabledWaitsForAFullRefresh();
    void notReceivedValuesStayDisabled();
    void burstOfChangesGivesOneSend();
    void unregisteredEditsAreIgnored();
    void measurementsEnableOnlyMainsValues();
    void displayUnitFollowsTheEdit();
    void cleanUpClosesTheDialogAndSignals();
    void noMainWindowGivesNoDialog();
    void secondOpeningReplacesTheFirstDialog();

private:
    FakeNode* openNode(QList<CalibrationParameters> const& owned);

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<FakeNode> m_node;
};

void tst_NodeBase::init()
{
    m_host.reset(new HostFixture());
}

void tst_NodeBase::cleanup()
{
    m_node.reset();
    m_host.reset();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

FakeNode* tst_NodeBase::openNode(QList<CalibrationParameters> const& owned)
{
    m_node.reset(new FakeNode(&m_host->registry, m_host->lon(), 18, owned));
    m_node->openCalibrationDialog();
    return m_node.data();
}

void tst_NodeBase::buildersShapeTheirRows_data()
{
    QTest::addColumn<QString>("builder");
    QTest::addColumn<int>("fieldWidth");
    QTest::addColumn<QString>("label");
    QTest::addColumn<qint64>("minimum");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("shown");

    QTest::newRow("calibration") << "calibration" << 40 << "U-mains Gain" << qint64(-128) << qint64(127) << false
                                 << QString();
    QTest::newRow("counter") << "counter" << 80 << "Surge Counter 2 kV" << qint64(0) << qint64(9999) << false
                             << QString();
    QTest::newRow("single-select") << "single" << 40 << "Cascade" << qint64(0) << qint64(999) << false << QString();
    QTest::newRow("switch-enabled") << "switch-on" << 40 << "Enable Comp." << qint64(0) << qint64(1) << true
                                    << QString(QChar(0x2501));
    QTest::newRow("switch-disabled") << "switch-off" << 40 << "Enable Comp." << qint64(0) << qint64(1) << false
                                     << QString();
    QTest::newRow("vlf-switch") << "vlf-switch" << 40 << "Enable I-out Gain" << qint64(0) << qint64(1) << true
                                << QString(QChar(0x2501));
}

void tst_NodeBase::buildersShapeTheirRows()
{
    QFETCH(QString, builder);
    QFETCH(int, fieldWidth);
    QFETCH(QString, label);
    QFETCH(qint64, minimum);
    QFETCH(qint64, maximum);
    QFETCH(bool, enabled);
    QFETCH(QString, shown);

    FakeNode node(&m_host->registry, nullptr, 18, {});
    QWidget parent;
    int row = 50;
    NumberEdit* edit = nullptr;
    if (builder == QLatin1String("calibration"))
        edit = node.addCalibrationNumberEdit(&parent, row, 10, 300, UMainsGain, 3, 0, QString());
    else if (builder == QLatin1String("counter"))
        edit = node.addCounterCalibrationNumberEdit(&parent, row, 10, 300, SurgeCounter2kV, 4, 0, QString());
    else if (builder == QLatin1String("single"))
        edit = node.addSingleSelectCalibrationNumberEdit(&parent, row, 10, 300, Cascade, 3, 0, QString());
    else if (builder == QLatin1String("switch-on"))
        edit = node.addSwitchNumberEdit(&parent, row, 10, 300, EnableComp, true);
    else if (builder == QLatin1String("switch-off"))
        edit = node.addSwitchNumberEdit(&parent, row, 10, 300, EnableComp, false);
    else
        edit = node.addSwitchNumberEdit(&parent, row, 10, 300, EnableIOutGain);
    QVERIFY(edit);

    QCOMPARE(row, 50 + 27);
    QCOMPARE(edit->geometry(), QRect(10, 50, 300, 27));
    QCOMPARE(edit->fieldWidth(), fieldWidth);
    QCOMPARE(edit->labelText(), label);
    QCOMPARE(edit->getMinimum(), minimum);
    QCOMPARE(edit->getMaximum(), maximum);
    QCOMPARE(edit->isEnabled(), enabled);
    QCOMPARE(edit->shownText(), shown);

    bool const isVlfSwitch = builder == QLatin1String("vlf-switch");
    QCOMPARE(node.getKey(edit), isVlfSwitch ? CalParamNone : node.getKey(edit));
    QCOMPARE(node.getSwitchNumberEdit(EnableIOutGain) == edit, isVlfSwitch);

    // A title is 25 high and also takes a 27-pixel row.
    ColoredLabel* title = NodeLonCalibrationBase::createTitle(&parent, row, 10, 300, QStringLiteral("Data in X"));
    QCOMPARE(title->geometry(), QRect(10, 77, 300, 25));
    QCOMPARE(row, 104);
    QCOMPARE(title->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
}

void tst_NodeBase::refreshClampsToTheEditsRange_data()
{
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("200-shows-127") << qint64(200) << "127";
    QTest::newRow("-200-shows--128") << qint64(-200) << "-128";
    QTest::newRow("in-range") << qint64(-7) << "-7";
}

void tst_NodeBase::refreshClampsToTheEditsRange()
{
    QFETCH(qint64, stored);
    QFETCH(QString, shown);

    FakeNode* node = openNode({UMainsGain});
    node->values.insert(UMainsGain, stored);
    node->received = true;
    node->valueReceived(true);
    QCOMPARE(node->getCalibrationNumberEdit(UMainsGain)->shownText(), shown);
    // The buffer keeps the received value; only a person's change writes the clamped one.
    QCOMPARE(node->values.value(UMainsGain), stored);
    QCOMPARE(node->sends, 0);
}

void tst_NodeBase::modesDecideWhatMayBeEdited_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<bool>("gainEditable");
    QTest::addColumn<bool>("counterEditable");

    QTest::newRow("off") << int(CalibrationModeOff) << true << false << false;
    QTest::newRow("counters") << int(CalibrationModeCounters) << true << false << true;
    QTest::newRow("full") << int(CalibrationModeFull) << true << true << true;
    QTest::newRow("full-without-enable") << int(CalibrationModeFull) << false << false << false;
}

void tst_NodeBase::modesDecideWhatMayBeEdited()
{
    QFETCH(int, mode);
    QFETCH(bool, enable);
    QFETCH(bool, gainEditable);
    QFETCH(bool, counterEditable);

    FakeNode* node = openNode({UMainsGain, SurgeCounter8kV});
    node->setCalibrationEnabled(static_cast<CalibrationModes>(mode));
    node->values.insert(UMainsGain, 5);
    node->values.insert(SurgeCounter8kV, 12);
    node->received = true;
    node->valueReceived(enable);

    QCOMPARE(node->getCalibrationNumberEdit(UMainsGain)->isEnabled(), gainEditable);
    QCOMPARE(node->getCalibrationNumberEdit(SurgeCounter8kV)->isEnabled(), counterEditable);
    QCOMPARE(node->getCalibrationNumberEdit(SurgeCounter8kV)->shownText(), QStringLiteral("12"));
}

void tst_NodeBase::modeChangeAloneEnablesNothing()
{
    FakeNode* node = openNode({UMainsGain});
    node->received = true;
    node->valueReceived(true);
    QVERIFY(!node->getCalibrationNumberEdit(UMainsGain)->isEnabled());

    node->setCalibrationEnabled(CalibrationModeFull);
    QVERIFY(!node->getCalibrationNumberEdit(UMainsGain)->isEnabled());
    node->valueReceived(true);
    QVERIFY(node->getCalibrationNumberEdit(UMainsGain)->isEnabled());
}

void tst_NodeBase::switchBuiltDisabledWaitsForAFullRefresh()
{
    m_node.reset(new FakeNode(&m_host->registry, m_host->lon(), 18, {EnableComp}));
    m_node->withSwitchRow = true;
    m_node->openCalibrationDialog();
    NumberEdit* edit = m_node->getCalibrationNumberEdit(EnableComp);
    QVERIFY(edit && !edit->isEnabled());

    m_node->values.insert(EnableComp, 1);
    m_node->received = true;
    m_node->setCalibrationEnabled(CalibrationModeCounters);
    m_node->valueReceived(true);
    QVERIFY(!edit->isEnabled());

    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->valueReceived(true);
    QVERIFY(edit->isEnabled());
    QCOMPARE(edit->shownText(), QString(QChar(0x2714)));
}

void tst_NodeBase::notReceivedValuesStayDisabled()
{
    FakeNode* node = openNode({UMainsGain});
    node->setCalibrationEnabled(CalibrationModeFull);
    node->values.insert(UMainsGain, 9);
    node->valueReceived(true);
    NumberEdit* edit = node->getCalibrationNumberEdit(UMainsGain);
    QVERIFY(!edit->isEnabled());
    QCOMPARE(edit->shownText(), QString());
    // The open dialog polled the node, which has not answered.
    QCOMPARE(m_host->lon()->polls(), QList<unsigned short>{0x1275});
}

void tst_NodeBase::burstOfChangesGivesOneSend()
{
    FakeNode* node = openNode({UMainsGain});
    node->setCalibrationEnabled(CalibrationModeFull);
    node->received = true;
    node->valueReceived(true);
    NumberEdit* edit = node->getCalibrationNumberEdit(UMainsGain);
    QVERIFY(edit->isEnabled());
    m_host->lon()->clearRecords();

    QElapsedTimer clock;
    clock.start();
    for (qint64 value : {3, 4, 5}) {
        edit->enterNumber(value);
        QTest::qWait(100);
    }
    qint64 const lastChange = clock.elapsed() - 100;
    QCOMPARE(node->sends, 0);
    QTRY_COMPARE(node->sends, 1);
    QVERIFY2(clock.elapsed() - lastChange >= 200, "the send waits 200 ms after the last change");

    QCOMPARE(m_host->logLines(), (QStringList{"Calibrate Fake", "Set U-mains Gain to 3", "Set U-mains Gain to 4",
                                              "Set U-mains Gain to 5"}));
    QCOMPARE(m_host->lon()->sends().size(), 1);
    QCOMPARE(m_host->lon()->sends().first().second, QByteArray(1, 5));
    QTest::qWait(300);
    QCOMPARE(node->sends, 1);
}

void tst_NodeBase::unregisteredEditsAreIgnored()
{
    FakeNode* node = openNode({UMainsGain});
    NumberEdit stray(nullptr, 3, 0, 40, nullptr, false);
    node->calibrationValueChanged(&stray);
    node->calibrationValueChanged(nullptr);
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate Fake"});
    QTest::qWait(250);
    QCOMPARE(node->sends, 0);
}

void tst_NodeBase::measurementsEnableOnlyMainsValues()
{
    FakeNode* node = openNode({UMainsGain});
    NumberEdit* mains = node->getDisplayNumberEdit(MainsVoltage);
    NumberEdit* iso = node->getDisplayNumberEdit(RIso);
    QVERIFY(mains && iso);

    node->setMeasurementValue(MainsVoltage, 2305);
    node->setMeasurementValue(RIso, 120000);
    QCOMPARE(mains->shownText(), QStringLiteral("230.5"));
    QCOMPARE(iso->shownText(), QStringLiteral("12.0000"));
    QVERIFY(!mains->isEnabled());
    QVERIFY(iso->isEnabled());

    node->setCalibrationEnabled(CalibrationModeFull);
    node->setMeasurementValue(MainsVoltage, 2306);
    QVERIFY(mains->isEnabled());
    // A measurement the dialog does not show is ignored.
    node->setMeasurementValue(MotorCurrent, 1);
}

void tst_NodeBase::displayUnitFollowsTheEdit()
{
    FakeNode* node = openNode({UMainsGain});
    node->setUnitForDisplayNumberEdit(MainsVoltage, QStringLiteral("!!"));
    QCOMPARE(node->getDisplayNumberEdit(MainsVoltage)->unitText(), QStringLiteral("!!"));
    node->setUnitForDisplayNumberEdit(MotorCurrent, QStringLiteral("A"));
}

void tst_NodeBase::cleanUpClosesTheDialogAndSignals()
{
    FakeNode idle(&m_host->registry, nullptr, 18, {UMainsGain});
    QSignalSpy idleSpy(&idle, &NodeLonCalibrationBase::enableLonModuleStatus);
    idle.cleanUp();
    QCOMPARE(idleSpy.size(), 1);
    QCOMPARE(idleSpy.first().first().toBool(), false);

    m_node.reset(new FakeNode(&m_host->registry, m_host->lon(), 18, {UMainsGain}));
    QSignalSpy spy(m_node.data(), &NodeLonCalibrationBase::enableLonModuleStatus);
    m_node->openCalibrationDialog();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toBool(), true);
    QPointer<DialogWindow> dialog = m_node->dialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->title(), QStringLiteral("FAKE"));

    // The dialog's own Ok button closes it.
    dialog->acceptButton()->click();
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.last().first().toBool(), false);
    QVERIFY(m_node->dialog() == nullptr);
    QVERIFY(m_node->getCalibrationNumberEdit(UMainsGain) == nullptr);
    HostFixture::flushDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void tst_NodeBase::noMainWindowGivesNoDialog()
{
    HostFixture::Options options;
    options.mainWindow = false;
    m_host.reset(new HostFixture(options));
    m_node.reset(new FakeNode(&m_host->registry, m_host->lon(), 18, {UMainsGain}));
    QSignalSpy spy(m_node.data(), &NodeLonCalibrationBase::enableLonModuleStatus);
    QVERIFY(m_node->createDialogWindow(QStringLiteral("FAKE")) == nullptr);
    QCOMPARE(spy.size(), 0);
}

void tst_NodeBase::secondOpeningReplacesTheFirstDialog()
{
    FakeNode* node = openNode({UMainsGain});
    QPointer<DialogWindow> first = node->dialog();
    node->openCalibrationDialog();
    QVERIFY(node->dialog() != first.data());
    HostFixture::flushDeferredDeletes();
    QVERIFY(first.isNull());
    QCOMPARE(m_host->mainWindow()->findChildren<DialogWindow*>().size(), 1);
}

QTEST_MAIN(tst_NodeBase)
#include "tst_nodebase.moc"
