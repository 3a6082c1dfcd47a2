#include "NVData.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>

unsigned char NVData::m_NetworkType = 0;

namespace {

// A multi-byte number inside a structure: its offset and width in bytes.
struct Wide
{
    int offset;
    int width;
};

// The bus is big-endian; on a little-endian host each wide field is reversed.
// The same reversal turns host order back into bus order.
void swapWide(unsigned char* bytes, std::initializer_list<Wide> fields)
{
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        return;
    for (Wide const& field : fields)
        std::reverse(bytes + field.offset, bytes + field.offset + field.width);
}

template <class T>
T readStruct(QByteArray const& payload, std::initializer_list<Wide> fields)
{
    T value;
    std::memset(&value, 0, sizeof(T));
    std::size_t const available = std::min<std::size_t>(static_cast<std::size_t>(payload.size()), sizeof(T));
    if (available > 0)
        std::memcpy(&value, payload.constData(), available);
    swapWide(reinterpret_cast<unsigned char*>(&value), fields);
    return value;
}

template <class T>
QByteArray writeStruct(T const& value, std::initializer_list<Wide> fields)
{
    QByteArray payload(reinterpret_cast<char const*>(&value), static_cast<int>(sizeof(T)));
    swapWide(reinterpret_cast<unsigned char*>(payload.data()), fields);
    return payload;
}

} // namespace

#define NV_ACCESSORS(Type, getter, setter, ...)                                                                       \
    Type NVData::getter() const { return readStruct<Type>(m_bytes, {__VA_ARGS__}); }                                  \
    void NVData::setter(Type const& value) { m_bytes = writeStruct(value, {__VA_ARGS__}); }

NV_ACCESSORS(NVH_CAL_HBRN, getCalHBRN, setCalHBRN)
NV_ACCESSORS(NVH_CAL_HHVS, getCalHHVS, setCalHHVS)
NV_ACCESSORS(NVH_CAL_HSEL, getCalHSEL, setCalHSEL)
NV_ACCESSORS(NVH_CAL_HSUR, getCalHSUR, setCalHSUR, {0, 2}, {2, 2})
NV_ACCESSORS(NVH_CAL_HVLF, getCalHVLF, setCalHVLF)
NV_ACCESSORS(NVH_CAL_RHVS, getCalRHVS, setCalRHVS)
NV_ACCESSORS(NVH_CAL_HPSU_3, getCalHPSU_3, setCalHPSU_3)
NV_ACCESSORS(NVT_CAL_VDSH, getCalVDSH, setCalVDSH)
NV_ACCESSORS(NVT_CAL_VDSL, getCalVDSL, setCalVDSL)
NV_ACCESSORS(NVT_CAL_VHVS, getCalVHVS, setCalVHVS)
NV_ACCESSORS(NVT_CAL_VPSU, getCalVPSU, setCalVPSU)
NV_ACCESSORS(NVT_CAL_VSUR, getCalVSUR, setCalVSUR)
NV_ACCESSORS(NVT_CAL_HVS, getCalHVS, setCalHVS)

NV_ACCESSORS(NVH_CNT_HSUR, getCntHSUR, setCntHSUR, {0, 2}, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVH_CNT_HVLF, getNVH_CNT_HVLF, setNVH_CNT_HVLF, {0, 2}, {2, 4})
NV_ACCESSORS(NVS_CNT_NSUR, getNVS_CNT_NSUR, setNVS_CNT_NSUR, {0, 2}, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVH_CFG_RHVS, getConfigRHVS, setNVH_CFG_RHVS, {0, 2})
NV_ACCESSORS(NVH_CFG_HVLF, getNVH_CFG_HVLF, setNVH_CFG_HVLF)

NV_ACCESSORS(NVS_SERVICE, getNVS_SERVICE, setNVS_SERVICE)
NV_ACCESSORS(NVH_SERVICE_3, getNVH_SERVICE_3, setNVH_SERVICE_3)

NV_ACCESSORS(NVH_ISO_MEAS, getInsulationResistance, setInsulationResistance, {1, 2}, {3, 2})
NV_ACCESSORS(NVH_BMEAS, getNVH_BMEAS, setNVH_BMEAS, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVH_CMEAS, getNVH_CMEAS, setNVH_CMEAS, {1, 2})
NV_ACCESSORS(NVH_DMEAS, getNVH_DMEAS, setNVH_DMEAS, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVH_HMEAS, getNVH_HMEAS, setNVH_HMEAS, {1, 2}, {3, 2}, {5, 2}, {7, 2})
NV_ACCESSORS(NVH_MMEAS, getNVH_MMEAS, setNVH_MMEAS, {1, 2}, {3, 2})
NV_ACCESSORS(NVH_MMEAS_3, getNVH_MMEAS_3, setNVH_MMEAS_3, {1, 2}, {3, 2}, {5, 2})
NV_ACCESSORS(NVH_VMEAS, getNVH_VMEAS, setNVH_VMEAS, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVS_VMEAS, getNVS_VMEAS, setNVS_VMEAS, {2, 2}, {4, 2}, {6, 2})
NV_ACCESSORS(NVH_CMEAS_RHVS, getNVH_CMEAS_RHVS, setNVH_CMEAS_RHVS, {0, 2}, {2, 2}, {4, 2}, {6, 2}, {8, 2},
             {10, 2}, {12, 2})
NV_ACCESSORS(NVH_MMEAS_RHVS, getNVH_MMEAS_RHVS, setNVH_MMEAS_RHVS, {0, 2}, {2, 2}, {4, 2})

#undef NV_ACCESSORS

NVData::NVData(unsigned char const* data, unsigned int length)
{
    setData(data, length);
}

NVData::NVData(QByteArray const& bytes) : m_bytes(bytes) {}

void NVData::setData(unsigned char const* data, unsigned int length)
{
    // A length QByteArray cannot hold would turn negative and make it measure the data itself.
    if (data == nullptr || length == 0 || length > static_cast<unsigned int>(std::numeric_limits<int>::max())) {
        m_bytes.clear();
        return;
    }
    m_bytes = QByteArray(reinterpret_cast<char const*>(data), static_cast<int>(length));
}

bool NVData::getBoolValue() const
{
    return !m_bytes.isEmpty() && m_bytes.at(0) != 0;
}

void NVData::setBoolValue(bool value)
{
    m_bytes = QByteArray(1, value ? 1 : 0);
}

unsigned char NVData::getByteValue() const
{
    return m_bytes.isEmpty() ? 0 : static_cast<unsigned char>(m_bytes.at(0));
}

void NVData::setByteValue(unsigned char value)
{
    m_bytes = QByteArray(1, static_cast<char>(value));
}

short NVData::getShortValue() const
{
    unsigned char raw[2] = {0, 0};
    std::memcpy(raw, m_bytes.constData(), std::min<std::size_t>(static_cast<std::size_t>(m_bytes.size()), 2));
    return qFromBigEndian<qint16>(raw);
}

void NVData::setShortValue(short value)
{
    unsigned char raw[2];
    qToBigEndian<qint16>(value, raw);
    m_bytes = QByteArray(reinterpret_cast<char const*>(raw), 2);
}

void NVData::setAlarm(unsigned char group, unsigned char alarm)
{
    m_bytes = QByteArray();
    m_bytes.append(static_cast<char>(group));
    m_bytes.append(static_cast<char>(alarm));
}
