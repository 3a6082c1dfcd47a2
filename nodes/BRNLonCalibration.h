#pragma once

#include <QSharedPointer>

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;
class XHVS;

// Calibration dialog of the burner (node 27). It also shows the two HV-source
// gains that concern the burner, held by the shared HV source.
class BRNLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    BRNLonCalibration(IModuleControl* control, ILon* lon, QSharedPointer<XHVS> hvSource);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    using NodeLonCalibrationBase::addElements;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void XHVSValuesReceived();

private:
    ILon* m_lon;
    QSharedPointer<XHVS> m_hvSource;
    NVH_CAL_HBRN m_calibration{};
    bool m_received = false;
};
