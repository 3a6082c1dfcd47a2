#include <QAbstractButton>
#include <QtTest>
#include <algorithm>

#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/HWConfiguration.h"
#include "host/NVData.h"
#include "host/NumberEdit.h"
#include "host/ParameterService.h"
#include "host/StateMachine.h"
#include "module/ILonCalibrationDCCallback.h"
#include "module/LonCalibration.h"
#include "nodes/VLFLonCalibration.h"
#include "sim/LonSimulator.h"
#include "support/ByteImage.h"
#include "support/DialogRows.h"
#include "support/HostFixture.h"
#include "support/ModuleHarness.h"

using namespace LonCalibrationTypes;

namespace {

using Sends = QList<QPair<unsigned short, QByteArray>>;
using Polls = QList<unsigned short>;

// The DC module as the VLF dialog sees it; records every set point it is given.
class FakeDcCallback : public ILonCalibrationDCCallback
{
public:
    unsigned int getVoltageRange() const override { return range; }
    unsigned int getNominalVoltage() const override { return nominal; }
    void setNominal(unsigned int voltage, unsigned int current) override { sets.append({voltage, current}); }
    bool isHvReady() const override { return hvReady; }

    unsigned int range = 400;
    unsigned int nominal = 0;
    bool hvReady = true;
    QList<QPair<unsigned int, unsigned int>> sets;
};

// Twelve distinct signed corrections.
QByteArray correctionsRecord()
{
    QByteArray record;
    for (int i = 0; i < 12; ++i)
        record.append(static_cast<char>(-100 + 17 * i));
    return record;
}

DialogWindow* warningDialog(QWidget* mainWindow)
{
    const QList<DialogWindow*> dialogs = mainWindow->findChildren<DialogWindow*>();
    for (DialogWindow* dialog : dialogs) {
        if (dialog->title() == QLatin1String("Warning"))
            return dialog;
    }
    return nullptr;
}

} // namespace

// The VLF generator: its three records, the current maximum, the enable
// switches that select what is calibrated, and the U-nom button with the DC
// callback and the state machine.
class tst_VlfNode : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void calibrationRecord_data();
    void calibrationRecord();
    void counterRecord_data();
    void counterRecord();
    void currentMaximum_data();
    void currentMaximum();
    void dialogRows_data();
    void dialogRows();
    void switchSelectsOneRow_data();
    void switchSelectsOneRow();
    void vnomButton_data();
    void vnomButton();
    void raisingTheVoltageAsksFirst_data();
    void raisingTheVoltageAsksFirst();
    void hvActivatedRechecksTheButton();
    void dischargeRequestClosesTheDialog();
    void adapterCountersReachTheModule();

private:
    struct Setup
    {
        int hardware = 1;
        bool adapter = false;
        int level = 40;
        bool highPower = false;
    };
    VLFLonCalibration* makeNode(Setup const& setup);
    // Opens the dialog in full calibration mode with the corrections present.
    DialogWindow* openWithValues();

    QScopedPointer<HostFixture> m_host;
    QScopedPointer<VLFLonCalibration> m_node;
    FakeDcCallback m_dc;
};

void tst_VlfNode::cleanup()
{
    m_node.reset();
    m_host.reset();
    m_dc = FakeDcCallback();
    HostFixture::flushDeferredDeletes();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

VLFLonCalibration* tst_VlfNode::makeNode(Setup const& setup)
{
    HostFixture::Options options;
    options.hardware = setup.hardware;
    m_host.reset(new HostFixture(options));
    HWConfiguration::setPruefzusatz60kV_25uF(setup.adapter);
    HWConfiguration::setPruefzusatzHvLevel(setup.level);
    HWConfiguration::setPruefzusatzHighPower(setup.highPower);
    m_node.reset(new VLFLonCalibration(&m_host->registry, m_host->lon()));
    return m_node.data();
}

DialogWindow* tst_VlfNode::openWithValues()
{
    m_node->setCalibrationEnabled(CalibrationModeFull);
    m_node->setCalibrationValues(VLFLonCalibration::vlfNode(), NVData(correctionsRecord()));
    m_node->openCalibrationDialog();
    return m_node->dialog();
}

void tst_VlfNode::calibrationRecord_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<int>("node");

    int const order[] = {39, 38, 41, 40, 43, 42, 45, 44, 47, 46, 49, 48};
    for (int byte = 0; byte < 12; ++byte) {
        // Every node variant in turn: plain, hardware 11 with the adapter, the adapter.
        int const variant = byte % 3;
        int const hardware = variant == 1 ? 11 : 1;
        bool const adapter = variant != 0;
        int const node = variant == 2 ? 30 : 28;
        QTest::addRow("%s-node%d", qPrintable(calibrationParameterName(CalibrationParameters(order[byte]))), node)
            << order[byte] << byte << hardware << adapter << node;
    }
}

void tst_VlfNode::calibrationRecord()
{
    QFETCH(int, parameter);
    QFETCH(int, byte);
    QFETCH(int, hardware);
    QFETCH(bool, adapter);
    QFETCH(int, node);

    VLFLonCalibration* vlf = makeNode({hardware, adapter, 40, false});
    auto const p = static_cast<CalibrationParameters>(parameter);
    QCOMPARE(int(vlf->getNodeIdForCalibrationParameter(p)), node);
    auto const id = [node](int index) { return static_cast<unsigned short>(node << 8 | index); };

    vlf->pollCalibrationValues();
    Polls expectedPolls{id(121), id(117)};
    if (!adapter)
        expectedPolls.prepend(0x1C77);
    QCOMPARE(m_host->lon()->polls(), expectedPolls);

    // A record of another node is not the generator's.
    vlf->setCalibrationValues(29, NVData(correctionsRecord()));
    long long value = 0;
    bool valid = true;
    QVERIFY(vlf->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(!valid);

    QByteArray record = correctionsRecord();
    vlf->setCalibrationValues(static_cast<unsigned char>(node), NVData(record));
    QVERIFY(vlf->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, static_cast<long long>(static_cast<signed char>(record.at(byte))));

    m_host->lon()->clearRecords();
    vlf->pollCalibrationValues();
    QCOMPARE(m_host->lon()->polls(), (adapter ? Polls{id(121)} : Polls{0x1C77, id(121)}));

    QVERIFY(vlf->setValueToInternalBuffer(p, -5));
    vlf->sendCalibUpdateToLon();
    record[byte] = static_cast<char>(-5);
    QCOMPARE(m_host->lon()->sends(), (Sends{{id(116), record}}));
}

void tst_VlfNode::counterRecord_data()
{
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<long long>("shown");
    QTest::addColumn<long long>("entered");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("written");

    // Received: start 1234, cycle field 12399.
    QTest::newRow("start-counter-as-is") << false << 50 << 1234LL << 65535LL << true
                                         << bytes({0xFF, 0xFF, 0x00, 0x00, 0x30, 0x6F});
    QTest::newRow("cycle-counter-x100") << true << 51 << 123LL << 123LL << true
                                        << bytes({0x04, 0xD2, 0x00, 0x00, 0x30, 0x0C});
    QTest::newRow("cycle-counter-largest") << false << 51 << 123LL << 42949672LL << true
                                           << bytes({0x04, 0xD2, 0xFF, 0xFF, 0xFF, 0xA0});
    QTest::newRow("start-counter-too-large") << false << 50 << 1234LL << 65536LL << false
                                             << bytes({0x04, 0xD2, 0x00, 0x00, 0x30, 0x6F});
    QTest::newRow("cycle-counter-too-large") << true << 51 << 123LL << 42949673LL << false
                                             << bytes({0x04, 0xD2, 0x00, 0x00, 0x30, 0x6F});
    QTest::newRow("negative-counter") << false << 50 << 1234LL << -1LL << false
                                      << bytes({0x04, 0xD2, 0x00, 0x00, 0x30, 0x6F});
}

void tst_VlfNode::counterRecord()
{
    QFETCH(bool, adapter);
    QFETCH(int, parameter);
    QFETCH(long long, shown);
    QFETCH(long long, entered);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, written);

    VLFLonCalibration* vlf = makeNode({1, adapter, 40, false});
    auto const p = static_cast<CalibrationParameters>(parameter);
    long long value = 0;
    bool valid = true;
    QVERIFY(vlf->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(!valid);

    vlf->setCounterValues(NVData(bytes({0x04, 0xD2, 0x00, 0x00, 0x30, 0x6F})));
    QVERIFY(vlf->getValueFromInternalBuffer(p, value, &valid));
    QVERIFY(valid);
    QCOMPARE(value, shown);

    QCOMPARE(vlf->setValueToInternalBuffer(p, entered), accepted);
    vlf->sendCalibUpdateToLon();
    unsigned short const writeId = adapter ? 0x1E78 : 0x1C78;
    QCOMPARE(m_host->lon()->sends(), (Sends{{writeId, written}}));
}

void tst_VlfNode::currentMaximum_data()
{
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("highPower");
    QTest::addColumn<int>("configured");
    QTest::addColumn<long long>("maximum");
    QTest::addColumn<bool>("valid");

    QTest::newRow("adapter") << true << 60 << false << -1 << 85000LL << false;
    QTest::newRow("adapter-before-configuration") << true << 40 << false << 50 << 85000LL << true;
    QTest::newRow("configured") << false << 40 << false << 50 << 5000LL << true;
    QTest::newRow("configured-zero") << false << 40 << false << 0 << 7000LL << false;
    QTest::newRow("level-28") << false << 28 << false << -1 << 12000LL << false;
    QTest::newRow("level-40") << false << 40 << false << -1 << 7000LL << false;
    QTest::newRow("level-60") << false << 60 << false << -1 << 5000LL << false;
    QTest::newRow("level-60-high-power") << false << 60 << true << -1 << 17100LL << false;
    QTest::newRow("level-80") << false << 80 << false << -1 << 12500LL << false;
    QTest::newRow("other-level") << false << 50 << true << -1 << 0LL << false;
}

void tst_VlfNode::currentMaximum()
{
    QFETCH(bool, adapter);
    QFETCH(int, level);
    QFETCH(bool, highPower);
    QFETCH(int, configured);
    QFETCH(long long, maximum);
    QFETCH(bool, valid);

    VLFLonCalibration* vlf = makeNode({1, adapter, level, highPower});
    if (configured >= 0)
        vlf->setConfigurationValues(NVData(bytes({7, 7, 7, configured})));

    long long value = -1;
    bool isValid = !valid;
    QVERIFY(vlf->getValueFromInternalBuffer(VlfCurrentMaximum, value, &isValid));
    QCOMPARE(value, maximum);
    QCOMPARE(isValid, valid);
    QCOMPARE(int(vlf->getNodeIdForCalibrationParameter(VlfCurrentMaximum)), 0);

    // The configuration is asked for until it gives a maximum, unless the adapter sets it.
    vlf->pollCalibrationValues();
    QCOMPARE(m_host->lon()->polls().contains(0x1C77), !adapter && !valid);
    // It is never written back.
    vlf->setCounterValues(NVData(bytes({0, 1, 0, 0, 0, 100})));
    vlf->sendCalibUpdateToLon();
    QCOMPARE(m_host->lon()->sends().size(), 1);
}

void tst_VlfNode::dialogRows_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<int>("versionNode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("counters");

    QTest::newRow("without-counters") << 1 << false << 0 << "Data in HVLF / HTDS" << false;
    QTest::newRow("node-28-v107") << 1 << false << 28 << "Data in HVLF / HTDS" << true;
    QTest::newRow("hardware-11-node-29-v107") << 11 << false << 29 << "Data in NVLF" << true;
    QTest::newRow("adapter") << 1 << true << 0 << "Data in HVCE" << true;
}

void tst_VlfNode::dialogRows()
{
    QFETCH(int, hardware);
    QFETCH(bool, adapter);
    QFETCH(int, versionNode);
    QFETCH(QString, title);
    QFETCH(bool, counters);

    makeNode({hardware, adapter, 40, false});
    if (versionNode != 0)
        m_host->lon()->setNodeVersions(static_cast<unsigned char>(versionNode), {0x107});
    // The lookup happens at construction; the versions are asked when the rows are built.
    m_node->openCalibrationDialog();
    DialogWindow* dialog = m_node->dialog();
    QVERIFY(dialog);

    QStringList expected{"U-ref|kV",           "U-vlf|kV",           "I-vlf|" + QString(QChar(0x3382)),
                         "Enable U-nom Offset", "Enable U-nom Gain",  "Enable U-out Offset",
                         "Enable U-out Gain",   "Enable I-nom Offset", "Enable I-nom Gain",
                         "Enable I-out Offset", "Enable I-out Gain",  "[" + title + "]",
                         "U-nom neg Offset",    "U-nom neg Gain",     "U-nom pos Offset",
                         "U-nom pos Gain",      "U-out Offset",       "U-out Gain",
                         "I-nom Offset",        "I-nom Gain",         "I-out neg Offset",
                         "I-out neg Gain",      "I-out pos Offset",   "I-out pos Gain"};
    if (counters)
        expected << "VLF start Counter" << QStringLiteral("VLF cycle Counter|%1 100").arg(QChar(0x00D7));
    QCOMPARE(shownRows(dialog), expected);
    QCOMPARE(dialog->title(), QStringLiteral("VLF"));
    QCOMPARE(dialog->width(), 600 + 3 * dialog->getInnerSpace() + 2 * dialog->margins());
    QVERIFY(dialog->hidesKeyboard());
    QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok"));
    // No DC callback: no U-nom button.
    QVERIFY(dialog->rejectButton() == nullptr);
    QCOMPARE(m_host->logLines(), QStringList{"Calibrate VLF"});
}

void tst_VlfNode::switchSelectsOneRow_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("enableSwitch");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("currentRow");
    QTest::addColumn<bool>("firstEnabled");
    QTest::addColumn<bool>("secondEnabled");

    QTest::newRow("two-edits-step-41") << 41 << int(EnableUNomGain) << 38 << 40 << false << true << false;
    QTest::newRow("two-edits-step-49") << 49 << int(EnableUNomGain) << 38 << 40 << false << true << false;
    QTest::newRow("two-edits-step-42") << 42 << int(EnableUNomGain) << 38 << 40 << false << false << true;
    QTest::newRow("two-edits-step-50") << 50 << int(EnableUNomGain) << 38 << 40 << false << false << true;
    QTest::newRow("two-edits-other-step") << 7 << int(EnableUNomGain) << 38 << 40 << false << false << false;
    QTest::newRow("one-edit-step-41") << 41 << int(EnableINomGain) << 44 << 0 << true << true << false;
    QTest::newRow("one-edit-step-42") << 42 << int(EnableINomGain) << 44 << 0 << true << false << false;
}

void tst_VlfNode::switchSelectsOneRow()
{
    QFETCH(int, step);
    QFETCH(int, enableSwitch);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(bool, currentRow);
    QFETCH(bool, firstEnabled);
    QFETCH(bool, secondEnabled);

    makeNode({});
    m_host->parameters()->setParameter(ParamVlfCalibrationStep, step);
    QVERIFY(openWithValues());
    QSignalSpy flags(m_node.data(), &VLFLonCalibration::sctsCalibrationFlagsChanged);
    auto const edit = [this](int parameter) {
        return m_node->getCalibrationNumberEdit(static_cast<CalibrationParameters>(parameter));
    };

    NumberEdit* earlier = m_node->getSwitchNumberEdit(EnableIOutOffset);
    earlier->enterNumber(1);
    QCOMPARE(flags.last(), (QVariantList{true, false}));

    NumberEdit* chosen = m_node->getSwitchNumberEdit(static_cast<SwitchParameters>(enableSwitch));
    chosen->enterNumber(1);
    QCOMPARE(earlier->getNumber(), qint64(0));
    QVERIFY(!edit(IOutNegOffset)->isEnabled());
    QVERIFY(!edit(IOutPosOffset)->isEnabled());
    QVERIFY(!edit(UOutOffset)->isEnabled());
    QCOMPARE(edit(first)->isEnabled(), firstEnabled);
    if (second != 0)
        QCOMPARE(edit(second)->isEnabled(), secondEnabled);
    QCOMPARE(flags.last(), (QVariantList{currentRow, !currentRow}));

    chosen->enterNumber(0);
    QCOMPARE(flags.last(), (QVariantList{false, false}));
    QVERIFY(!edit(first)->isEnabled());
}

void tst_VlfNode::vnomButton_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("highPower");
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<int>("configured");
    QTest::addColumn<bool>("callback");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("nominal");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("enableSwitch");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QList<int>>("set");

    int const none = -1;
    QTest::newRow("40kV-u-nom-gain") << 40 << false << false << none << true << 400 << 4000 << true << 3
                                     << int(EnableUNomGain) << "U-nom 40 kV, I-nom 7 mA" << true
                                     << QList<int>{400, 7000};
    QTest::newRow("28kV-i-nom-offset") << 28 << false << false << none << true << 280 << 700 << true << 3
                                       << int(EnableINomOffset) << "U-nom 7 kV, I-nom 0.48 mA" << true
                                       << QList<int>{70, 480};
    QTest::newRow("configured-maximum") << 40 << false << false << 50 << true << 400 << 4000 << true << 3
                                        << int(EnableUNomGain) << "U-nom 40 kV, I-nom 5 mA" << true
                                        << QList<int>{400, 5000};
    QTest::newRow("60kV-high-power-i-out-gain") << 60 << true << false << none << true << 600 << 1500 << true << 3
                                                << int(EnableIOutGain) << "U-nom 15 kV, I-nom 17.1 mA" << true
                                                << QList<int>{150, 17100};
    QTest::newRow("adapter-i-out-gain") << 60 << false << true << none << true << 600 << 240 << true << 3
                                        << int(EnableIOutGain) << "U-nom 2.4 kV" << true << QList<int>{24, 85000};
    QTest::newRow("unknown-level") << 50 << false << false << none << true << 500 << 0 << true << 3
                                   << int(EnableUNomGain) << "U-nom 0 kV, I-nom 0 mA" << true << QList<int>{0, 0};
    QTest::newRow("range-too-small") << 40 << false << false << none << true << 350 << 0 << true << 3 << none
                                     << "Set Voltage Range to 40 kV" << false << QList<int>{};
    QTest::newRow("hv-not-ready") << 40 << false << false << none << true << 400 << 0 << false << 3
                                  << int(EnableUNomGain) << "Switch HvOn" << false << QList<int>{};
    QTest::newRow("state-not-hv-on") << 40 << false << false << none << true << 400 << 0 << true << 2
                                     << int(EnableUNomGain) << "Switch HvOn" << false << QList<int>{};
    QTest::newRow("set-point-below-present") << 40 << false << false << none << true << 400 << 5000 << true << 3
                                             << int(EnableUNomGain) << "U-nom 40 kV, I-nom 7 mA" << false
                                             << QList<int>{};
    QTest::newRow("no-row") << 40 << false << false << none << true << 400 << 0 << true << 3 << none << QString()
                            << false << QList<int>{};
    QTest::newRow("no-callback") << 40 << false << false << none << false << 400 << 0 << true << 3
                                 << int(EnableUNomGain) << QString() << false << QList<int>{};
}

void tst_VlfNode::vnomButton()
{
    QFETCH(int, level);
    QFETCH(bool, highPower);
    QFETCH(bool, adapter);
    QFETCH(int, configured);
    QFETCH(bool, callback);
    QFETCH(int, range);
    QFETCH(int, nominal);
    QFETCH(bool, ready);
    QFETCH(int, state);
    QFETCH(int, enableSwitch);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(QList<int>, set);

    makeNode({1, adapter, level, highPower});
    m_host->stateMachine()->setState(state);
    if (configured >= 0)
        m_node->setConfigurationValues(NVData(bytes({0, 0, 0, configured})));
    m_dc.range = static_cast<unsigned int>(range);
    m_dc.nominal = static_cast<unsigned int>(nominal);
    m_dc.hvReady = ready;
    if (callback)
        m_node->setDcCallback(&m_dc);
    DialogWindow* dialog = openWithValues();
    QVERIFY(dialog);
    if (enableSwitch >= 0)
        m_node->getSwitchNumberEdit(static_cast<SwitchParameters>(enableSwitch))->enterNumber(1);

    QAbstractButton* button = dialog->rejectButton();
    if (text.isEmpty()) {
        QVERIFY(button == nullptr);
        return;
    }
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->isEnabled(), enabled);
    QCOMPARE(button->width(), 250);
    // Every icon the button may show resolves, in both spellings of the error image.
    QVERIFY(!button->icon().isNull());

    button->click();
    QList<int> given;
    for (auto const& call : qAsConst(m_dc.sets))
        given << int(call.first) << int(call.second);
    QCOMPARE(given, set);
    QVERIFY(warningDialog(m_host->mainWindow()) == nullptr);
}

void tst_VlfNode::raisingTheVoltageAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_VlfNode::raisingTheVoltageAsksFirst()
{
    QFETCH(bool, yes);

    makeNode({});
    m_host->stateMachine()->setState(3);
    m_dc.nominal = 1000;
    m_node->setDcCallback(&m_dc);
    DialogWindow* dialog = openWithValues();
    m_node->getSwitchNumberEdit(EnableUNomGain)->enterNumber(1);
    dialog->rejectButton()->click();

    QPointer<DialogWindow> warning = warningDialog(m_host->mainWindow());
    QVERIFY(warning);
    QCOMPARE(warning->message(), QStringLiteral("Set U-nom to 40 kV?"));
    QCOMPARE(warning->icon(), DialogWindow::Icon::Warning);
    QCOMPARE(warning->acceptButton()->text(), QStringLiteral("Yes"));
    QCOMPARE(warning->rejectButton()->text(), QStringLiteral("No"));
    QVERIFY(m_dc.sets.isEmpty());

    (yes ? warning->acceptButton() : warning->rejectButton())->click();
    using Calls = QList<QPair<unsigned int, unsigned int>>;
    QCOMPARE(m_dc.sets, (yes ? Calls{{400, 7000}} : Calls{}));
    HostFixture::flushDeferredDeletes();
    QVERIFY(warning.isNull());
    QVERIFY(m_node->dialog());
}

void tst_VlfNode::hvActivatedRechecksTheButton()
{
    makeNode({});
    m_dc.range = 350;
    m_node->setDcCallback(&m_dc);
    DialogWindow* dialog = openWithValues();
    QCOMPARE(dialog->rejectButton()->text(), QStringLiteral("Set Voltage Range to 40 kV"));

    // The DC module switched its range; the dialog hears of it when HV is reached.
    m_dc.range = 400;
    m_host->stateMachine()->setState(6);
    QTRY_COMPARE(dialog->rejectButton()->text(), QStringLiteral("Switch HvOn"));
}

void tst_VlfNode::dischargeRequestClosesTheDialog()
{
    makeNode({});
    m_node->setDcCallback(&m_dc);
    QVERIFY(openWithValues());
    m_node->getSwitchNumberEdit(EnableINomGain)->enterNumber(1);
    QSignalSpy flags(m_node.data(), &VLFLonCalibration::sctsCalibrationFlagsChanged);
    QSignalSpy status(m_node.data(), &NodeLonCalibrationBase::enableLonModuleStatus);

    m_host->stateMachine()->requestState(7);
    QTRY_VERIFY(m_node->dialog() == nullptr);
    QCOMPARE(flags.size(), 1);
    QCOMPARE(flags.first(), (QVariantList{false, false}));
    QCOMPARE(status.size(), 1);
    QCOMPARE(status.first(), QVariantList{false});
    QVERIFY(m_node->getSwitchNumberEdit(EnableINomGain) == nullptr);
}

// With the 60 kV / 25 uF adapter the VLF dialog (key 28) is node 30's: the
// counters that node reports reach it, the getters and the export.
void tst_VlfNode::adapterCountersReachTheModule()
{
    ModuleHarness harness(*InstrumentProfile::find(QStringLiteral("nt3-vlf-adapter")));
    harness.lon()->setAutoAnswer(true);
    QVERIFY(harness.bringUp());
    QVERIFY(harness.lon()->waitUntilIdle(5000));
    LonCalibration* module = harness.module();
    QVERIFY(harness.lon()->polls().contains(0x1E79));
    // The profile's node memory: 321 starts, 4567 × 100 cycles.
    QCOMPARE(module->getVLFStartCounter(), 321);
    QCOMPARE(module->getVLFCycleCounter(), 456700);

    // Held now, so a dialog opened later shows them without asking again.
    harness.lon()->clearRecords();
    QSharedPointer<NodeLonCalibrationBase> const vlf = module->nodeTable().value(28);
    vlf->openCalibrationDialog();
    QVERIFY(!harness.lon()->polls().contains(0x1E79));
    QCOMPARE(vlf->getCalibrationNumberEdit(VlfStartCounter)->shownText(), QStringLiteral("321"));
    vlf->cleanUp();
}

QTEST_MAIN(tst_VlfNode)
#include "tst_vlfnode.moc"
