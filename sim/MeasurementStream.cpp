#include "sim/MeasurementStream.h"

#include <QtMath>

#include "host/NVData.h"

namespace {

// A small deterministic wobble: a few parts per thousand of the value.
qint16 around(int value, quint64 tick, int spread)
{
    double const phase = static_cast<double>(tick % 360) * M_PI / 18.0;
    return static_cast<qint16>(value + static_cast<int>(spread * qSin(phase)));
}

} // namespace

QByteArray MeasurementStream::payload(unsigned short nvId, quint64 tick)
{
    NVData data;
    switch (nvId) {
    case 0x026A:
    case 0x126A:
        data.setShortValue(around(2300, tick, 15));  // 230.0 V
        break;
    case 0x026B:
    case 0x126B:
        data.setShortValue(around(180, tick, 4));  // 1.80 A
        break;
    case 0x1261:
        data.setNVH_MMEAS({0, around(2300, tick, 15), around(180, tick, 4)});
        break;
    case 0x1269:
        data.setNVH_MMEAS_3({0, around(2300, tick, 15), around(120, tick, 3), around(60, tick, 2), 240});
        break;
    case 0x036C:
    case 0x136C:
        data.setShortValue(around(3200, tick, 20));  // 32.00 kV
        break;
    case 0x036D:
    case 0x136D:
        data.setShortValue(around(150, tick, 2));
        break;
    case 0x036F:
    case 0x136F:
        data.setShortValue(around(850, tick, 10));  // 850 µA
        break;
    case 0x046E:
    case 0x156E:
        data.setShortValue(around(3180, tick, 20));
        break;
    case 0x1162:
        data.setNVH_HMEAS({0, around(3210, tick, 10), around(3200, tick, 20), around(150, tick, 2), around(850, tick, 10)});
        break;
    case 0x1163:
        data.setNVH_CMEAS({0, around(3180, tick, 20)});
        break;
    case 0x1164:
        data.setNVH_BMEAS({0, 0, around(400, tick, 5), around(120, tick, 3), around(1500, tick, 20)});
        break;
    case 0x1165:
    case 0x1166:
        data.setNVH_VMEAS({0, 0, around(-2800, tick, 10), around(-2790, tick, 20), around(-450, tick, 10)});
        break;
    case 0x1168:
    case 0x1C68:
        data.setNVS_VMEAS({0, 0, around(-2800, tick, 10), around(-2790, tick, 20), around(-450, tick, 10)});
        break;
    case 0x1622:
        // Range bit set: the resistance is in kilo-ohm and the current in units of 100 nA.
        data.setInsulationResistance({2, around(5000, tick, 50), static_cast<quint16>(around(12, tick, 1))});
        break;
    case 0x2361:
        data.setNVH_MMEAS_RHVS({around(2300, tick, 15), around(180, tick, 4), around(900, tick, 10)});
        break;
    case 0x2392:
        data.setNVH_CMEAS_RHVS({0, around(320, tick, 2), around(85, tick, 2), 100, {0, 0}, around(15, tick, 1)});
        break;
    default:
        return QByteArray();
    }
    return data.bytes();
}
