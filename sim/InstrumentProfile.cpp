#include "sim/InstrumentProfile.h"

#include "host/HWConfiguration.h"
#include "host/NVData.h"

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(static_cast<char>(value));
    return result;
}

// ---- what each node holds, by the variable it is polled with ----------------

// Calibration constants are small signed corrections around zero.
QByteArray const kPsuOld = bytes({3, -2, 1, 4});
QByteArray const kPsuV3 = bytes({3, -2, 1, 4, -1, 2});
QByteArray const kHvsOld = bytes({2, -1, 3, 1, 0x5A, -3, 4, 1, -2, 5, 0x11, 0x22, 1, -4});
QByteArray const kHvs3 = bytes({2, -1, 3, 1, 2, -3, 4, 1, -2, 5, 1, -4, 1, 0x33, 12, 9, 7, 5, 0x44, 0x55});
QByteArray const kInsulation = bytes({0x12, 0x34, -3, 6});
QByteArray const kCascade = bytes({1, -2, 3, -4});
QByteArray const kBurner = bytes({-1, 2, -3, 4, -5, 6});
QByteArray const kVlf = bytes({1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6});
QByteArray const kHvDc = bytes({2, -1, 3, -2, 4, 0x21, 0x22, 0x23, 5, -3, 6, -4, 7, -5, 8, 0x24});
// Cascade of 80 kV, slim rotor VLF on, the other bits and bytes the node's own.
QByteArray const kHvDcConfiguration = bytes({0x00, 0x50, 0x81, 0x01, 0x02, 0x03, 0x04});
// Compact unit: U-nom part (index 130), U-int part (132), I-int part (134).
QByteArray const kCompactUNom = bytes({2, 3, -1, 1, -2, 4});
QByteArray const kCompactUInt = bytes({-3, 5});
QByteArray const kCompactIInt = bytes({1, -4});

// Counters hold ten times the shown count (surge) or a hundred times (VLF cycles).
QByteArray const kSurgeOld = bytes({0x30, 0x34, 0x02, 0x30});                              // 1234, 56
QByteArray const kSurgeCalibration3 = bytes({0x30, 0x34, 0x02, 0x30});                     // 1234, 56
QByteArray const kSurgeCounters3 = bytes({0x30, 0x34, 0x1E, 0xD2, 0x02, 0x30, 0x00, 0x78}); // 1234, 789, 56, 12
QByteArray const kSurgeCountersNsur = bytes({0x11, 0xD0, 0x0D, 0x7A, 0x09, 0x24, 0x04, 0xCE}); // 456, 345, 234, 123
QByteArray const kVlfCounters = bytes({0x01, 0x41, 0x00, 0x06, 0xF7, 0xFC});                 // 321 starts, 4567 cycles
QByteArray const kVlfConfiguration = bytes({0, 0, 0, 120});                                 // current maximum 12000

struct Kit
{
    unsigned char node;
    QList<unsigned short> versions;
    QList<QPair<unsigned short, QByteArray>> variables;
    QList<unsigned short> measurements;
};

Kit const kController3{17, {0x300}, {}, {0x1162, 0x1163, 0x1164, 0x1165}};
Kit const kControllerOld{17, {}, {}, {0x1162, 0x1163}};
Kit const kPsu3{18, {0x300}, {{0x127B, kPsuV3}}, {0x1269}};
Kit const kPsuOldKit{18, {}, {{0x1275, kPsuOld}}, {0x126A, 0x126B}};
Kit const kHvSource3{19, {0x300}, {{0x1375, kHvs3}}, {0x136C, 0x136D, 0x136F}};
Kit const kHvSourceOld{19, {}, {{0x1375, kHvsOld}}, {0x136C, 0x136D, 0x136F}};
// Network type 3 always carries the 20-byte record, whatever the node's generation.
Kit const kHvSource3Classic{19, {}, {{0x1375, kHvs3}}, {0x136C, 0x136D, 0x136F}};
Kit const kSurgeNew{20, {0x206}, {{0x1475, kSurgeCalibration3}, {0x1479, kSurgeCounters3}}, {}};
Kit const kSurgeClassic{20, {}, {{0x1475, kSurgeCalibration3}}, {}};
Kit const kSurgeNsur{20, {}, {{0x1479, kSurgeCountersNsur}}, {}};
Kit const kSurgeVsur{20, {}, {{0x1475, kSurgeOld}}, {}};
Kit const kCascadeOld{21, {}, {{0x1575, kCascade}}, {0x156E}};
Kit const kInsulationKit{22, {}, {{0x1675, kInsulation}}, {0x1622}};
Kit const kCascade3{25, {}, {{0x1975, kCascade}}, {}};
Kit const kBurnerKit{27, {}, {{0x1B75, kBurner}}, {}};
Kit const kVlf28{28, {0x107}, {{0x1C75, kVlf}, {0x1C79, kVlfCounters}, {0x1C77, kVlfConfiguration}}, {0x1C68}};
Kit const kVlf30{30, {}, {{0x1E75, kVlf}, {0x1E79, kVlfCounters}}, {0x1168}};
Kit const kHvDcKit{35, {}, {{0x2375, kHvDc}, {0x2377, kHvDcConfiguration}}, {0x2361, 0x2392}};
Kit const kCompact{3, {}, {{0x0382, kCompactUNom}, {0x0384, kCompactUInt}, {0x0386, kCompactIInt}},
                   {0x036C, 0x036D, 0x036F, 0x046E}};

InstrumentProfile make(char const* name, char const* description, char const* hardwareVersion,
    unsigned char networkType, int hardware, QList<Kit> const& kits)
{
    InstrumentProfile profile;
    profile.name = QString::fromLatin1(name);
    profile.description = QString::fromLatin1(description);
    profile.hardwareVersion = QString::fromLatin1(hardwareVersion);
    profile.networkType = networkType;
    profile.hardware = hardware;
    for (Kit const& kit : kits) {
        profile.nodes.append({kit.node, kit.versions});
        for (auto const& variable : kit.variables)
            profile.variables.insert(variable.first, variable.second);
        profile.measurements.append(kit.measurements);
    }
    return profile;
}

QList<InstrumentProfile> buildProfiles()
{
    QList<InstrumentProfile> profiles;

    InstrumentProfile full
        = make("nt3-full", "network type 3, hardware 1: every node of the newer generation", "HW 3.2 / FW 7.14", 3, 1,
            {kController3, kPsu3, kHvSource3, kSurgeNew, kInsulationKit, kCascade3, kBurnerKit, kVlf28});
    full.dMeas = true;
    profiles.append(full);

    profiles.append(make("nt3-classic",
        "network type 3, hardware 2: older PSU, surge counters in the calibration record", "HW 2.4 / FW 6.31", 3, 2,
        {kControllerOld, kPsuOldKit, kHvSource3Classic, kSurgeClassic, kInsulationKit, kCascade3, kBurnerKit, kVlf28}));

    InstrumentProfile adapter = make("nt3-vlf-adapter",
        "network type 3, hardware 4: 60 kV / 25 uF adapter, VLF on node 30", "HW 4.1 / FW 7.14", 3, 4,
        {kController3, kPsu3, kHvSource3, kSurgeNew, kInsulationKit, kCascade3, kBurnerKit, kVlf30});
    adapter.adapter60kV25uF = true;
    adapter.adapterHvLevel = 60;
    adapter.adapterHighPower = true;
    profiles.append(adapter);

    InstrumentProfile hvDc7 = make(
        "nt3-hvdc-hw7", "network type 3, hardware 7: HV DC unit", "HW 7.0 / FW 3.08", 3, 7, {kController3, kHvDcKit});
    hvDc7.hvDcControl = true;
    profiles.append(hvDc7);
    InstrumentProfile hvDc12 = make("nt3-hvdc-hw12", "network type 3, hardware 12: HV DC unit", "HW 12.1 / FW 3.12", 3,
        12, {kController3, kHvDcKit});
    hvDc12.hvDcControl = true;
    profiles.append(hvDc12);

    InstrumentProfile nt9
        = make("nt9", "network type 9, hardware 2: VLF instrument with surge counters", "HW 2.6 / FW 5.02", 9, 2,
            {kControllerOld, kPsuOldKit, kHvSourceOld, kSurgeNsur, kCascadeOld, kInsulationKit, kVlf28});
    nt9.adapterHvLevel = 40;
    profiles.append(nt9);

    InstrumentProfile hw11
        = make("nt9-hw11", "network type 9, hardware 11: VLF on node 28 with the adapter", "HW 11.3 / FW 5.20", 9, 11,
            {kControllerOld, kPsuOldKit, kHvSourceOld, kSurgeNsur, kCascadeOld, kInsulationKit, kVlf28});
    hw11.adapter60kV25uF = true;
    hw11.adapterHvLevel = 40;
    profiles.append(hw11);

    profiles.append(make("nt1-compact", "network type 1, hardware 13: compact DC unit", "HW 13.0 / FW 2.45", 1, 13,
        {kControllerOld, kCompact}));
    profiles.append(make("nt0", "network type 0, hardware 3: cascade without surge counters", "HW 3.0 / FW 4.11", 0, 3,
        {kControllerOld, kPsuOldKit, kHvSourceOld, kSurgeVsur, kCascadeOld, kInsulationKit}));
    profiles.append(make("nt2", "network type 2, hardware 14: cascade with surge counters", "HW 14.2 / FW 4.60", 2, 14,
        {kControllerOld, kPsuOldKit, kHvSourceOld, kSurgeVsur, kCascadeOld, kInsulationKit}));
    return profiles;
}

} // namespace

QList<InstrumentProfile> const& InstrumentProfile::all()
{
    static QList<InstrumentProfile> const profiles = buildProfiles();
    return profiles;
}

InstrumentProfile const* InstrumentProfile::find(QString const& name)
{
    for (InstrumentProfile const& profile : all()) {
        if (profile.name == name)
            return &profile;
    }
    return nullptr;
}

QString InstrumentProfile::defaultName()
{
    return all().first().name;
}

void InstrumentProfile::applyToHost() const
{
    HWConfiguration::setHardware(hardware);
    HWConfiguration::setHardwareVersionStr(hardwareVersion);
    HWConfiguration::setHvDcControlEnabled(hvDcControl);
    HWConfiguration::setPruefzusatz60kV_25uF(adapter60kV25uF);
    HWConfiguration::setPruefzusatzHvLevel(adapterHvLevel);
    HWConfiguration::setPruefzusatzHighPower(adapterHighPower);
    NVData::m_NetworkType = networkType;
}
