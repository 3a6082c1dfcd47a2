#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QThread>

#include "nodes/NodeLonCalibrationBase.h"

class ILon;

// A small node dialog for tests of the base and of the module's routing: it
// owns the parameters it is given, keeps them in a map, writes them as one
// variable (one byte each) and records everything the module hands it.
class FakeNode : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    FakeNode(IModuleControl* control, ILon* lon, unsigned char nodeId,
             QList<LonCalibrationTypes::CalibrationParameters> const& owned);

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

    // Makes a switch row (parameter 27) as the first calibration row, built disabled.
    bool withSwitchRow = false;

    unsigned char nodeId;
    QList<LonCalibrationTypes::CalibrationParameters> owned;
    // Held and readable, but owned by no node and never stored (like the VLF current maximum).
    QList<LonCalibrationTypes::CalibrationParameters> readOnly;
    QMap<int, long long> values;
    bool received = false;
    int polls = 0;
    int sends = 0;
    int configurationOpens = 0;
    QList<QByteArray> calibrationPayloads;
    QList<unsigned char> calibrationNodes;
    QList<QByteArray> counterPayloads;
    QList<QByteArray> configurationPayloads;
    bool allOnGuiThread = true;
    ILonCalibrationDCCallback* dcCallback = nullptr;

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void openConfigurationDialog() override { ++configurationOpens; }

private:
    void noteThread();
    ILon* m_lon;
};
