#include "data/LonCalibrationTypes.h"

#include <QHash>

#include <iterator>

namespace LonCalibrationTypes {

namespace {

// Indexed by CalibrationParameters; an empty name marks a number without a field.
constexpr char const* kCalibrationNames[] = {
    "",                       // 0
    "U-mains Gain",           // 1
    "U-mains Offset",         // 2
    "I-mains Gain",           // 3
    "I-mains Offset",         // 4
    "I-mains Gain (int)",     // 5
    "I-mains Offset (int)",   // 6
    "I-mains Gain (ext)",     // 7
    "I-mains Offset (ext)",   // 8
    "I-iso Gain",             // 9
    "I-iso Offset",           // 10
    "U-nom Offset",           // 11
    "U-nom Gain 80 kV (DC)",  // 12
    "U-nom Gain 40 kV (DC)",  // 13
    "U-nom Gain 32 kV (DC)",  // 14
    "U-nom Gain 8 kV (DC)",   // 15
    "U-nom Gain 2 kV (SUR)",  // 16
    "U-nom Gain BRN (BOOST)", // 17
    "U-nom Gain RES",         // 18
    "U-int Offset",           // 19
    "U-int Gain",             // 20
    "I-int Offset",           // 21
    "I-int Gain",             // 22
    "I-int Comp. 80 kV",      // 23
    "I-int Comp. 40 kV",      // 24
    "I-int Comp. 32 kV",      // 25
    "I-int Comp. 8 kV",       // 26
    "Enable Comp.",           // 27
    "U-ext Offset",           // 28
    "U-ext Gain",             // 29
    "U-max Offset",           // 30
    "U-max Gain",             // 31
    "I-brn lv Gain",          // 32
    "I-brn lv Offset",        // 33
    "I-brn hv Gain",          // 34
    "I-brn hv Offset",        // 35
    "U-brn lv Gain",          // 36
    "U-brn lv Offset",        // 37
    "U-nom neg Gain",         // 38
    "U-nom neg Offset",       // 39
    "U-nom pos Gain",         // 40
    "U-nom pos Offset",       // 41
    "U-out Gain",             // 42
    "U-out Offset",           // 43
    "I-nom Gain",             // 44
    "I-nom Offset",           // 45
    "I-out neg Gain",         // 46
    "I-out neg Offset",       // 47
    "I-out pos Gain",         // 48
    "I-out pos Offset",       // 49
    "VLF start Counter",      // 50
    "VLF cycle Counter",      // 51
    "",                       // 52: the VLF current maximum has no field
    "Surge Counter 2 kV",     // 53
    "Surge Counter 8 kV",     // 54
    "Surge Counter 12 kV",    // 55
    "Surge Counter 16 kV",    // 56
    "Surge Counter 32 kV",    // 57
    "Surge Counter 60 kV",    // 58
    "I-motor Gain",           // 59
    "U-int neg Gain",         // 60
    "U-vlf Gain",             // 61
    "I-int 300mA Gain",       // 62
    "I-int 100mA Gain",       // 63
    "I-int 10mA Gain",        // 64
    "I-int 1mA Gain",         // 65
    "I-int 100uA Gain",       // 66
    "Cascade",                // 67
    "Slim rotor VLF",         // 68
};
static_assert(std::size(kCalibrationNames) == LastCalibrationParameter + 1, "one name per calibration parameter");

constexpr char const* kMeasurementNames[] = {
    "Mains Voltage",           // 0
    "Internal supply Voltage", // 1
    "Mains Current",           // 2
    "Mains Current (int)",     // 3
    "Mains Current (ext)",     // 4
    "R-iso",                   // 5
    "I-iso",                   // 6
    "U-int",                   // 7
    "U-aux",                   // 8
    "U-ext",                   // 9
    "U-ref",                   // 10: burner, cascade and compact dialogs
    "I-int",                   // 11
    "U-ref",                   // 12: VLF dialog
    "U-vlf",                   // 13
    "I-vlf",                   // 14
    "U-brn lv",                // 15
    "I-brn hv",                // 16
    "I-brn lv",                // 17
    "Motor Current",           // 18
};

constexpr char const* kSwitchNames[] = {
    "Enable U-nom Gain",  "Enable U-nom Offset", "Enable U-out Gain",  "Enable U-out Offset",
    "Enable I-nom Gain",  "Enable I-nom Offset", "Enable I-out Gain",  "Enable I-out Offset",
};

constexpr char const* kTestFunctionNames[] = {
    "OVD-HHVS", "OVD-HSUR", "OVD-HSEL", "OVD-HBRN", "OVD-HVCE", "PN-HVCE", "PP-HVCE",
    "DC-MAX",   "U-max",    "OVD-NSUR", "OVD-NVLF", "PN-NVLF",  "PP-NVLF",
};

constexpr int kCounterParameters[] = {VlfStartCounter, VlfCycleCounter,  SurgeCounter2kV,  SurgeCounter8kV,
                                      SurgeCounter12kV, SurgeCounter16kV, SurgeCounter32kV, SurgeCounter60kV};

// The one network type whose fields differ: its HV source keeps the
// compensation values (23 to 27) in its own record, as bytes; elsewhere they
// live in the configuration.
constexpr int kNetworkType3 = 3;

constexpr FieldRange kSignedByte{-128, 127};
constexpr FieldRange kUnsignedByte{0, 255};
constexpr FieldRange kFlag{0, 1};
constexpr FieldRange kUnsigned16{0, 0xFFFF};

struct FieldRangeRow
{
    CalibrationParameters first;
    CalibrationParameters last;
    FieldRange networkType3;
    FieldRange otherNetworkTypes;
};

// Counters travel scaled: the surge counters as ten times the value in 16 bits,
// the VLF cycle counter as a hundred times the value in 32 bits unsigned.
constexpr FieldRangeRow kFieldRanges[] = {
    {UMainsGain, IIntGain, kSignedByte, kSignedByte},
    {IIntComp80kV, IIntComp8kV, kSignedByte, {0, 65500}}, // pS in the configuration
    {EnableComp, EnableComp, kUnsignedByte, kFlag}, // type 3: the node's byte, shown as it comes
    {UExtOffset, IOutPosOffset, kSignedByte, kSignedByte},
    {VlfStartCounter, VlfStartCounter, kUnsigned16, kUnsigned16},
    {VlfCycleCounter, VlfCycleCounter, {0, 0xFFFFFFFFLL / 100}, {0, 0xFFFFFFFFLL / 100}},
    {VlfCurrentMaximum, VlfCurrentMaximum, {0, 0x7FFFFFFF}, {0, 0x7FFFFFFF}}, // read only; handed on as int
    {SurgeCounter2kV, SurgeCounter60kV, {0, 0xFFFF / 10}, {0, 0xFFFF / 10}},
    {IMotorGain, IInt100uAGain, kSignedByte, kSignedByte},
    {Cascade, Cascade, kUnsigned16, kUnsigned16},
    {SlimRotorVlf, SlimRotorVlf, kFlag, kFlag},
};

template <std::size_t N>
QString lookup(char const* const (&names)[N], int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= N)
        return QString();
    return QString::fromLatin1(names[index]);
}

} // namespace

QString calibrationParameterName(CalibrationParameters parameter)
{
    return lookup(kCalibrationNames, parameter);
}

QString calibrationParameterKey(CalibrationParameters parameter)
{
    if (parameter == UNomGain40kV)
        return QStringLiteral("UnomGain40kV");
    return calibrationParameterName(parameter);
}

CalibrationParameters calibrationParameterForKey(QString const& key)
{
    // Built once: the catalogue never changes.
    static QHash<QString, CalibrationParameters> const parameters = [] {
        QHash<QString, CalibrationParameters> table;
        for (int number = FirstCalibrationParameter; number <= LastCalibrationParameter; ++number) {
            auto const parameter = static_cast<CalibrationParameters>(number);
            table.insert(calibrationParameterKey(parameter), parameter);
        }
        return table;
    }();
    return parameters.value(key, CalParamNone);
}

QString measurementParameterName(MeasurementParameters parameter)
{
    return lookup(kMeasurementNames, parameter);
}

QString switchParameterName(SwitchParameters parameter)
{
    return lookup(kSwitchNames, parameter);
}

QString testFunctionName(TestFunctions function)
{
    return lookup(kTestFunctionNames, function);
}

bool isCounterParameter(CalibrationParameters parameter)
{
    for (int counter : kCounterParameters) {
        if (counter == parameter)
            return true;
    }
    return false;
}

FieldRange calibrationFieldRange(CalibrationParameters parameter, int networkType)
{
    for (FieldRangeRow const& row : kFieldRanges) {
        if (parameter >= row.first && parameter <= row.last)
            return networkType == kNetworkType3 ? row.networkType3 : row.otherNetworkTypes;
    }
    return FieldRange{0, -1};
}

bool fitsField(CalibrationParameters parameter, int networkType, long long value)
{
    FieldRange const range = calibrationFieldRange(parameter, networkType);
    return value >= range.minimum && value <= range.maximum;
}

} // namespace LonCalibrationTypes
