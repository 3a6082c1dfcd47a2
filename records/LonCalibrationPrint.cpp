// LonCalibration: the calibration information sheet and its print.
#include "module/LonCalibration.h"

void LonCalibration::calibrationInfo(bool) {}

void LonCalibration::slotServicePrint() {}

void LonCalibration::printFinished(QString const&) {}

Form LonCalibration::createForm(QString const&)
{
    return Form();
}
