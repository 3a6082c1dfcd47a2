#pragma once

#include <QMetaType>
#include <QString>

// The parameter catalogue: every value the module reads from, shows for or
// writes to a LON node, by number. The numbers are part of the module's public
// interface and of the exported calibration document.
namespace LonCalibrationTypes {

enum CalibrationParameters : int
{
    CalParamNone = 0,
    UMainsGain = 1,
    UMainsOffset = 2,
    IMainsGain = 3,
    IMainsOffset = 4,
    IMainsGainInt = 5,
    IMainsOffsetInt = 6,
    IMainsGainExt = 7,
    IMainsOffsetExt = 8,
    IIsoGain = 9,
    IIsoOffset = 10,
    UNomOffset = 11,
    UNomGain80kV = 12,
    UNomGain40kV = 13,
    UNomGain32kV = 14,
    UNomGain8kV = 15,
    UNomGain2kV = 16,
    UNomGainBrn = 17,
    UNomGainRes = 18,
    UIntOffset = 19,
    UIntGain = 20,
    IIntOffset = 21,
    IIntGain = 22,
    IIntComp80kV = 23,
    IIntComp40kV = 24,
    IIntComp32kV = 25,
    IIntComp8kV = 26,
    EnableComp = 27,
    UExtOffset = 28,
    UExtGain = 29,
    UMaxOffset = 30,
    UMaxGain = 31,
    IBrnLvGain = 32,
    IBrnLvOffset = 33,
    IBrnHvGain = 34,
    IBrnHvOffset = 35,
    UBrnLvGain = 36,
    UBrnLvOffset = 37,
    UNomNegGain = 38,
    UNomNegOffset = 39,
    UNomPosGain = 40,
    UNomPosOffset = 41,
    UOutGain = 42,
    UOutOffset = 43,
    INomGain = 44,
    INomOffset = 45,
    IOutNegGain = 46,
    IOutNegOffset = 47,
    IOutPosGain = 48,
    IOutPosOffset = 49,
    VlfStartCounter = 50,
    VlfCycleCounter = 51,
    VlfCurrentMaximum = 52,
    SurgeCounter2kV = 53,
    SurgeCounter8kV = 54,
    SurgeCounter12kV = 55,
    SurgeCounter16kV = 56,
    SurgeCounter32kV = 57,
    SurgeCounter60kV = 58,
    IMotorGain = 59,
    UIntNegGain = 60,
    UVlfGain = 61,
    IInt300mAGain = 62,
    IInt100mAGain = 63,
    IInt10mAGain = 64,
    IInt1mAGain = 65,
    IInt100uAGain = 66,
    Cascade = 67,
    SlimRotorVlf = 68,

    FirstCalibrationParameter = UMainsGain,
    LastCalibrationParameter = SlimRotorVlf
};

enum MeasurementParameters : int
{
    MainsVoltage = 0,
    InternalSupplyVoltage = 1,
    MainsCurrent = 2,
    MainsCurrentInt = 3,
    MainsCurrentExt = 4,
    RIso = 5,
    IIso = 6,
    UInt = 7,
    UAux = 8,
    UExt = 9,
    URef = 10,
    IInt = 11,
    URefVlf = 12,
    UVlf = 13,
    IVlf = 14,
    UBrnLv = 15,
    IBrnHv = 16,
    IBrnLv = 17,
    MotorCurrent = 18
};

enum SwitchParameters : int
{
    EnableUNomGain = 0,
    EnableUNomOffset = 1,
    EnableUOutGain = 2,
    EnableUOutOffset = 3,
    EnableINomGain = 4,
    EnableINomOffset = 5,
    EnableIOutGain = 6,
    EnableIOutOffset = 7
};

enum TestFunctions : int
{
    OvdHhvs = 0,
    OvdHsur = 1,
    OvdHsel = 2,
    OvdHbrn = 3,
    OvdHvce = 4,
    PnHvce = 5,
    PpHvce = 6,
    DcMax = 7,
    UMax = 8,
    OvdNsur = 9,
    OvdNvlf = 10,
    PnNvlf = 11,
    PpNvlf = 12
};

enum CalibrationModes : int
{
    CalibrationModeOff = 0,
    CalibrationModeCounters = 1,
    CalibrationModeFull = 2
};

// Display name; empty for 0, 52 and numbers outside 1..68.
QString calibrationParameterName(CalibrationParameters parameter);
// Key in the calibration document: the display name, except "UnomGain40kV" for 13.
QString calibrationParameterKey(CalibrationParameters parameter);
// The parameter exported under the key; CalParamNone when no parameter has it.
// The empty key is a parameter's too (the current maximum's).
CalibrationParameters calibrationParameterForKey(QString const& key);
QString measurementParameterName(MeasurementParameters parameter);
QString switchParameterName(SwitchParameters parameter);
QString testFunctionName(TestFunctions function);
// Counters may be edited in calibration mode 1 as well.
bool isCounterParameter(CalibrationParameters parameter);

struct FieldRange
{
    long long minimum;
    long long maximum;
};
// The values a parameter's field on the node (or in the configuration) can hold;
// for a number outside 1..68 an empty range (minimum above maximum).
FieldRange calibrationFieldRange(CalibrationParameters parameter, int networkType);
bool fitsField(CalibrationParameters parameter, int networkType, long long value);

} // namespace LonCalibrationTypes

Q_DECLARE_METATYPE(LonCalibrationTypes::MeasurementParameters)
