// LonCalibration: loading calibration values back from a stick.
#include "module/LonCalibration.h"

void LonCalibration::importFileFromStick(QString) {}
