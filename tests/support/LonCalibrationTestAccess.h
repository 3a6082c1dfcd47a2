#pragma once

#include "module/LonCalibration.h"

// Lets a test put node objects of its own into a module's node table.
class LonCalibrationTestAccess
{
public:
    static void setNodes(LonCalibration& module, LonCalibration::NodeTable const& nodes)
    {
        module.m_nodes = nodes;
        for (auto const& node : nodes)
            QObject::connect(node.data(), &NodeLonCalibrationBase::enableLonModuleStatus, &module,
                             &LonCalibration::enableLonModuleStatus, Qt::UniqueConnection);
    }
};
