#pragma once

#include <QObject>

#include "data/LonCalibrationTypes.h"
#include "host/LonTypes.h"
#include "nodes/CompensationValues.h"

class ILon;
class IModuleControl;
class IParameterControl;
class NVData;

// The constants of the high-voltage source (node 19), shared by the burner and
// cascade dialogs so both show and send the same values. In network type 3 the
// node carries the internal-current compensation values itself; elsewhere they
// live in the instrument's configuration and are handed to the parameter service.
class XHVS : public QObject
{
    Q_OBJECT

public:
    XHVS(IModuleControl* control, ILon* lon);

    void pollCalibrationValues();
    void setCalibrationValues(unsigned char node, NVData const& data);
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value);
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const;
    bool isParameterValid(LonCalibrationTypes::CalibrationParameters parameter) const;
    void sendCalibUpdateToLon();

signals:
    void valueReceived();

private:
    bool owns(LonCalibrationTypes::CalibrationParameters parameter) const;

    ILon* m_lon;
    IParameterControl* m_parameters = nullptr;
    NVT_CAL_VHVS m_calibration{};
    NVH_CAL_HHVS m_calibration3{};
    bool m_received = false;
    // A poll went out in this pass of the event loop.
    bool m_pollPending = false;
    CompensationValues m_compensation;
};
