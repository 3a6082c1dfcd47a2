#pragma once

#include <QObject>

#include "data/LonCalibrationTypes.h"
#include "host/ILonEvent.h"
#include "host/LonTypes.h"
#include "host/NVData.h"
#include "host/ParameterReceiver.h"

class IModuleControl;
class ILonManagement;

// Receives every registered network variable from the LON client, possibly on
// the client's own thread. It only decodes into locals and its own members and
// emits; the module's slots run on the GUI thread through queued connections.
class LonCalibrationEventHandler : public QObject, public ParameterReceiver, public ILonEvent
{
    Q_OBJECT

public:
    explicit LonCalibrationEventHandler(IModuleControl* control);
    ~LonCalibrationEventHandler() override;

    void nvReceived(unsigned short nvId, NVData const& data) override;

    int trafoCorrectionFactor() const { return m_trafoCorrectionFactor; }

signals:
    void calibrationValuesReceived(unsigned char, NVData);
    void counterValuesReceived(unsigned char, NVData);
    void configurationValuesReceived(unsigned char, NVData);
    void measurementValueChanged(LonCalibrationTypes::MeasurementParameters, qint64);

private:
    void assembleHvs(unsigned int length, int offset, int validFlag, NVData const& data);
    void decodeMeasurement(unsigned short nvId, NVData const& data);
    void decodeInsulation(NVData const& data);
    void emitValue(LonCalibrationTypes::MeasurementParameters parameter, qint64 value);
    void emitVlf(int16_t uRef, int16_t uVlf, int16_t iVlf);
    // Mains values through the transformer correction; a factor of 0 or less switches it off.
    qint32 scaled(qint32 value) const;
    qint32 inverselyScaled(qint32 value) const;
    qint32 compensatedInternalCurrent(uint16_t raw) const;

    ILonManagement* m_lonManagement = nullptr;
    int m_trafoCorrectionFactor = 100;
    int m_lastInternalVoltage = 0;
    NVT_CAL_HVS m_hvsAssembly{};
};
