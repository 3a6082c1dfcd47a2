#include "BareQtIntake.h"

#include "host/NumberEdit.h"

using namespace LonCalibrationTypes;

BareQtIntake::BareQtIntake(QVector<NumberEdit*> recordEdits, QHash<MeasurementParameters, NumberEdit*> displayEdits)
    : m_recordEdits(std::move(recordEdits))
    , m_displayEdits(std::move(displayEdits))
{
    qRegisterMetaType<NVData>("NVData");
    qRegisterMetaType<MeasurementParameters>("LonCalibrationTypes::MeasurementParameters");
    connect(this, &BareQtIntake::recordReceived, this, &BareQtIntake::showRecord);
    connect(this, &BareQtIntake::measurementReceived, this, &BareQtIntake::showMeasurement);
}

void BareQtIntake::receiveRecord(NVData const& data)
{
    emit recordReceived(data);
}

void BareQtIntake::receiveMeasurement(NVData const& data)
{
    NVH_MMEAS_3 const mains = data.getNVH_MMEAS_3();
    emit measurementReceived(MainsVoltage, mains.voltage);
    emit measurementReceived(MainsCurrentInt, mains.currentInt);
    emit measurementReceived(MainsCurrentExt, mains.currentExt);
    emit measurementReceived(InternalSupplyVoltage, mains.supplyVoltage);
}

void BareQtIntake::showRecord(NVData const& data)
{
    QByteArray const& bytes = data.bytes();
    for (int i = 0; i < m_recordEdits.size() && i < bytes.size(); ++i)
        m_recordEdits[i]->showNumber(static_cast<signed char>(bytes[i]));
}

void BareQtIntake::showMeasurement(MeasurementParameters parameter, qint64 value)
{
    if (NumberEdit* edit = m_displayEdits.value(parameter))
        edit->showNumber(value);
}
