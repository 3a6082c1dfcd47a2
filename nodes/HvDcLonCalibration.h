#pragma once

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;

// HV DC unit (node 35): its calibration record, and a configuration record
// (cascade voltage, slim rotor VLF) with a dialog of its own that writes it
// only when the user confirms.
class HvDcLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    HvDcLonCalibration(IModuleControl* control, ILon* lon);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    void setConfigurationValues(NVData const& data) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void openConfigurationDialog() override;
    void changedSlimVlfValue(NumberEdit* pNumberEdit);
    void changedCascadeValue(NumberEdit* pNumberEdit);
    void sendConfigurationNVtoLON();

private:
    ILon* m_lon;
    NVH_CAL_RHVS m_calibration{};
    bool m_calibrationReceived = false;
    NVH_CFG_RHVS m_configuration{};
    bool m_configurationReceived = false;
    // Changed in the configuration dialog and not yet written with "Ok".
    bool m_cascadeEdited = false;
    bool m_slimRotorEdited = false;
};
