#pragma once

#include <QPointer>

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;
class QAbstractButton;

// Calibration dialog of the power supply unit (node 18). Newer units (interface
// version 0x300) carry separate internal and external mains currents in a
// six-byte record; older ones a four-byte record with one mains current.
class PSULonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    PSULonCalibration(IModuleControl* control, ILon* lon);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    using NodeLonCalibrationBase::addElements;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

signals:
    void setPsuCalibrationFlags(bool bEnabled, bool bOffsetCalibration);

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void cleanUp() override;
    void offsetCalibrationChanged();

private:
    // Byte of the record in use that holds the parameter, -1 if this generation has none.
    int byteOf(LonCalibrationTypes::CalibrationParameters parameter) const;

    ILon* m_lon;
    bool m_version3 = false;
    NVT_CAL_VPSU m_calibration{};
    NVH_CAL_HPSU_3 m_calibration3{};
    bool m_received = false;
    bool m_offsetCalibration = false;
    QPointer<QAbstractButton> m_zeroButton;
};
