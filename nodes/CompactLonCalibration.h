#pragma once

#include <cstdint>

#include "host/LonTypes.h"
#include "nodes/CompensationValues.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;
class IParameterControl;

// Compact DC unit: the constants of its HV source (node 3), which travel in
// three small variables, and the internal-current compensation values, which
// the instrument keeps in its configuration and hands to the parameter service.
class CompactLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    CompactLonCalibration(IModuleControl* control, ILon* lon);

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

private:
    void addNodeRows(QWidget* parent, int& row, int x, int width);
    void addCompensationRows(QWidget* parent, int& row, int x, int width);
    unsigned char* recordBytes() { return reinterpret_cast<unsigned char*>(&m_calibration); }
    unsigned char const* recordBytes() const { return reinterpret_cast<unsigned char const*>(&m_calibration); }

    ILon* m_lon;
    IParameterControl* m_parameterControl = nullptr;
    NVT_CAL_HVS m_calibration{};
    // The intake's assembly as last handed over, to tell which part is new.
    NVT_CAL_HVS m_lastArrived{};
    // 80, 40, 32 and 8 kV, in the order of the compensation table.
    CompensationValues m_compensation;
};
