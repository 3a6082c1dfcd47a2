#pragma once

// Network-variable structures of the LON client library. Packed exactly as on
// the bus; multi-byte fields hold host-order numbers once NVData has read them
// (NVData converts from and to the bus's big-endian order).

#include <cstdint>

#pragma pack(push, 1)

// ---- calibration records --------------------------------------------------

struct NVT_CAL_VPSU // PSU, older generation (node 18)
{
    int8_t uMainsOffset;
    int8_t uMainsGain;
    int8_t iMainsOffset;
    int8_t iMainsGain;
};

struct NVH_CAL_HPSU_3 // PSU, interface version 3 (node 18)
{
    int8_t uMainsOffset;
    int8_t uMainsGain;
    int8_t iMainsIntOffset;
    int8_t iMainsIntGain;
    int8_t iMainsExtOffset;
    int8_t iMainsExtGain;
};

struct NVT_CAL_VDSL // insulation measurement (node 22)
{
    uint8_t reserved[2];
    int8_t iIsoOffset;
    int8_t iIsoGain;
};

struct NVT_CAL_VHVS // HV source, older network (node 19)
{
    int8_t uNomOffset;
    int8_t uNomGain2kV;
    int8_t uNomGain8kV;
    int8_t uNomGain32kV;
    uint8_t reserved4;
    int8_t uNomGain80kV;
    int8_t uNomGainBrn;
    int8_t uNomGainRes;
    int8_t uIntOffset;
    int8_t uIntGain;
    uint8_t reserved10[2];
    int8_t iIntOffset;
    int8_t iIntGain;
};

struct NVH_CAL_HHVS // HV source, network type 3 (node 19)
{
    int8_t uNomOffset;
    int8_t uNomGain2kV;
    int8_t uNomGain8kV;
    int8_t uNomGain32kV;
    int8_t uNomGain40kV;
    int8_t uNomGain80kV;
    int8_t uNomGainBrn;
    int8_t uNomGainRes;
    int8_t uIntOffset;
    int8_t uIntGain;
    int8_t iIntOffset;
    int8_t iIntGain;
    uint8_t enableComp;
    uint8_t reserved13;
    int8_t iIntComp8kV;
    int8_t iIntComp32kV;
    int8_t iIntComp40kV;
    int8_t iIntComp80kV;
    uint8_t reserved18[2];
};

struct NVT_CAL_HVS // compact DC unit (node 3), collected from three variables
{
    int8_t uNom[6];
    uint8_t uNomValid;
    int8_t uInt[2];
    uint8_t uIntValid;
    int8_t iInt[2];
    uint8_t iIntValid;
};

struct NVH_CAL_HBRN // burner (node 27)
{
    int8_t uBrnLvOffset;
    int8_t uBrnLvGain;
    int8_t iBrnLvOffset;
    int8_t iBrnLvGain;
    int8_t iBrnHvOffset;
    int8_t iBrnHvGain;
};

struct NVT_CAL_VDSH // cascade, older network (node 21)
{
    int8_t uMaxOffset;
    int8_t uMaxGain;
    int8_t uExtOffset;
    int8_t uExtGain;
};

struct NVH_CAL_HSEL // cascade, network type 3 (node 25)
{
    int8_t uMaxOffset;
    int8_t uMaxGain;
    int8_t uExtOffset;
    int8_t uExtGain;
};

struct NVH_CAL_RHVS // HV DC unit (node 35)
{
    int8_t uMainsGain;
    int8_t iMainsGain;
    int8_t iMotorGain;
    int8_t uIntOffset;
    int8_t uIntNegGain;
    uint8_t reserved5[3];
    int8_t uVlfGain;
    int8_t iIntOffset;
    int8_t iInt300mAGain;
    int8_t iInt100mAGain;
    int8_t iInt10mAGain;
    int8_t iInt1mAGain;
    int8_t iInt100uAGain;
    uint8_t reserved15;
};

struct NVH_CFG_RHVS // HV DC unit configuration (node 35)
{
    uint16_t cascade;
    uint8_t flags; // bit 0: slim rotor VLF
    uint8_t reserved[4];
};

struct NVT_CAL_VSUR // surge, older network (node 20); words kept high byte first
{
    uint8_t counter2kV[2];
    uint8_t counter32kV[2];
};

struct NVH_CAL_HSUR // surge, network type 3 (node 20)
{
    uint16_t counter[2];
};

struct NVH_CNT_HSUR // surge counters, interface version 0x206 (node 20)
{
    uint16_t counter[4];
};

struct NVS_CNT_NSUR // surge counters, network type 9 (node 20)
{
    uint16_t counter[4];
};

struct NVH_CAL_HVLF // VLF generator (node 28 or 30)
{
    int8_t value[12];
};

struct NVH_CNT_HVLF // VLF counters
{
    uint16_t startCounter;
    uint32_t cycleCounter;
};

struct NVH_CFG_HVLF // VLF configuration
{
    uint8_t reserved[3];
    uint8_t currentMax;
};

// ---- service record (node 17) ---------------------------------------------

struct NVS_SERVICE
{
    uint8_t mode;
    uint8_t functions;
};

struct NVH_SERVICE_3
{
    uint8_t mode;
    uint8_t testFunctions;
    uint8_t psuFlags;
    uint8_t reserved;
};

// ---- measurements ---------------------------------------------------------

struct NVH_MMEAS // PSU mains
{
    uint8_t flags;
    int16_t voltage;
    int16_t current;
};

struct NVH_MMEAS_3 // PSU mains, interface version 3
{
    uint8_t flags;
    int16_t voltage;
    int16_t currentInt;
    int16_t currentExt;
    uint8_t supplyVoltage;
};

struct NVH_HMEAS // HV source via the controller
{
    uint8_t flags; // bit 1: I-int in units of 100
    int16_t uRef;
    int16_t uInt;
    int16_t uAux;
    int16_t iInt;
};

struct NVH_CMEAS // cascade voltage via the controller
{
    uint8_t flags;
    int16_t uExt;
};

struct NVH_BMEAS // burner
{
    uint8_t flags;
    uint8_t reserved;
    int16_t uBrnLv;
    int16_t iBrnLv;
    int16_t iBrnHv;
};

struct NVH_DMEAS // VLF via the controller, newer layout
{
    uint8_t flags;
    uint8_t reserved;
    int16_t uRef;
    int16_t uVlf;
    int16_t iVlf;
};

struct NVH_VMEAS // VLF via the controller, older layout
{
    uint8_t flags;
    uint8_t reserved;
    int16_t uRef;
    int16_t uVlf;
    int16_t iVlf;
};

struct NVS_VMEAS // VLF generator
{
    uint8_t flags;
    uint8_t reserved;
    int16_t uRef;
    int16_t uVlf;
    int16_t iVlf;
};

struct NVH_ISO_MEAS // insulation resistance and current
{
    uint8_t flags; // bit 1: range
    int16_t resistance;
    uint16_t current;
};

struct NVH_MMEAS_RHVS // HV DC unit mains and motor
{
    int16_t mainsVoltage;
    int16_t mainsCurrent;
    int16_t motorCurrent;
};

struct NVH_CMEAS_RHVS // HV DC unit internal values
{
    int16_t status;
    int16_t uInt;
    int16_t iIntValue;
    uint16_t iIntRange;
    int16_t reserved8[2];
    int16_t uAux;
};

#pragma pack(pop)

static_assert(sizeof(NVT_CAL_VPSU) == 4, "NVT_CAL_VPSU");
static_assert(sizeof(NVH_CAL_HPSU_3) == 6, "NVH_CAL_HPSU_3");
static_assert(sizeof(NVT_CAL_VDSL) == 4, "NVT_CAL_VDSL");
static_assert(sizeof(NVT_CAL_VHVS) == 14, "NVT_CAL_VHVS");
static_assert(sizeof(NVH_CAL_HHVS) == 20, "NVH_CAL_HHVS");
static_assert(sizeof(NVT_CAL_HVS) == 13, "NVT_CAL_HVS");
static_assert(sizeof(NVH_CAL_HBRN) == 6, "NVH_CAL_HBRN");
static_assert(sizeof(NVT_CAL_VDSH) == 4, "NVT_CAL_VDSH");
static_assert(sizeof(NVH_CAL_HSEL) == 4, "NVH_CAL_HSEL");
static_assert(sizeof(NVH_CAL_RHVS) == 16, "NVH_CAL_RHVS");
static_assert(sizeof(NVH_CFG_RHVS) == 7, "NVH_CFG_RHVS");
static_assert(sizeof(NVT_CAL_VSUR) == 4, "NVT_CAL_VSUR");
static_assert(sizeof(NVH_CAL_HSUR) == 4, "NVH_CAL_HSUR");
static_assert(sizeof(NVH_CNT_HSUR) == 8, "NVH_CNT_HSUR");
static_assert(sizeof(NVS_CNT_NSUR) == 8, "NVS_CNT_NSUR");
static_assert(sizeof(NVH_CAL_HVLF) == 12, "NVH_CAL_HVLF");
static_assert(sizeof(NVH_CNT_HVLF) == 6, "NVH_CNT_HVLF");
static_assert(sizeof(NVH_CFG_HVLF) == 4, "NVH_CFG_HVLF");
static_assert(sizeof(NVS_SERVICE) == 2, "NVS_SERVICE");
static_assert(sizeof(NVH_SERVICE_3) == 4, "NVH_SERVICE_3");
static_assert(sizeof(NVH_MMEAS) == 5, "NVH_MMEAS");
static_assert(sizeof(NVH_MMEAS_3) == 8, "NVH_MMEAS_3");
static_assert(sizeof(NVH_HMEAS) == 9, "NVH_HMEAS");
static_assert(sizeof(NVH_BMEAS) == 8, "NVH_BMEAS");
static_assert(sizeof(NVH_ISO_MEAS) == 5, "NVH_ISO_MEAS");
static_assert(sizeof(NVH_MMEAS_RHVS) == 6, "NVH_MMEAS_RHVS");
static_assert(sizeof(NVH_CMEAS_RHVS) == 14, "NVH_CMEAS_RHVS");
