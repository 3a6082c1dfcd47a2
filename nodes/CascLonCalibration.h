#pragma once

#include <QMap>
#include <QSharedPointer>

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;
class XHVS;

// Calibration dialog "DC" of the cascade DC unit: the HV source (node 19, held
// by the shared HV source with its compensation values) and the cascade node,
// node 25 in network type 3 and node 21 elsewhere, with the U-ext and U-max
// corrections. The compensation values are the HV source's only: a second
// copy here would put stale values back at every send.
class CascLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    CascLonCalibration(IModuleControl* control, ILon* lon, QSharedPointer<XHVS> hvSource);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    void addElements(QWidget* parent, int& row, int x, int width, int& row2, int x2, int width2) override;
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
    void addHvSourceSection(QWidget* parent, int& row, int x, int width);
    void addCascadeSection(QWidget* parent, int& row, int x, int width);
    void addCompensationSection(QWidget* parent, int& row, int x, int width);
    // The current network type's cascade record as bytes.
    long long cascadeByte(int byte) const;
    void storeCascadeByte(int byte, long long value);

    ILon* m_lon;
    QSharedPointer<XHVS> m_hvSource;
    NVT_CAL_VDSH m_calibration{};
    NVH_CAL_HSEL m_calibration3{};
    QMap<unsigned char, bool> m_received;
};
