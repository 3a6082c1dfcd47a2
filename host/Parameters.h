#pragma once

// Numbers of the host's parameter service.
enum Parameters : int
{
    ParamVlfCalibrationStep = 7,
    ParamIntCurrentComp80kV = 29,
    ParamIntCurrentComp40kV = 30,
    ParamIntCurrentComp32kV = 31,
    ParamIntCurrentComp8kV = 32,
    ParamIntCurrentCompEnable = 33,
    ParamAliveAlarmTest = 37,
    ParamVoltageRange = 40,
    ParamServiceMode = 56,
    ParamPsuOffsetCalibration = 57,
    ParamDcMax = 61
};
