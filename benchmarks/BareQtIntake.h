#pragma once

#include <QHash>
#include <QObject>
#include <QVector>

#include "data/LonCalibrationTypes.h"
#include "host/NVData.h"

class NumberEdit;

// The intake's baseline: what bare Qt does to show the same numbers in the
// same host widgets. A second thread decodes a record or a measurement into
// locals and emits, as the module's handler does (one signal per measured
// value); queued connections carry the values to the GUI thread, where each
// is shown in its edit.
class BareQtIntake : public QObject
{
    Q_OBJECT

public:
    // `recordEdits`: one edit per byte of the record, in byte order.
    BareQtIntake(
        QVector<NumberEdit*> recordEdits, QHash<LonCalibrationTypes::MeasurementParameters, NumberEdit*> displayEdits);

    // On any thread.
    void receiveRecord(NVData const& data);
    void receiveMeasurement(NVData const& data);

signals:
    void recordReceived(NVData data);
    void measurementReceived(LonCalibrationTypes::MeasurementParameters parameter, qint64 value);

private slots:
    void showRecord(NVData const& data);
    void showMeasurement(LonCalibrationTypes::MeasurementParameters parameter, qint64 value);

private:
    QVector<NumberEdit*> m_recordEdits;
    QHash<LonCalibrationTypes::MeasurementParameters, NumberEdit*> m_displayEdits;
};
