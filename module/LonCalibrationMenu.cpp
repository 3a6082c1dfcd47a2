// LonCalibration: the "/lon" service menu page, the calibration and relax mode,
// and the service-record flags other parts of the instrument switch.
#include "module/LonCalibration.h"

#include "host/HWConfiguration.h"
#include "host/IMenu.h"
#include "host/IStatemachine.h"
#include "host/Path.h"
#include "data/ServiceLog.h"
#include "nodes/NodeLonCalibrationBase.h"

using namespace LonCalibrationTypes;

namespace {

QString const kMenuPath = QStringLiteral("/lon");

enum Position
{
    PosInfo = 1,
    PosCalibration = 2,
    PosPsu = 3,
    PosIsoOrHvDcConfiguration = 4,
    PosCascades = 5,
    PosBurner = 6,
    PosSurge = 7,
    PosVlf = 8,
    PosAlarmTest = 9,
    PosTestFunctions = 10,
    PosRelax = 11
};

// Buttons that open a node's dialog, enabled while calibration is on and the
// service mode allows it; created when the node exists. Titles are marked for
// the translation tools: the host's menu translates them in the context "Menu".
struct NodeButton
{
    int position;
    char const* title;
    char const* icon;
    unsigned char node;
};

constexpr NodeButton kPsuButton{PosPsu, QT_TRANSLATE_NOOP("Menu", "PSU"), "calibrationpsu.svg", 18};
constexpr NodeButton kIsoButton{PosIsoOrHvDcConfiguration, QT_TRANSLATE_NOOP("Menu", "ISO"), "calibrationiso.svg", 22};
constexpr NodeButton kBurnerButton{PosBurner, QT_TRANSLATE_NOOP("Menu", "Burner"), "calibrationbrn.svg", 27};
constexpr NodeButton kSurgeButton{PosSurge, QT_TRANSLATE_NOOP("Menu", "Surge Counters"), "CalibrationSUR.svg", 20};
constexpr NodeButton kVlfButton{PosVlf, QT_TRANSLATE_NOOP("Menu", "VLF"), "calibrationvlf.svg", 28};

// The positions the calibration state enables, in the order they are switched.
constexpr int kNodePositions[] = {PosPsu, PosCascades, PosBurner, PosSurge, PosVlf};

constexpr unsigned char kCompactNode = 3;
constexpr unsigned char kControllerNode = 17;
constexpr unsigned char kCascadeNode = 19;
constexpr unsigned char kHvDcNode = 35;

// sendCalibUpdate: node number to node table key (0: none).
struct NodeKey
{
    unsigned char node;
    unsigned char key;
};

constexpr NodeKey kCalibUpdateKeys[] = {
    {3, 3},   {18, 18}, {20, 20}, {22, 22}, {27, 27}, {28, 28},
    {35, 35}, {19, 19}, {21, 19}, {25, 19},
};

} // namespace

bool LonCalibration::isServiceEnabled() const
{
    return getParameter(ParamServiceMode, 0) != 0;
}

MenuResult LonCalibration::createMenu(QString const& path, UserModes, IMenu* menu, bool)
{
    m_menu = menu;
    MenuResult result;
    if (path != kMenuPath || menu == nullptr)
        return result;

    bool const calibration = isCalibrationOn();
    bool const service = isServiceEnabled();
    bool const e = calibration && service;

    auto addButton = [&](int position, char const* title, char const* icon, bool enabled) {
        ISegment* segment = menu->createButton(title, Path::icon(QString::fromLatin1(icon)), enabled, 1, QStringList(), 1);
        if (segment != nullptr)
            menu->setSegment(position, segment);
        return segment;
    };
    auto addToggle = [&](int position, char const* title, char const* icon, bool on, bool enabled) {
        ISegment* segment = menu->createToggle(title, title, 0, Path::icon(QString::fromLatin1(icon)),
                                               on ? ToggleOn : ToggleOff, enabled, 1, QStringList(), QStringList(), 1);
        if (segment != nullptr)
            menu->setSegment(position, segment);
        return segment;
    };
    auto addNodeButton = [&](NodeButton const& row, unsigned char node, bool enabled, bool configuration) {
        QSharedPointer<NodeLonCalibrationBase> const object = m_nodes.value(node);
        if (!object)
            return;
        ISegment* segment = addButton(row.position, row.title, row.icon, enabled);
        if (segment == nullptr)
            return;
        if (configuration)
            connect(segment, &ISegment::clicked, object.data(), &NodeLonCalibrationBase::openConfigurationDialog);
        else
            connect(segment, &ISegment::clicked, object.data(), &NodeLonCalibrationBase::openCalibrationDialog);
    };

    if (ISegment* info = addButton(PosInfo, QT_TRANSLATE_NOOP("Menu", "Info"), "calibrationinfo.svg", true))
        connect(info, &ISegment::clicked, this, [this] { calibrationInfo(); });
    if (ISegment* toggle = addToggle(
            PosCalibration, QT_TRANSLATE_NOOP("Menu", "Calibration"), "calibrationoffon.svg", calibration, true))
        connect(toggle, &ISegment::stateChanged, this, &LonCalibration::slotToggleCalibrationLon);

    addNodeButton(kPsuButton, kPsuButton.node, e, false);
    addNodeButton(kIsoButton, kIsoButton.node, e, false);
    addNodeButton(kBurnerButton, kBurnerButton.node, e, false);
    if (m_nodes.contains(kHvDcNode) && !m_nodes.contains(kCascadeNode) && !m_nodes.contains(kCompactNode)) {
        addNodeButton({PosIsoOrHvDcConfiguration, QT_TRANSLATE_NOOP("Menu", "HV DC Configuration"),
                          "authentication.svg", kHvDcNode},
            kHvDcNode, e && hvDcConfigurationAllowed(), true);
    }
    for (unsigned char node : {kCascadeNode, kCompactNode, kHvDcNode}) {
        if (m_nodes.contains(node)) {
            addNodeButton(
                {PosCascades, QT_TRANSLATE_NOOP("Menu", "Cascades"), "calibrationdc.svg", node}, node, e, false);
            break;
        }
    }
    addNodeButton(kSurgeButton, kSurgeButton.node, e, false);
    addNodeButton(kVlfButton, kVlfButton.node, e, false);

    int const hardware = HWConfiguration::getHardware();
    if (m_testFunctions) {
        if (ISegment* segment
            = addButton(PosTestFunctions, QT_TRANSLATE_NOOP("Menu", "Test Functions"), "lontest.svg", service))
            connect(segment, &ISegment::clicked, m_testFunctions.get(), &LonServiceFunctions::openTestFunctionsDialog);
    }
    if (hardware != 11 && hardware != 7 && hardware != 12 && m_alarmTests) {
        if (ISegment* segment
            = addButton(PosAlarmTest, QT_TRANSLATE_NOOP("Menu", "Alarm Test"), "lonalarmtest.svg", service))
            connect(segment, &ISegment::clicked, m_alarmTests.get(), &LonAlarmTests::openAlarmDialog);
    }
    if (hardware != 11) {
        if (ISegment* toggle
            = addToggle(PosRelax, QT_TRANSLATE_NOOP("Menu", "Relax Mode"), "relaxoffon.svg", isRelaxModeOn(), service))
            connect(toggle, &ISegment::stateChanged, this, &LonCalibration::slotToggleRelax);
    }

    result.first = 1;
    result.second = 0;
    result.third = 1;
    return result;
}

void LonCalibration::enterMenu(QString const&, UserModes, IMenu* menu)
{
    m_menu = menu;
}

void LonCalibration::leaveMenu(QString const&)
{
    m_menu = nullptr;
}

void LonCalibration::destroyMenu(QString const&)
{
    m_menu = nullptr;
}

void LonCalibration::enableNodeButtons(bool e)
{
    if (m_menu == nullptr)
        return;
    for (int position : kNodePositions)
        m_menu->setSegmentEnabled(position, e, 0);
    bool enabled = e;
    if (m_nodes.contains(kHvDcNode))
        enabled = e && hvDcConfigurationAllowed();
    m_menu->setSegmentEnabled(PosIsoOrHvDcConfiguration, enabled, 0);
}

void LonCalibration::slotToggleCalibrationLon(ToggleStates state)
{
    bool const on = state == ToggleOn;
    logService(QStringLiteral("Switch %1 LON-Calibration mode").arg(on ? QStringLiteral("on") : QStringLiteral("off")));

    CalibrationModes mode = CalibrationModeOff;
    if (on)
        mode = isServiceEnabled() ? CalibrationModeFull : CalibrationModeCounters;
    const NodeTable nodes = m_nodes;
    for (auto const& node : nodes)
        node->setCalibrationEnabled(mode);

    if (m_testFunctions)
        m_testFunctions->switchCalibration(on);
    if (NVData::m_NetworkType != 9)
        sendCalibUpdate(static_cast<char>(kControllerNode));

    if (m_menu == nullptr)
        return;
    // Calibration and relax mode exclude each other; the relax toggle follows.
    if (on && m_testFunctions && isRelaxModeOn())
        m_menu->setToggleState(PosRelax, ToggleOff, 1);
    enableNodeButtons(on && isServiceEnabled());
}

void LonCalibration::slotToggleRelax(ToggleStates state)
{
    if (m_menu == nullptr)
        return;
    bool const on = state == ToggleOn;
    // Decided before anything changes: resetting the calibration toggle may run its slot.
    bool const e = isCalibrationOn() && isServiceEnabled();
    logService(QStringLiteral("Switch %1 relax mode").arg(on ? QStringLiteral("on") : QStringLiteral("off")));
    if (e && on)
        m_menu->setToggleState(PosCalibration, ToggleOff, 1);
    enableNodeButtons(e);
    if (m_testFunctions)
        m_testFunctions->switchRelax(on);
}

void LonCalibration::enabledService(bool)
{
    if (m_testFunctions && isCalibrationOn())
        slotToggleCalibrationLon(ToggleOff);
}

void LonCalibration::updateMenuForState(NVT_FU_STATE state)
{
    if (m_menu != nullptr && m_nodes.contains(kHvDcNode))
        m_menu->setSegmentEnabled(PosIsoOrHvDcConfiguration, hvDcConfigurationAllowed(state), 0);
}

// The HV DC unit's configuration may be changed only while the instrument is
// at most prepared (state 3), never with high voltage on its way.
bool LonCalibration::hvDcConfigurationAllowed(int state)
{
    return state <= 3;
}

bool LonCalibration::hvDcConfigurationAllowed() const
{
    return m_stateMachine != nullptr && hvDcConfigurationAllowed(m_stateMachine->getState());
}

void LonCalibration::sendCalibUpdate(char node)
{
    unsigned char number = static_cast<unsigned char>(node);
    unsigned char key = 0;
    if (number == kControllerNode) {
        key = NVData::m_NetworkType == 1 ? kCompactNode : kCascadeNode;
    } else {
        for (NodeKey const& entry : kCalibUpdateKeys) {
            if (entry.node == number)
                key = entry.key;
        }
    }
    QSharedPointer<NodeLonCalibrationBase> const object = m_nodes.value(key);
    if (key != 0 && object)
        object->sendCalibUpdateToLon();
}

void LonCalibration::setPsuCalibrationFlags(bool bEnabled, bool bOffsetCalibration)
{
    if (m_testFunctions)
        m_testFunctions->setPsuCalibrationFlags(bEnabled, bOffsetCalibration);
}

void LonCalibration::setSctsCalibrationFlags(bool bCalCurrent, bool bCalVoltage)
{
    if (m_testFunctions)
        m_testFunctions->setSctsCalibrationFlags(bCalCurrent, bCalVoltage);
}

void LonCalibration::setBurnInModeEnabled(bool enabled) const
{
    if (m_testFunctions)
        m_testFunctions->setBurnInMode(enabled);
}

void LonCalibration::setTestFacilityModeCallback(ITestFacilityModeCallback* callback)
{
    // Kept for every test functions object made later: one handed in before the
    // deferred start, or replaced by a new start, must still hear DC-MAX go off.
    m_testFacilityCallback = callback;
    if (m_testFunctions)
        m_testFunctions->setTestFacilityModeCallback(callback);
}

bool LonCalibration::isCalibrationOn() const
{
    return m_testFunctions && m_testFunctions->isCalibrationOn();
}

bool LonCalibration::isRelaxModeOn() const
{
    return m_testFunctions && m_testFunctions->isRelaxModeOn();
}
