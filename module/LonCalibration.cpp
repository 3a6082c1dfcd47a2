// LonCalibration: module entry answers, lifecycle, node creation and the routing of LON events.
#include "module/LonCalibration.h"

#include <QTimer>
#include <iterator>

#include "host/HWConfiguration.h"
#include "host/ILon.h"
#include "host/IModuleControl.h"
#include "host/IPrint.h"
#include "host/IStatemachine.h"
#include "module/LonCalibrationEventHandler.h"
#include "nodes/BRNLonCalibration.h"
#include "nodes/CascLonCalibration.h"
#include "nodes/CompactLonCalibration.h"
#include "nodes/DSLLonCalibration.h"
#include "nodes/HvDcLonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "nodes/PSULonCalibration.h"
#include "nodes/SURLonCalibration.h"
#include "nodes/VLFLonCalibration.h"
#include "nodes/XHVS.h"

using namespace LonCalibrationTypes;

namespace {

// Every variable whose updates the event handler decodes, in registration order.
constexpr unsigned short kRegisteredVariables[] = {
    0x1275, 0x127B, 0x1975, 0x1375, 0x1475, 0x1575, 0x1675, 0x1B75, 0x1C75, 0x1E75, 0x2375,
    0x2377, 0x0382, 0x0384, 0x0386, 0x1C77, 0x1C79, 0x1E79, 0x1479, 0x1622, 0x026A, 0x026B,
    0x126A, 0x126B, 0x1261, 0x1269, 0x036C, 0x036D, 0x046E, 0x036F, 0x136C, 0x136D, 0x156E,
    0x136F, 0x1162, 0x1163, 0x1166, 0x1165, 0x1168, 0x1C68, 0x2361, 0x2392, 0x1164,
};
static_assert(std::size(kRegisteredVariables) == 43, "the handler listens to 43 variables");

constexpr unsigned char kVlfKey = 28;
constexpr unsigned short kVlfCounterPoll = 0x1C79;
constexpr unsigned short kSurgeCounterPoll = 0x1479;

constexpr int kStartupCleanUpMs = 10000;
constexpr int kCounterCleanUpMs = 2000;
constexpr NVT_FU_STATE kPreparedState = 3;
constexpr int kCounterRefreshFromState = 7;

} // namespace

LonCalibration::LonCalibration() = default;

// Owning pointers go with deleteLater in reverse declaration order; the node
// table and the event handler follow. A module the host deletes without
// shutting it down first still takes its dialogs off the host's window.
LonCalibration::~LonCalibration()
{
    closeDialogs();
}

QString LonCalibration::getName() const
{
    return QStringLiteral("LonCalibration");
}

unsigned int LonCalibration::getVersion() const
{
    return 0x1000000;
}

ModuleDependency const* LonCalibration::getDependencies() const
{
    static ModuleDependency const dependencies[] = {
        {"ParameterControl", true}, {"DatabaseAccess", true}, {"LonAccess", true},
        {"Statemachine", true},     {"Print", false},         {nullptr, false},
    };
    return dependencies;
}

bool LonCalibration::isConfigurationSuitable()
{
    unsigned int const hardware = static_cast<unsigned int>(HWConfiguration::getHardware());
    if (hardware > 14)
        return false;
    switch (hardware) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 11:
    case 13:
    case 14:
        return true;
    case 7:
    case 12:
        return HWConfiguration::isHvDcControlEnabled();
    default:
        return false;
    }
}

bool LonCalibration::initialize(IModuleControl* control)
{
    if (control == nullptr)
        return false;
    m_control = control;
    if (!GUIClient::initialize(control))
        return false;
    StateEvent::initialize(control);

    m_lon = dynamic_cast<ILon*>(control->getModule("ILon"));
    m_stateMachine = dynamic_cast<IStatemachine*>(control->getModule("IStatemachine"));
    m_print = dynamic_cast<IPrint*>(control->getModule("IPrint"));

    registerStateEvent();
    if (m_lon == nullptr)
        return false;

    // Deleted through the event loop: the LON client may drop its copy on its own thread.
    m_eventHandler = QSharedPointer<LonCalibrationEventHandler>(new LonCalibrationEventHandler(control),
                                                                &QObject::deleteLater);
    LonCalibrationEventHandler* handler = m_eventHandler.data();
    connect(handler, &LonCalibrationEventHandler::calibrationValuesReceived, this,
            &LonCalibration::calibrationValuesReceived);
    connect(handler, &LonCalibrationEventHandler::counterValuesReceived, this,
            &LonCalibration::counterValuesReceived);
    connect(handler, &LonCalibrationEventHandler::configurationValuesReceived, this,
            &LonCalibration::configurationValuesReceived);
    connect(handler, &LonCalibrationEventHandler::measurementValueChanged, this,
            &LonCalibration::setMeasurementValue);

    QSharedPointer<ILonEvent> const receiver = m_eventHandler;
    for (unsigned short nvId : kRegisteredVariables)
        m_lon->registerEvent(nvId, receiver);

    ParameterReceiver::initialize(control);
    registerParameter(ParamServiceMode);

    return control->registerModule("ILonCalibration", static_cast<IModule*>(this));
}

void LonCalibration::startModule()
{
    setActive(true);
    if (NVData::m_NetworkType == 0 && m_stateMachine != nullptr && m_stateMachine->getState() < 1)
        m_initializationPending = true;
    else
        performCalibrationInitialization();
    setMetaMethodForReachedState(kPreparedState, this, "Prepared(QVariant)");
}

void LonCalibration::changedState(NVT_FU_STATE state)
{
    StateEvent::changedState(state);
    if (m_initializationPending && state >= 1)
        performCalibrationInitialization();
    updateMenuForState(state);
}

void LonCalibration::performCalibrationInitialization()
{
    m_initializationPending = false;
    initLonCalibrationData();
    pollAllCalibrationValues(true);
    scheduleCleanUp(kStartupCleanUpMs);
}

void LonCalibration::initLonCalibrationData()
{
    m_testFunctions.reset(new LonServiceFunctions(m_control, m_lon, m_stateMachine));
    m_testFunctions->setTestFacilityModeCallback(m_testFacilityCallback);
    m_alarmTests.reset(new LonAlarmTests(m_control, m_lon));

    int const hardware = HWConfiguration::getHardware();
    unsigned char const networkType = NVData::m_NetworkType;
    auto add = [this](unsigned char key, NodeLonCalibrationBase* node) {
        m_nodes.insert(key, QSharedPointer<NodeLonCalibrationBase>(node));
    };
    if (networkType == 1) {
        add(3, new CompactLonCalibration(m_control, m_lon));
    } else if (networkType == 3 && (hardware == 7 || hardware == 12)) {
        add(35, new HvDcLonCalibration(m_control, m_lon));
    } else {
        if (networkType == 3 || networkType == 9) {
            auto* vlf = new VLFLonCalibration(m_control, m_lon);
            connect(vlf, &VLFLonCalibration::sctsCalibrationFlagsChanged, this,
                    &LonCalibration::setSctsCalibrationFlags);
            add(28, vlf);
        }
        QSharedPointer<XHVS> const hvSource(new XHVS(m_control, m_lon));
        if (networkType == 3)
            add(27, new BRNLonCalibration(m_control, m_lon, hvSource));
        add(19, new CascLonCalibration(m_control, m_lon, hvSource));
        add(20, new SURLonCalibration(m_control, m_lon));
        add(22, new DSLLonCalibration(m_control, m_lon));
        auto* psu = new PSULonCalibration(m_control, m_lon);
        connect(psu, &PSULonCalibration::setPsuCalibrationFlags, this, &LonCalibration::setPsuCalibrationFlags);
        add(18, psu);
    }

    for (auto const& node : qAsConst(m_nodes))
        connect(node.data(), &NodeLonCalibrationBase::enableLonModuleStatus, this,
                &LonCalibration::enableLonModuleStatus, Qt::UniqueConnection);
}

void LonCalibration::pollAllCalibrationValues(bool enable)
{
    enableLonModuleStatus(enable);
    if (!enable)
        return;
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes)
        node->pollCalibrationValues();
}

void LonCalibration::enableLonModuleStatus(bool bEnable)
{
    if (m_lon == nullptr)
        return;
    m_lon->enableModuleStatus(m_eventHandler, bEnable);
}

void LonCalibration::Prepared(QVariant oldState)
{
    bool converted = false;
    int const previous = oldState.toInt(&converted);
    if (!converted || previous != kCounterRefreshFromState || m_lon == nullptr)
        return;
    enableLonModuleStatus(true);
    m_lon->pollNV(kVlfCounterPoll);
    m_lon->pollNV(kSurgeCounterPoll);
    scheduleCleanUp(kCounterCleanUpMs);
}

void LonCalibration::scheduleCleanUp(int ms)
{
    // One timer per request: a later request does not delay an earlier one.
    auto* timer = new QTimer(&m_cleanUpTimers);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &LonCalibration::cleanUp);
    connect(timer, &QTimer::timeout, timer, &QObject::deleteLater);
    timer->start(ms);
}

void LonCalibration::cleanUp()
{
    enableLonModuleStatus(false);
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes)
        node->cleanUp();
    m_acceptButton.reset();
    m_rejectButton.reset();
    // A service print reads the hidden info window when its delay is over; a
    // clean-up that comes first (the scheduled ones) would print an empty sheet.
    // printFinished cleans up after it.
    if (!m_servicePrint)
        m_infoDialog.reset();
}

void LonCalibration::shutdownModule()
{
    if (m_lon != nullptr) {
        // Reporting is switched off while the client is still known: nobody
        // would receive the measurements it streams.
        enableLonModuleStatus(false);
        m_lon->unregisterEvent(m_eventHandler);
        m_lon = nullptr;
    }
    // Dialogs close before the objects that own them go, never left on the host's window.
    closeDialogs();
    m_nodes.clear();
    m_testFunctions.reset();
    m_alarmTests.reset();
    m_eventHandler.reset();
    m_servicePrint = false;
    cleanUp();
    // A pending clean-up would find nothing left to do; its timer goes now
    // instead of outliving the module.
    const QList<QTimer*> timers = m_cleanUpTimers.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    for (QTimer* timer : timers) {
        timer->stop();
        timer->deleteLater();
    }
    removeMetaMethods();
    unregisterStateEvent();
    unregisterParameter(ParamServiceMode);
}

void LonCalibration::closeDialogs()
{
    // Closing sends nothing: the nodes' flag signals no longer reach the service record.
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes) {
        node->disconnect(this);
        node->cleanUp();
    }
    if (m_testFunctions)
        m_testFunctions->closeDialogWindow();
    if (m_alarmTests)
        m_alarmTests->closeDialogWindow();
}

void LonCalibration::calibrationValuesReceived(unsigned char node, NVData const& data)
{
    const NodeTable nodes = m_nodes;
    for (auto const& object : nodes)
        object->setCalibrationValues(node, data);
}

void LonCalibration::counterValuesReceived(unsigned char node, NVData const& data)
{
    QSharedPointer<NodeLonCalibrationBase> object = m_nodes.value(node);
    // The VLF dialog stays under key 28 where its node is the adapter's (30);
    // its counters come from that node.
    if (!object) {
        QSharedPointer<NodeLonCalibrationBase> const vlf = m_nodes.value(kVlfKey);
        if (vlf && vlf->getNodeIdForCalibrationParameter(VlfStartCounter) == node)
            object = vlf;
    }
    if (object)
        object->setCounterValues(data);
}

void LonCalibration::configurationValuesReceived(unsigned char node, NVData const& data)
{
    QSharedPointer<NodeLonCalibrationBase> const object = m_nodes.value(node);
    if (object)
        object->setConfigurationValues(data);
}

void LonCalibration::setMeasurementValue(MeasurementParameters key, qint64 iValue)
{
    const NodeTable nodes = m_nodes;
    for (auto const& object : nodes)
        object->setMeasurementValue(key, iValue);
}

bool LonCalibration::completeProtocol(IDocument*, QString const&)
{
    return true;
}
