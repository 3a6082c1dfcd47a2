#pragma once

#include <QByteArray>
#include <QMetaType>

#include "LonTypes.h"

// A network variable's value as it travels on the bus: its bytes (multi-byte
// numbers big-endian) and their length. Typed getters return host structures;
// a payload shorter than the structure reads as zero in the missing bytes and
// nothing past the payload is ever read. Setters replace the payload with the
// structure in bus order.
class NVData
{
public:
    // Network type of the instrument; set once by the LON client.
    static unsigned char m_NetworkType;

    NVData() = default;
    NVData(unsigned char const* data, unsigned int length);
    explicit NVData(QByteArray const& bytes);

    unsigned int length() const { return static_cast<unsigned int>(m_bytes.size()); }
    unsigned char const* data() const { return reinterpret_cast<unsigned char const*>(m_bytes.constData()); }
    QByteArray const& bytes() const { return m_bytes; }

    void setData(unsigned char const* data, unsigned int length);

    bool operator==(NVData const& other) const { return m_bytes == other.m_bytes; }
    bool operator!=(NVData const& other) const { return m_bytes != other.m_bytes; }

    // Calibration records.
    NVH_CAL_HBRN getCalHBRN() const;
    void setCalHBRN(NVH_CAL_HBRN const& value);
    NVH_CAL_HHVS getCalHHVS() const;
    void setCalHHVS(NVH_CAL_HHVS const& value);
    NVH_CAL_HSEL getCalHSEL() const;
    void setCalHSEL(NVH_CAL_HSEL const& value);
    NVH_CAL_HSUR getCalHSUR() const;
    void setCalHSUR(NVH_CAL_HSUR const& value);
    NVH_CAL_HVLF getCalHVLF() const;
    void setCalHVLF(NVH_CAL_HVLF const& value);
    NVH_CAL_RHVS getCalRHVS() const;
    void setCalRHVS(NVH_CAL_RHVS const& value);
    NVH_CAL_HPSU_3 getCalHPSU_3() const;
    void setCalHPSU_3(NVH_CAL_HPSU_3 const& value);
    NVT_CAL_VDSH getCalVDSH() const;
    void setCalVDSH(NVT_CAL_VDSH const& value);
    NVT_CAL_VDSL getCalVDSL() const;
    void setCalVDSL(NVT_CAL_VDSL const& value);
    NVT_CAL_VHVS getCalVHVS() const;
    void setCalVHVS(NVT_CAL_VHVS const& value);
    NVT_CAL_VPSU getCalVPSU() const;
    void setCalVPSU(NVT_CAL_VPSU const& value);
    NVT_CAL_VSUR getCalVSUR() const;
    void setCalVSUR(NVT_CAL_VSUR const& value);
    NVT_CAL_HVS getCalHVS() const;
    void setCalHVS(NVT_CAL_HVS const& value);

    // Counters and configuration.
    NVH_CNT_HSUR getCntHSUR() const;
    void setCntHSUR(NVH_CNT_HSUR const& value);
    NVH_CNT_HVLF getNVH_CNT_HVLF() const;
    void setNVH_CNT_HVLF(NVH_CNT_HVLF const& value);
    NVS_CNT_NSUR getNVS_CNT_NSUR() const;
    void setNVS_CNT_NSUR(NVS_CNT_NSUR const& value);
    NVH_CFG_RHVS getConfigRHVS() const;
    void setNVH_CFG_RHVS(NVH_CFG_RHVS const& value);
    NVH_CFG_HVLF getNVH_CFG_HVLF() const;
    void setNVH_CFG_HVLF(NVH_CFG_HVLF const& value);

    // Service record.
    NVS_SERVICE getNVS_SERVICE() const;
    void setNVS_SERVICE(NVS_SERVICE const& value);
    NVH_SERVICE_3 getNVH_SERVICE_3() const;
    void setNVH_SERVICE_3(NVH_SERVICE_3 const& value);

    // Scalars: one byte for bool and byte, two for short and for an alarm.
    bool getBoolValue() const;
    void setBoolValue(bool value);
    unsigned char getByteValue() const;
    void setByteValue(unsigned char value);
    short getShortValue() const;
    void setShortValue(short value);
    void setAlarm(unsigned char group, unsigned char alarm);

    // Measurements.
    NVH_ISO_MEAS getInsulationResistance() const;
    void setInsulationResistance(NVH_ISO_MEAS const& value);
    NVH_BMEAS getNVH_BMEAS() const;
    void setNVH_BMEAS(NVH_BMEAS const& value);
    NVH_CMEAS getNVH_CMEAS() const;
    void setNVH_CMEAS(NVH_CMEAS const& value);
    NVH_DMEAS getNVH_DMEAS() const;
    void setNVH_DMEAS(NVH_DMEAS const& value);
    NVH_HMEAS getNVH_HMEAS() const;
    void setNVH_HMEAS(NVH_HMEAS const& value);
    NVH_MMEAS getNVH_MMEAS() const;
    void setNVH_MMEAS(NVH_MMEAS const& value);
    NVH_MMEAS_3 getNVH_MMEAS_3() const;
    void setNVH_MMEAS_3(NVH_MMEAS_3 const& value);
    NVH_VMEAS getNVH_VMEAS() const;
    void setNVH_VMEAS(NVH_VMEAS const& value);
    NVS_VMEAS getNVS_VMEAS() const;
    void setNVS_VMEAS(NVS_VMEAS const& value);
    NVH_CMEAS_RHVS getNVH_CMEAS_RHVS() const;
    void setNVH_CMEAS_RHVS(NVH_CMEAS_RHVS const& value);
    NVH_MMEAS_RHVS getNVH_MMEAS_RHVS() const;
    void setNVH_MMEAS_RHVS(NVH_MMEAS_RHVS const& value);

private:
    QByteArray m_bytes;
};

Q_DECLARE_METATYPE(NVData)
