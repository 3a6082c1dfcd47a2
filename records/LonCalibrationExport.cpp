// LonCalibration: the calibration document written for other modules.
#include "module/LonCalibration.h"

#include <QDomDocument>

using namespace LonCalibrationTypes;

void LonCalibration::writeAllCalibrationValuesToDom(QDomDocument& document)
{
    QDomElement root = document.createElement(QStringLiteral("calibration"));
    document.appendChild(root);
    for (int number = FirstCalibrationParameter; number <= LastCalibrationParameter; ++number) {
        auto const parameter = static_cast<CalibrationParameters>(number);
        long long value = 0;
        bool received = false;
        if (!getValueFromInternalBuffer(parameter, value, &received) || !received)
            continue;
        QDomElement element = document.createElement(QStringLiteral("value"));
        root.appendChild(element);
        element.setAttribute(QStringLiteral("key"), calibrationParameterKey(parameter));
        element.appendChild(document.createTextNode(QString::number(value, 10)));
    }
}
