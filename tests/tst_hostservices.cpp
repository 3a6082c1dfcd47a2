// The host's small services: configuration store, service log, parameters,
// state machine, module registry, print and system services.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

#include <functional>
#include <memory>

#include "host/ConfigStore.h"
#include "host/Form.h"
#include "host/IModuleControl.h"
#include "host/IPrintResponse.h"
#include "host/LoggingCtrl.h"
#include "host/ModuleRegistry.h"
#include "host/ParameterReceiver.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateEvent.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"

namespace {

struct Change
{
    int parameter;
    long long value;
    bool operator==(Change const& other) const { return parameter == other.parameter && value == other.value; }
};

class RecordingReceiver : public ParameterReceiver
{
public:
    QList<Change> changes;
    QList<bool> serviceModes;
    std::function<void()> onChange;

    void parameterChanged(Parameters parameter, long long value) override
    {
        changes.append({parameter, value});
        ParameterReceiver::parameterChanged(parameter, value);
        if (onChange)
            onChange();
    }
    void enabledService(bool enabled) override { serviceModes.append(enabled); }
};

class RecordingStateEvent : public StateEvent
{
public:
    QList<int> changes;
    void changedState(NVT_FU_STATE state) override
    {
        StateEvent::changedState(state);
        changes.append(state);
    }
};

class RecordingResponse : public IPrintResponse
{
public:
    explicit RecordingResponse(IPrint const* print) : m_print(print) {}

    Form form;
    QStringList formsAsked;
    QStringList finished;
    QList<int> resultsSeen;

    bool completeProtocol(IDocument*, QString const&) override { return true; }
    void printFinished(QString const& name) override
    {
        finished.append(name);
        resultsSeen.append(m_print->lastPrintResult());
    }
    Form createForm(QString const& name) override
    {
        formsAsked.append(name);
        return form;
    }

private:
    IPrint const* m_print;
};

QByteArray readFile(QString const& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(QString const& path, QByteArray const& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Dark pixels of a rendered page inside a rectangle given in millimetres.
int inkIn(QImage const& page, double dotsPerMm, QRectF const& mm)
{
    QRect const area = QRectF(mm.x() * dotsPerMm, mm.y() * dotsPerMm, mm.width() * dotsPerMm, mm.height() * dotsPerMm)
                           .toAlignedRect()
                           .intersected(page.rect());
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(page.pixel(x, y)) < 128)
                ++ink;
        }
    }
    return ink;
}

} // namespace

// Target of the state machine's hooks, named the way a module names its own.
class HookTarget : public QObject
{
    Q_OBJECT

public:
    QVariantList prepared;
    QVariantList requested;

    Q_INVOKABLE void Prepared(QVariant oldState) { prepared.append(oldState); }
    Q_INVOKABLE void Requested(QVariant oldState) { requested.append(oldState); }
};

class tst_HostServices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Configuration store
    void configWritesSurviveReopen();
    void configFailedReadLeavesValue_data();
    void configFailedReadLeavesValue();
    void configUnavailable();

    // Service log
    void logAppendsLineAndTail();
    void logTailKeepsLatest();

    // Parameters
    void parameterReachesOnlyActiveRegistered_data();
    void parameterReachesOnlyActiveRegistered();
    void parameterServiceModeSwitch();
    void parameterReadsWithoutService();
    void parameterReceiverMayDropAnotherWhileTold();
    void parameterDestructionOrder_data();
    void parameterDestructionOrder();

    // State machine
    void stateChangesReachEveryRegisteredEvent();
    void stateReachedHookQueuedWithOldState();
    void stateRequestedHook();
    void stateHooksRemovedOrTargetGone();
    void stateDestructionOrder_data();
    void stateDestructionOrder();

    // Module registry
    void registryRules_data();
    void registryRules();

    // Print and system services
    void printRendersPdfAndFinishes();
    void printPlacesLabelsInMillimetres();
    void printForcedResultSkipsRendering();
    void printWriteFailureReported();
    void printKeepsFileInsideOutputFolder();
    void systemCopiesToStick();
    void systemFindsThePrintUnderItsDocumentName();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModuleRegistry> m_registry;
    QPointer<ParameterService> m_parameters;
    QPointer<StateMachine> m_machine;
};

void tst_HostServices::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    ConfigStore::setAvailable(true);
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("config.ini")));
    getLogger()->setLogFile(QString());
    getLogger()->clearTail();

    m_registry.reset(new ModuleRegistry);
    m_parameters = new ParameterService;
    m_machine = new StateMachine;
    QVERIFY(m_registry->registerModule("IParameterControl", m_parameters));
    QVERIFY(m_registry->registerModule("IStatemachine", m_machine));
}

void tst_HostServices::cleanup()
{
    delete m_parameters.data();
    delete m_machine.data();
    m_registry.reset();
    ConfigStore::setAvailable(true);
    ConfigStore::setFilePath(QString());
    getLogger()->setLogFile(QString());
    m_dir.reset();
}

// ---- configuration store ---------------------------------------------------

void tst_HostServices::configWritesSurviveReopen()
{
    QString const path = ConfigStore::filePath();
    ConfigStore* config = getConfig();
    QVERIFY(config != nullptr);
    config->writeInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), -1234);
    config->writeString(QStringLiteral("/Software/Authentication/SerialNumber"), QStringLiteral("SN 4711, rev. B"));
    config->save();
    QVERIFY(readFile(path).contains("IGC80KV=-1234"));

    // Another file, then back: the values come from the file, not from memory.
    ConfigStore::setFilePath(m_dir->filePath(QStringLiteral("other.ini")));
    int value = 0;
    QVERIFY(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value) != 0);
    QString serial = QStringLiteral("kept");
    QVERIFY(config->readString(QStringLiteral("/Software/Authentication/SerialNumber"), &serial) != 0);
    QCOMPARE(serial, QStringLiteral("kept"));
    ConfigStore::setFilePath(path);

    QCOMPARE(config->readInt(QStringLiteral("/Calibration/InternalG/IGC80KV"), &value), 0);
    QCOMPARE(value, -1234);
    QCOMPARE(config->readString(QStringLiteral("/Software/Authentication/SerialNumber"), &serial), 0);
    QCOMPARE(serial, QStringLiteral("SN 4711, rev. B"));
}

void tst_HostServices::configFailedReadLeavesValue_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("nullTarget");

    QByteArray const file = "[Software]\nPSUMonitor\\TrafoCorrectionFactor=abc\nPSUMonitor\\Present=7\n";
    QTest::newRow("missing key") << file << QStringLiteral("/Software/PSUMonitor/Missing") << false;
    QTest::newRow("not a number") << file << QStringLiteral("/Software/PSUMonitor/TrafoCorrectionFactor") << false;
    QTest::newRow("empty key") << file << QString() << false;
    QTest::newRow("null target") << file << QStringLiteral("/Software/PSUMonitor/Present") << true;
}

void tst_HostServices::configFailedReadLeavesValue()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(bool, nullTarget);

    QString const path = m_dir->filePath(QStringLiteral("handwritten.ini"));
    QVERIFY(writeFile(path, file));
    ConfigStore::setFilePath(path);

    int value = 100;
    QVERIFY(getConfig()->readInt(key, nullTarget ? nullptr : &value) != 0);
    QCOMPARE(value, 100);
    // The readable neighbour shows the file was read at all.
    QCOMPARE(getConfig()->readInt(QStringLiteral("/Software/PSUMonitor/Present"), &value), 0);
    QCOMPARE(value, 7);
}

void tst_HostServices::configUnavailable()
{
    ConfigStore::setAvailable(false);
    QVERIFY(getConfig() == nullptr);
    ConfigStore::setAvailable(true);
    QCOMPARE(getConfig(), ConfigStore::instance());
}

// ---- service log -----------------------------------------------------------

void tst_HostServices::logAppendsLineAndTail()
{
    QString const path = m_dir->filePath(QStringLiteral("log/service.log"));
    LoggingCtrl* logger = getLogger();
    logger->setLogFile(path);
    QSignalSpy logged(logger, &LoggingCtrl::serviceLogged);

    logger->logService("Calibrate PSU");
    logger->logService(nullptr);
    logger->logService("Set R-iso to 5 M\xce\xa9");

    QCOMPARE(logger->serviceTail(), (QStringList{QStringLiteral("Calibrate PSU"), QStringLiteral("Set R-iso to 5 MΩ")}));
    QCOMPARE(logged.count(), 2);
    QCOMPARE(logged.at(0).at(0).toString(), QStringLiteral("Calibrate PSU"));

    QStringList const lines = QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QRegularExpression const stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (.*)$"));
    QRegularExpressionMatch first = stamp.match(lines.at(0));
    QRegularExpressionMatch second = stamp.match(lines.at(1));
    QVERIFY2(first.hasMatch(), qPrintable(lines.at(0)));
    QVERIFY2(second.hasMatch(), qPrintable(lines.at(1)));
    QCOMPARE(first.captured(1), QStringLiteral("Calibrate PSU"));
    QCOMPARE(second.captured(1), QStringLiteral("Set R-iso to 5 MΩ"));
}

void tst_HostServices::logTailKeepsLatest()
{
    for (int i = 0; i < 600; ++i)
        getLogger()->logService(QByteArray("entry ").append(QByteArray::number(i)).constData());
    QStringList const tail = getLogger()->serviceTail();
    QCOMPARE(tail.size(), 500);
    QCOMPARE(tail.first(), QStringLiteral("entry 100"));
    QCOMPARE(tail.last(), QStringLiteral("entry 599"));
}

// ---- parameters ------------------------------------------------------------

void tst_HostServices::parameterReachesOnlyActiveRegistered_data()
{
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("changed");
    QTest::addColumn<bool>("heard");

    QTest::newRow("registered and active") << true << true << int(ParamVoltageRange) << true;
    QTest::newRow("inactive") << true << false << int(ParamVoltageRange) << false;
    QTest::newRow("not registered") << false << true << int(ParamVoltageRange) << false;
    QTest::newRow("other parameter") << true << true << int(ParamDcMax) << false;
}

void tst_HostServices::parameterReachesOnlyActiveRegistered()
{
    QFETCH(bool, registered);
    QFETCH(bool, active);
    QFETCH(int, changed);
    QFETCH(bool, heard);

    RecordingReceiver receiver;
    QVERIFY(receiver.initialize(m_registry.get()));
    if (registered)
        receiver.registerParameter(ParamVoltageRange);
    receiver.setActive(active);
    QSignalSpy set(m_parameters.data(), &ParameterService::parameterSet);

    m_parameters->setParameter(Parameters(changed), 320);

    QCOMPARE(set.count(), 1);
    QList<Change> const expected = heard ? QList<Change>{{changed, 320}} : QList<Change>();
    QCOMPARE(receiver.changes, expected);
    // Whether told or not, every receiver reads the current value.
    QCOMPARE(receiver.getParameter(Parameters(changed), -1), 320LL);
}

void tst_HostServices::parameterServiceModeSwitch()
{
    RecordingReceiver receiver;
    QVERIFY(receiver.initialize(m_registry.get()));
    receiver.registerParameter(ParamServiceMode);
    receiver.setActive(true);

    m_parameters->setParameter(ParamServiceMode, 1);
    m_parameters->setParameter(ParamServiceMode, 0);
    receiver.unregisterParameter(ParamServiceMode);
    m_parameters->setParameter(ParamServiceMode, 1);

    QCOMPARE(receiver.serviceModes, (QList<bool>{true, false}));
    QCOMPARE(receiver.getParameter(ParamServiceMode, 0), 1LL);
}

void tst_HostServices::parameterReadsWithoutService()
{
    RecordingReceiver noControl;
    QVERIFY(!noControl.initialize(nullptr));
    QCOMPARE(noControl.getParameter(ParamServiceMode, 42), 42LL);

    ModuleRegistry emptyRegistry;
    RecordingReceiver noService;
    QVERIFY(!noService.initialize(&emptyRegistry));
    noService.registerParameter(ParamServiceMode);
    QCOMPARE(noService.getParameter(ParamServiceMode, 42), 42LL);
}

void tst_HostServices::parameterReceiverMayDropAnotherWhileTold()
{
    auto* first = new RecordingReceiver;
    auto* second = new RecordingReceiver;
    for (RecordingReceiver* receiver : {first, second}) {
        QVERIFY(receiver->initialize(m_registry.get()));
        receiver->registerParameter(ParamServiceMode);
        receiver->setActive(true);
    }
    first->onChange = [&second]() {
        delete second;
        second = nullptr;
    };

    m_parameters->setParameter(ParamServiceMode, 1);

    QVERIFY(second == nullptr);
    QCOMPARE(first->serviceModes, QList<bool>{true});
    delete first;
}

void tst_HostServices::parameterDestructionOrder_data()
{
    QTest::addColumn<bool>("serviceFirst");
    QTest::newRow("receiver goes first") << false;
    QTest::newRow("service goes first") << true;
}

void tst_HostServices::parameterDestructionOrder()
{
    QFETCH(bool, serviceFirst);

    auto* gone = new RecordingReceiver;
    RecordingReceiver stays;
    for (RecordingReceiver* receiver : {gone, &stays}) {
        QVERIFY(receiver->initialize(m_registry.get()));
        receiver->registerParameter(ParamServiceMode);
        receiver->setActive(true);
    }
    m_parameters->setParameter(ParamServiceMode, 1);

    if (serviceFirst) {
        delete m_parameters.data();
        QCOMPARE(stays.getParameter(ParamServiceMode, 9), 9LL);
        stays.registerParameter(ParamDcMax);
        stays.unregisterParameter(ParamServiceMode);
        delete gone;
    } else {
        delete gone;
        m_parameters->setParameter(ParamServiceMode, 0);
        QCOMPARE(stays.serviceModes, (QList<bool>{true, false}));
    }
}

// ---- state machine ---------------------------------------------------------

void tst_HostServices::stateChangesReachEveryRegisteredEvent()
{
    m_machine->setState(1);
    RecordingStateEvent registered;
    RecordingStateEvent notRegistered;
    QVERIFY(registered.initialize(m_registry.get()));
    QVERIFY(notRegistered.initialize(m_registry.get()));
    QCOMPARE(registered.getCurrentState(), 1);
    registered.registerStateEvent();
    registered.registerStateEvent();
    QSignalSpy changed(m_machine.data(), &StateMachine::stateChanged);

    m_machine->setState(3);
    m_machine->setState(7);
    registered.unregisterStateEvent();
    m_machine->setState(3);

    QCOMPARE(registered.changes, (QList<int>{3, 7}));
    QCOMPARE(registered.getCurrentState(), 7);
    QVERIFY(notRegistered.changes.isEmpty());
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.at(1), (QVariantList{3, 7}));

    RecordingStateEvent noMachine;
    QVERIFY(!noMachine.initialize(nullptr));
    noMachine.registerStateEvent();
    m_machine->setState(4);
    QVERIFY(noMachine.changes.isEmpty());
}

void tst_HostServices::stateReachedHookQueuedWithOldState()
{
    HookTarget target;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");
    // Set again by a second start: still one call per reached state.
    event.setMetaMethodForReachedState(3, &target, "Prepared( QVariant )");

    m_machine->setState(7);
    m_machine->setState(3);
    QVERIFY(target.prepared.isEmpty()); // queued, never inside the state change
    m_machine->setState(5);

    QTRY_COMPARE(target.prepared.size(), 1);
    QCOMPARE(target.prepared.first().toInt(), 7);
    QVERIFY(target.requested.isEmpty());
}

void tst_HostServices::stateRequestedHook()
{
    HookTarget target;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForRequestedState(3, &target, "Requested(QVariant)");
    event.setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");

    m_machine->setState(2);
    m_machine->requestState(3);

    QTRY_COMPARE(target.requested.size(), 1);
    QTRY_COMPARE(target.prepared.size(), 1);
    QCOMPARE(target.requested.first().toInt(), 2);
    QCOMPARE(target.prepared.first().toInt(), 2);
    QCOMPARE(m_machine->getState(), 3);
    QCOMPARE(event.changes, (QList<int>{2, 3}));
}

void tst_HostServices::stateHooksRemovedOrTargetGone()
{
    HookTarget kept;
    auto* gone = new HookTarget;
    RecordingStateEvent event;
    QVERIFY(event.initialize(m_registry.get()));
    event.registerStateEvent();
    event.setMetaMethodForReachedState(3, gone, "Prepared(QVariant)");
    event.setMetaMethodForReachedState(4, &kept, "Prepared(QVariant)");

    delete gone;
    m_machine->setState(3); // the target is gone: nothing is invoked
    event.removeMetaMethods();
    m_machine->setState(4);
    QCoreApplication::sendPostedEvents(); // delivers any wrongly queued call

    QVERIFY(kept.prepared.isEmpty());
    QCOMPARE(event.changes, (QList<int>{3, 4}));
}

void tst_HostServices::stateDestructionOrder_data()
{
    QTest::addColumn<bool>("machineFirst");
    QTest::newRow("event goes first") << false;
    QTest::newRow("machine goes first") << true;
}

void tst_HostServices::stateDestructionOrder()
{
    QFETCH(bool, machineFirst);

    HookTarget target;
    auto* gone = new RecordingStateEvent;
    RecordingStateEvent stays;
    for (RecordingStateEvent* event : {gone, &stays}) {
        QVERIFY(event->initialize(m_registry.get()));
        event->registerStateEvent();
        event->setMetaMethodForReachedState(3, &target, "Prepared(QVariant)");
    }

    if (machineFirst) {
        delete m_machine.data();
        stays.unregisterStateEvent();
        stays.registerStateEvent();
        delete gone;
        QCOMPARE(stays.getCurrentState(), 0);
    } else {
        delete gone;
        m_machine->setState(3);
        QCOMPARE(stays.changes, QList<int>{3});
        QTRY_COMPARE(target.prepared.size(), 1);
    }
}

// ---- module registry -------------------------------------------------------

void tst_HostServices::registryRules_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("nullName");
    QTest::addColumn<int>("module"); // 0 none, 1 the present one, 2 another
    QTest::addColumn<bool>("accepted");

    QTest::newRow("new name") << QByteArray("ILon") << false << 2 << true;
    QTest::newRow("same module again") << QByteArray("IStatemachine") << false << 1 << true;
    QTest::newRow("name taken by another") << QByteArray("IStatemachine") << false << 2 << false;
    QTest::newRow("null name") << QByteArray() << true << 2 << false;
    QTest::newRow("empty name") << QByteArray("") << false << 2 << false;
    QTest::newRow("null module") << QByteArray("ILon") << false << 0 << false;
}

void tst_HostServices::registryRules()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, nullName);
    QFETCH(int, module);
    QFETCH(bool, accepted);

    PrintService other;
    IModule* const modules[] = {nullptr, m_machine.data(), &other};
    char const* const key = nullName ? nullptr : name.constData();

    QCOMPARE(m_registry->registerModule(key, modules[module]), accepted);

    QCOMPARE(m_registry->getModule("IStatemachine"), static_cast<IModule*>(m_machine.data()));
    if (accepted)
        QCOMPARE(m_registry->getModule(key), modules[module]);
    else if (!nullName && name != "IStatemachine")
        QVERIFY(m_registry->getModule(key) == nullptr);
    QVERIFY(m_registry->getModule(nullptr) == nullptr);
    // What a module finds is usable through its interface.
    QVERIFY(dynamic_cast<IStatemachine*>(m_registry->getModule("IStatemachine")) != nullptr);
}

// ---- print and system services ---------------------------------------------

void tst_HostServices::printRendersPdfAndFinishes()
{
    PrintService print;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    RecordingResponse response(&print);
    response.form.addLabel(FormLabel(QStringLiteral("Calibration HV Unit"), Point(20, 10), Size(100, 10), true, 12,
                                     FormLabel::AlignLeftTop));
    response.form.addLabel(
        FormLabel(QStringLiteral("01/02/2024, 1:02:03 PM"), Point(130, 20), Size(60, 5), true, 10, FormLabel::AlignRightTop));
    QSignalSpy printed(&print, &PrintService::printed);

    PrintRequest request;
    request.items.append(PrintItem{QStringLiteral("Calibration_4711"), false, true});
    request.response = &response;
    request.name = QStringLiteral("Calibration_4711");
    print.print(request);
    QVERIFY(response.formsAsked.isEmpty()); // answered from the event loop

    QTRY_COMPARE(response.finished, QStringList{QStringLiteral("Calibration_4711")});
    QCOMPARE(response.formsAsked, QStringList{QStringLiteral("Calibration_4711")});
    QCOMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});
    QCOMPARE(printed.count(), 1);
    QCOMPARE(print.requests().size(), 1);

    QString const file = m_dir->filePath(QStringLiteral("print/Calibration_4711.pdf"));
    QCOMPARE(print.lastFile(), file);
    QByteArray const pdf = readFile(file);
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY2(pdf.size() > 1000, QByteArray::number(pdf.size()).constData());
    // A4 portrait: 210 x 297 mm are 595 x 842 points.
    int const boxAt = pdf.indexOf("/MediaBox");
    QVERIFY(boxAt >= 0);
    QRegularExpressionMatch const box = QRegularExpression(QStringLiteral("^/MediaBox \\[\\s*0 0 ([\\d.]+) ([\\d.]+)\\s*\\]"))
                                            .match(QString::fromLatin1(pdf.mid(boxAt, 64)));
    QVERIFY(box.hasMatch());
    QCOMPARE(qRound(box.captured(1).toDouble()), 595);
    QCOMPARE(qRound(box.captured(2).toDouble()), 842);
}

void tst_HostServices::printPlacesLabelsInMillimetres()
{
    Form form;
    form.addLabel(FormLabel(QStringLiteral("WWWW"), Point(20, 10), Size(100, 10), true, 12, FormLabel::AlignLeftTop));
    form.addLabel(FormLabel(QStringLiteral("WWWW"), Point(20, 40), Size(100, 10), false, 12, FormLabel::AlignRightTop));

    double const dotsPerMm = 150 / 25.4;
    QImage page(qRound(210 * dotsPerMm), qRound(297 * dotsPerMm), QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    page.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        painter.setPen(Qt::black);
        PrintService::paintForm(painter, form, dotsPerMm);
    }

    // Left label: ink at the left end of its box, none at the right end.
    QVERIFY(inkIn(page, dotsPerMm, QRectF(20, 10, 15, 10)) > 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(90, 10, 30, 10)), 0);
    // Right label: the other way round.
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(20, 40, 30, 10)), 0);
    QVERIFY(inkIn(page, dotsPerMm, QRectF(105, 40, 15, 10)) > 0);
    // Nothing outside the two boxes.
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 0, 210, 9.5)), 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 22, 210, 17)), 0);
    QCOMPARE(inkIn(page, dotsPerMm, QRectF(0, 52, 210, 240)), 0);
}

void tst_HostServices::printForcedResultSkipsRendering()
{
    PrintService print;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration");

    print.setNextResult(IPrint::ResultBusy);
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultBusy});
    QVERIFY(response.formsAsked.isEmpty());
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("print/Calibration.pdf"))));

    // The forced result holds for one print only.
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, (QList<int>{IPrint::ResultBusy, IPrint::ResultDone}));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("print/Calibration.pdf"))));
}

void tst_HostServices::printWriteFailureReported()
{
    QString const blocker = m_dir->filePath(QStringLiteral("not-a-folder"));
    QVERIFY(writeFile(blocker, "x"));
    PrintService print;
    print.setOutputDirectory(blocker);
    RecordingResponse response(&print);
    QSignalSpy printed(&print, &PrintService::printed);

    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration");
    print.print(request);
    QTRY_COMPARE(response.finished.size(), 1);
    QVERIFY(response.resultsSeen.first() != IPrint::ResultDone);
    QVERIFY(response.resultsSeen.first() != IPrint::ResultBusy);

    // A request without anyone to answer still ends.
    request.response = nullptr;
    print.setOutputDirectory(m_dir->filePath(QStringLiteral("print")));
    print.print(request);
    QTRY_COMPARE(printed.count(), 2);
    QCOMPARE(printed.at(1).at(1).toInt(), int(IPrint::ResultDone));
}

void tst_HostServices::printKeepsFileInsideOutputFolder()
{
    PrintService print;
    QString const folder = m_dir->filePath(QStringLiteral("print"));
    print.setOutputDirectory(folder);
    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration_../../SN/1");

    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});
    QCOMPARE(response.finished, QStringList{request.name}); // the caller's name comes back unchanged
    QCOMPARE(QFileInfo(print.lastFile()).absolutePath(), QDir(folder).absolutePath());
    QVERIFY(QFile::exists(print.lastFile()));
}

void tst_HostServices::systemCopiesToStick()
{
    QString const source = m_dir->filePath(QStringLiteral("print"));
    QString const stick = m_dir->filePath(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(source));
    QVERIFY(QDir().mkpath(stick));
    QVERIFY(writeFile(source + QStringLiteral("/Calibration.pdf"), "%PDF new"));
    QVERIFY(writeFile(stick + QStringLiteral("/Calibration.pdf"), "%PDF old, longer than the new one"));
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("notes.txt")), "notes"));

    SystemService system;
    system.setFileDirectory(source);
    system.setStickDirectory(stick);
    QSignalSpy handled(&system, &SystemService::filesHandled);

    // A relative name comes from the print folder; an absolute one from where it says.
    system.handleFiles({QStringLiteral("Calibration.pdf"), QStringLiteral("Missing.pdf"),
                        m_dir->filePath(QStringLiteral("notes.txt"))},
                       true);

    QStringList const copies{stick + QStringLiteral("/Calibration.pdf"), stick + QStringLiteral("/notes.txt")};
    QCOMPARE(handled.count(), 1);
    QCOMPARE(handled.first().first().toStringList(), copies);
    QCOMPARE(system.handledFiles(), copies);
    QCOMPARE(readFile(copies.at(0)), QByteArray("%PDF new"));
    QCOMPARE(readFile(copies.at(1)), QByteArray("notes"));
    QVERIFY(!QFile::exists(stick + QStringLiteral("/Missing.pdf")));

    system.handleFiles({QStringLiteral("Missing.pdf")}, true);
    QCOMPARE(handled.count(), 1);
    // What could not be copied is said, not passed over.
    QCOMPARE(system.failedFiles(), (QStringList{"Missing.pdf", "Missing.pdf"}));
}

// The module hands on the document name + ".pdf"; a serial number may hold
// characters the print service had to replace in the file name.
void tst_HostServices::systemFindsThePrintUnderItsDocumentName()
{
    QString const folder = m_dir->filePath(QStringLiteral("print"));
    QString const stick = m_dir->filePath(QStringLiteral("stick"));
    PrintService print;
    print.setCurrentPrinterName(IPrint::pdfTarnel);
    print.setOutputDirectory(folder);
    SystemService system;
    system.setFileDirectory(folder);
    system.setStickDirectory(stick);
    QSignalSpy failed(&system, &SystemService::handlingFailed);

    RecordingResponse response(&print);
    PrintRequest request;
    request.response = &response;
    request.name = QStringLiteral("Calibration_SN/12:3");
    print.print(request);
    QTRY_COMPARE(response.resultsSeen, QList<int>{IPrint::ResultDone});

    system.handleFiles({request.name + QStringLiteral(".pdf")}, true);
    QCOMPARE(system.handledFiles().size(), 1);
    QCOMPARE(readFile(system.handledFiles().first()), readFile(print.lastFile()));
    QCOMPARE(QFileInfo(system.handledFiles().first()).absolutePath(), QDir(stick).absolutePath());
    QCOMPARE(failed.count(), 0);

    // A relative name never reaches outside the print folder.
    QVERIFY(writeFile(m_dir->filePath(QStringLiteral("outside.pdf")), "%PDF"));
    system.handleFiles({QStringLiteral("../outside.pdf")}, true);
    QCOMPARE(system.handledFiles().size(), 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toStringList(), QStringList{"../outside.pdf"});
}

QTEST_MAIN(tst_HostServices)
#include "tst_hostservices.moc"
