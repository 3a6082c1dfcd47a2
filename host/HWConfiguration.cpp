#include "HWConfiguration.h"

namespace {

struct HardwareState
{
    int hardware = 0;
    bool hvDcControl = false;
    QString version = QStringLiteral("HW 1.0");
    int hvLevel = 0;
    bool highPower = false;
    bool adapter60kV25uF = false;
};

HardwareState& state()
{
    static HardwareState current;
    return current;
}

} // namespace

int HWConfiguration::getHardware()
{
    return state().hardware;
}

bool HWConfiguration::isHvDcControlEnabled()
{
    return state().hvDcControl;
}

QString HWConfiguration::getHardwareVersionStr()
{
    return state().version;
}

int HWConfiguration::pruefzusatzHvLevel()
{
    return state().hvLevel;
}

bool HWConfiguration::isPruefzusatzHighPower()
{
    return state().highPower;
}

bool HWConfiguration::hasPruefzusatz60kV_25uF()
{
    return state().adapter60kV25uF;
}

void HWConfiguration::setHardware(int hardware)
{
    state().hardware = hardware;
}

void HWConfiguration::setHvDcControlEnabled(bool enabled)
{
    state().hvDcControl = enabled;
}

void HWConfiguration::setHardwareVersionStr(QString const& version)
{
    state().version = version;
}

void HWConfiguration::setPruefzusatzHvLevel(int level)
{
    state().hvLevel = level;
}

void HWConfiguration::setPruefzusatzHighPower(bool highPower)
{
    state().highPower = highPower;
}

void HWConfiguration::setPruefzusatz60kV_25uF(bool fitted)
{
    state().adapter60kV25uF = fitted;
}

void HWConfiguration::reset()
{
    state() = HardwareState();
}
