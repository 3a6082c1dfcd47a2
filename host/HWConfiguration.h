#pragma once

#include <QString>

// The instrument's hardware variant and fitted adapters. Answers do not change
// while modules run; the setters are for the host application and tests.
class HWConfiguration
{
public:
    static int getHardware();
    static bool isHvDcControlEnabled();
    static QString getHardwareVersionStr();
    static int pruefzusatzHvLevel();
    static bool isPruefzusatzHighPower();
    static bool hasPruefzusatz60kV_25uF();

    static void setHardware(int hardware);
    static void setHvDcControlEnabled(bool enabled);
    static void setHardwareVersionStr(QString const& version);
    static void setPruefzusatzHvLevel(int level);
    static void setPruefzusatzHighPower(bool highPower);
    static void setPruefzusatz60kV_25uF(bool fitted);
    static void reset();
};
