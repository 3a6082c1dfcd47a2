#pragma once

#include <QPointer>
#include <QVariant>

#include "host/LonTypes.h"
#include "host/ParameterReceiver.h"
#include "host/StateEvent.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;
class ILonManagement;

// VLF generator (node 28, or 30 with the 60 kV / 25 uF adapter): twelve
// corrections, the start and cycle counters and the current maximum. One
// enable switch per calibration row selects what is being calibrated; the
// U-nom button sets the matching set point through the DC callback.
class VLFLonCalibration : public NodeLonCalibrationBase, public ParameterReceiver, public StateEvent
{
    Q_OBJECT

public:
    VLFLonCalibration(IModuleControl* control, ILon* lon);
    ~VLFLonCalibration() override;

    void addElements(QWidget* parent, int& row, int x, int width) override;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    void setCounterValues(NVData const& data) override;
    void setConfigurationValues(NVData const& data) override;
    void setDcCallback(ILonCalibrationDCCallback* callback) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

    // The VLF current maximum (parameter 52), in the unit of the set-point current.
    long long currentMaximum() const;
    // The node that holds the VLF values on this instrument.
    static unsigned char vlfNode();

    // State machine hooks: HV reached (state 6) and discharge requested (state 7).
    Q_INVOKABLE void HVActivated(QVariant oldState);
    Q_INVOKABLE void HVDischarging(QVariant oldState);

signals:
    void sctsCalibrationFlagsChanged(bool bCalCurrent, bool bCalVoltage);

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void cleanUp() override;
    void changeEnableVlf(NumberEdit* pNumberEdit);
    void updateVnomButtonVlf();
    void setHvNomVlf();
    void setHvNomVlfAbort();
    void setHvNomVlfSend();

private:
    // Index into the row table of the row whose switch shows 1 (the last one), -1 for none.
    int selectedRow() const;
    // Set point of a row: voltage in units of 10 V, current in the unit of the maximum.
    long long setPointVoltage(int row) const;
    long long setPointCurrent(int row) const;
    void dropWarning();

    ILon* m_lon;
    ILonManagement* m_lonManagement = nullptr;
    NVH_CAL_HVLF m_calibration{};
    bool m_calibrationReceived = false;
    NVH_CFG_HVLF m_configuration{};
    bool m_currentMaximumConfigured = false;
    NVH_CNT_HVLF m_counters{};
    bool m_countersReceived = false;
    bool m_dialogOpen = false;
    ILonCalibrationDCCallback* m_dcCallback = nullptr;
    QPointer<QAbstractButton> m_okButton;
    QPointer<QAbstractButton> m_vnomButton;
    QPointer<DialogWindow> m_warningDialog;
};
