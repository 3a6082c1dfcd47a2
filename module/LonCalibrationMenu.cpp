// LonCalibration: the "/lon" service menu page.
#include "module/LonCalibration.h"

#include "host/IMenu.h"

namespace {

QString const kMenuPath = QStringLiteral("/lon");

constexpr unsigned char kHvDcNode = 35;
constexpr int kHvDcConfigurationPosition = 4;

} // namespace

MenuResult LonCalibration::createMenu(QString const& path, UserModes, IMenu* menu, bool)
{
    m_menu = menu;
    MenuResult result;
    if (path != kMenuPath)
        return result;
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

void LonCalibration::enabledService(bool) {}

void LonCalibration::updateMenuForState(NVT_FU_STATE state)
{
    if (m_menu != nullptr && m_nodes.contains(kHvDcNode))
        m_menu->setSegmentEnabled(kHvDcConfigurationPosition, state <= 3, 0);
}
