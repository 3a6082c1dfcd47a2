#pragma once

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;

// Surge generator (node 20): its surge counters. Which counters exist and in
// which network variable they live depends on the instrument generation; the
// fields hold ten times the shown value.
class SURLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    SURLonCalibration(IModuleControl* control, ILon* lon);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    void setCounterValues(NVData const& data) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;

private:
    // The record that holds the counters on this instrument.
    enum Layout
    {
        LayoutVsur, // network type 2: NVT_CAL_VSUR
        LayoutHsur, // network type 3, older node: NVH_CAL_HSUR
        LayoutHcnt, // network type 3, interface 0x206: NVH_CNT_HSUR
        LayoutNsur, // network type 9: NVS_CNT_NSUR
        LayoutNone, // other types: the record travels, no counter is held
        LayoutCount
    };

    Layout layout() const;
    // Word of the active record that holds the counter, -1 when it holds none.
    int wordOf(LonCalibrationTypes::CalibrationParameters parameter) const;
    unsigned int readWord(int word) const;
    void writeWord(int word, unsigned int value);
    // The record that carries the counters has arrived.
    bool activeRecordReceived() const;

    ILon* m_lon;
    NVT_CAL_VSUR m_oldCalibration{};
    NVH_CAL_HSUR m_newCalibration{};
    NVH_CNT_HSUR m_counters{};
    NVS_CNT_NSUR m_networkCounters{};
    bool m_newCounters = false;
    // Kept per kind of variable: a counter record is only shown and written
    // back once it has itself arrived, never as zeros after a calibration record.
    bool m_calibrationReceived = false;
    bool m_countersReceived = false;
};
