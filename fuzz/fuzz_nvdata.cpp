// Fuzz target: every NVData accessor on a payload of any length.
// The input is the payload. Each typed getter must read the payload's first
// bytes (zero where it is short, nothing past its end), and writing the result
// back must give exactly those bytes in bus order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QByteArray>

#include "host/NVData.h"

namespace {

void fail(char const* accessor, QByteArray const& payload)
{
    std::fprintf(stderr, "NVData %s breaks its round trip on %d bytes: %s\n", accessor, payload.size(),
        payload.toHex().constData());
    std::abort();
}

// The payload as a structure of `size` bytes sees it: cut or padded with zeros.
QByteArray fitted(QByteArray const& payload, int size)
{
    QByteArray bytes = payload.left(size);
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

template <class T>
void roundTrip(char const* accessor, NVData const& input, T (NVData::*get)() const, void (NVData::*set)(T const&))
{
    T const value = (input.*get)();
    NVData written;
    (written.*set)(value);
    if (written.bytes() != fitted(input.bytes(), static_cast<int>(sizeof(T))))
        fail(accessor, input.bytes());
    T const again = (written.*get)();
    if (std::memcmp(&again, &value, sizeof(T)) != 0)
        fail(accessor, input.bytes());
}

#define ROUND_TRIP(Type, getter, setter) roundTrip<Type>(#getter, input, &NVData::getter, &NVData::setter)

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    // Both ways in: the raw pointer (empty for size 0) and a byte array.
    NVData const input(data, static_cast<unsigned int>(size));
    NVData const copy(QByteArray(reinterpret_cast<char const*>(data), static_cast<int>(size)));
    if (input.length() != size || input != copy)
        fail("constructor", copy.bytes());
    if (size > 0 && std::memcmp(input.data(), data, size) != 0)
        fail("data", input.bytes());

    ROUND_TRIP(NVH_CAL_HBRN, getCalHBRN, setCalHBRN);
    ROUND_TRIP(NVH_CAL_HHVS, getCalHHVS, setCalHHVS);
    ROUND_TRIP(NVH_CAL_HSEL, getCalHSEL, setCalHSEL);
    ROUND_TRIP(NVH_CAL_HSUR, getCalHSUR, setCalHSUR);
    ROUND_TRIP(NVH_CAL_HVLF, getCalHVLF, setCalHVLF);
    ROUND_TRIP(NVH_CAL_RHVS, getCalRHVS, setCalRHVS);
    ROUND_TRIP(NVH_CAL_HPSU_3, getCalHPSU_3, setCalHPSU_3);
    ROUND_TRIP(NVT_CAL_VDSH, getCalVDSH, setCalVDSH);
    ROUND_TRIP(NVT_CAL_VDSL, getCalVDSL, setCalVDSL);
    ROUND_TRIP(NVT_CAL_VHVS, getCalVHVS, setCalVHVS);
    ROUND_TRIP(NVT_CAL_VPSU, getCalVPSU, setCalVPSU);
    ROUND_TRIP(NVT_CAL_VSUR, getCalVSUR, setCalVSUR);
    ROUND_TRIP(NVT_CAL_HVS, getCalHVS, setCalHVS);
    ROUND_TRIP(NVH_CNT_HSUR, getCntHSUR, setCntHSUR);
    ROUND_TRIP(NVH_CNT_HVLF, getNVH_CNT_HVLF, setNVH_CNT_HVLF);
    ROUND_TRIP(NVS_CNT_NSUR, getNVS_CNT_NSUR, setNVS_CNT_NSUR);
    ROUND_TRIP(NVH_CFG_RHVS, getConfigRHVS, setNVH_CFG_RHVS);
    ROUND_TRIP(NVH_CFG_HVLF, getNVH_CFG_HVLF, setNVH_CFG_HVLF);
    ROUND_TRIP(NVS_SERVICE, getNVS_SERVICE, setNVS_SERVICE);
    ROUND_TRIP(NVH_SERVICE_3, getNVH_SERVICE_3, setNVH_SERVICE_3);
    ROUND_TRIP(NVH_ISO_MEAS, getInsulationResistance, setInsulationResistance);
    ROUND_TRIP(NVH_BMEAS, getNVH_BMEAS, setNVH_BMEAS);
    ROUND_TRIP(NVH_CMEAS, getNVH_CMEAS, setNVH_CMEAS);
    ROUND_TRIP(NVH_DMEAS, getNVH_DMEAS, setNVH_DMEAS);
    ROUND_TRIP(NVH_HMEAS, getNVH_HMEAS, setNVH_HMEAS);
    ROUND_TRIP(NVH_MMEAS, getNVH_MMEAS, setNVH_MMEAS);
    ROUND_TRIP(NVH_MMEAS_3, getNVH_MMEAS_3, setNVH_MMEAS_3);
    ROUND_TRIP(NVH_VMEAS, getNVH_VMEAS, setNVH_VMEAS);
    ROUND_TRIP(NVS_VMEAS, getNVS_VMEAS, setNVS_VMEAS);
    ROUND_TRIP(NVH_CMEAS_RHVS, getNVH_CMEAS_RHVS, setNVH_CMEAS_RHVS);
    ROUND_TRIP(NVH_MMEAS_RHVS, getNVH_MMEAS_RHVS, setNVH_MMEAS_RHVS);

    // Scalars: the first byte, or the first two as a big-endian number.
    unsigned char const first = size > 0 ? data[0] : 0;
    unsigned char const second = size > 1 ? data[1] : 0;
    if (input.getBoolValue() != (first != 0))
        fail("getBoolValue", input.bytes());
    if (input.getByteValue() != first)
        fail("getByteValue", input.bytes());
    short const number = input.getShortValue();
    if (static_cast<uint16_t>(number) != static_cast<uint16_t>((first << 8) | second))
        fail("getShortValue", input.bytes());

    NVData scalar;
    scalar.setShortValue(number);
    if (scalar.bytes() != fitted(input.bytes(), 2))
        fail("setShortValue", input.bytes());
    scalar.setByteValue(first);
    if (scalar.bytes() != fitted(input.bytes(), 1))
        fail("setByteValue", input.bytes());
    scalar.setBoolValue(input.getBoolValue());
    if (scalar.length() != 1 || scalar.getBoolValue() != (first != 0))
        fail("setBoolValue", input.bytes());
    scalar.setAlarm(first, second);
    if (scalar.bytes() != fitted(input.bytes(), 2))
        fail("setAlarm", input.bytes());

    // Replacing the payload with itself, and with nothing.
    NVData replaced;
    replaced.setData(input.data(), input.length());
    if (replaced != input)
        fail("setData", input.bytes());
    replaced.setData(nullptr, 5);
    if (replaced.length() != 0)
        fail("setData(nullptr)", input.bytes());
    return 0;
}
