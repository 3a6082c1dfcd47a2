// The plug-in's one exported entry: the host loads the library and calls it.
#include "module/LonCalibration.h"

extern "C" Q_DECL_EXPORT IModule* module_instantiate()
{
    ILonCalibration* module = new LonCalibration();
    return module;
}
