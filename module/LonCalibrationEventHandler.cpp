// Intake of LON events: dispatch and decoding of the registered network variables.
#include "module/LonCalibrationEventHandler.h"

#include <cstring>
#include <iterator>

#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/IModuleControl.h"

using namespace LonCalibrationTypes;

namespace {

enum class Route
{
    Calibration,
    Counters,
    Configuration
};

struct Dispatch
{
    unsigned short nvId;
    Route route;
};

// Variables handed on whole to the node that sent them.
constexpr Dispatch kDispatch[] = {
    {0x1275, Route::Calibration},   {0x127B, Route::Calibration}, {0x1375, Route::Calibration},
    {0x1475, Route::Calibration},   {0x1575, Route::Calibration}, {0x1675, Route::Calibration},
    {0x1975, Route::Calibration},   {0x1B75, Route::Calibration}, {0x1C75, Route::Calibration},
    {0x1E75, Route::Calibration},   {0x2375, Route::Calibration}, {0x1479, Route::Counters},
    {0x1C79, Route::Counters},      {0x1E79, Route::Counters},    {0x1C77, Route::Configuration},
    {0x2377, Route::Configuration},
};

// The three variables node 3 sends its calibration in, and where each lands in
// the assembled record: payload length, first byte, valid flag.
struct HvsPart
{
    unsigned short nvId;
    unsigned int length;
    int offset;
    int validFlag;
};

constexpr HvsPart kHvsParts[] = {
    {0x0382, 6, 0, 6},
    {0x0384, 2, 7, 9},
    {0x0386, 2, 10, 12},
};

constexpr unsigned short kInsulation = 0x1622;
constexpr unsigned char kHvsNode = 3;
constexpr uint8_t kRangeBit = 0x02;
constexpr uint16_t kTimes100Bit = 0x4000;

} // namespace

LonCalibrationEventHandler::LonCalibrationEventHandler(IModuleControl* control)
{
    qRegisterMetaType<NVData>("NVData");
    qRegisterMetaType<MeasurementParameters>("LonCalibrationTypes::MeasurementParameters");

    ParameterReceiver::initialize(control);
    if (control != nullptr)
        m_lonManagement = dynamic_cast<ILonManagement*>(control->getModule("ILonManagement"));

    int factor = 100;
    if (ConfigStore* config = getConfig()) {
        if (config->readInt(QStringLiteral("/Software/PSUMonitor/TrafoCorrectionFactor"), &factor) == 0)
            m_trafoCorrectionFactor = factor;
    }
}

LonCalibrationEventHandler::~LonCalibrationEventHandler() = default;

void LonCalibrationEventHandler::nvReceived(unsigned short nvId, NVData const& data)
{
    unsigned char const node = static_cast<unsigned char>(nvId >> 8);

    for (Dispatch const& entry : kDispatch) {
        if (entry.nvId != nvId)
            continue;
        switch (entry.route) {
        case Route::Calibration:
            emit calibrationValuesReceived(node, data);
            break;
        case Route::Counters:
            emit counterValuesReceived(node, data);
            break;
        case Route::Configuration:
            emit configurationValuesReceived(node, data);
            break;
        }
        return;
    }

    for (HvsPart const& part : kHvsParts) {
        if (part.nvId == nvId) {
            assembleHvs(part.length, part.offset, part.validFlag, data);
            return;
        }
    }

    decodeMeasurement(nvId, data);
}

void LonCalibrationEventHandler::assembleHvs(unsigned int length, int offset, int validFlag, NVData const& data)
{
    // A part of any other length is not this node's record: nothing is stored.
    if (data.length() != length)
        return;
    auto* record = reinterpret_cast<unsigned char*>(&m_hvsAssembly);
    std::memcpy(record + offset, data.data(), length);
    record[validFlag] = 1;

    NVData assembled;
    assembled.setCalHVS(m_hvsAssembly);
    emit calibrationValuesReceived(kHvsNode, assembled);
}

qint32 LonCalibrationEventHandler::scaled(qint32 value) const
{
    if (m_trafoCorrectionFactor <= 0)
        return value;
    return static_cast<qint32>(static_cast<qint64>(value) * m_trafoCorrectionFactor / 100);
}

qint32 LonCalibrationEventHandler::inverselyScaled(qint32 value) const
{
    if (m_trafoCorrectionFactor <= 0)
        return value;
    return static_cast<qint32>(static_cast<qint64>(value) * 100 / m_trafoCorrectionFactor);
}

void LonCalibrationEventHandler::emitValue(MeasurementParameters parameter, qint64 value)
{
    emit measurementValueChanged(parameter, value);
}

void LonCalibrationEventHandler::emitVlf(int16_t uRef, int16_t uVlf, int16_t iVlf)
{
    emitValue(URefVlf, -static_cast<qint32>(uRef));
    emitValue(UVlf, -static_cast<qint32>(uVlf));
    // The magnitude stays 16 bits wide: -32768 has no positive partner and stays as it is.
    int16_t const magnitude = iVlf < 0 ? static_cast<int16_t>(-static_cast<int32_t>(iVlf)) : iVlf;
    emitValue(IVlf, magnitude);
}

qint32 LonCalibrationEventHandler::compensatedInternalCurrent(uint16_t raw) const
{
    qint32 current = (raw & kTimes100Bit) != 0 ? static_cast<qint32>(raw & 0x3FFF) * 100
                                               : static_cast<qint32>(static_cast<int16_t>(raw));
    if (getParameter(ParamIntCurrentCompEnable, 1) == 0)
        return current;

    // The capacitive part of the current depends on the voltage range.
    quint32 const range = static_cast<quint32>(getParameter(ParamVoltageRange, 0));
    long long coefficient = 0;
    if (range <= 80)
        coefficient = getParameter(ParamIntCurrentComp8kV, 0);
    else if (HWConfiguration::getHardware() == 13 && range <= 320)
        coefficient = getParameter(ParamIntCurrentComp32kV, 0);
    else
        coefficient = getParameter(ParamIntCurrentComp80kV, 0);

    qint32 const part = static_cast<qint32>(static_cast<qint32>(coefficient) *
                                            static_cast<qint64>(m_lastInternalVoltage) / 100000);
    return static_cast<qint32>(static_cast<quint32>(current) - static_cast<quint32>(part));
}

void LonCalibrationEventHandler::decodeMeasurement(unsigned short nvId, NVData const& data)
{
    switch (nvId) {
    case 0x026A:
    case 0x126A:
        emitValue(MainsVoltage, scaled(data.getShortValue()));
        break;
    case 0x026B:
    case 0x126B:
        // The current is scaled like the voltage here, not inversely.
        emitValue(MainsCurrent, scaled(data.getShortValue()));
        break;
    case 0x1261: {
        NVH_MMEAS const mains = data.getNVH_MMEAS();
        emitValue(MainsVoltage, scaled(mains.voltage));
        emitValue(MainsCurrent, inverselyScaled(mains.current));
        break;
    }
    case 0x1269: {
        NVH_MMEAS_3 const mains = data.getNVH_MMEAS_3();
        emitValue(MainsVoltage, mains.voltage);
        emitValue(MainsCurrentInt, mains.currentInt);
        emitValue(MainsCurrentExt, mains.currentExt);
        emitValue(InternalSupplyVoltage, mains.supplyVoltage);
        break;
    }
    case 0x036C:
    case 0x136C:
        m_lastInternalVoltage = data.getShortValue();
        emitValue(UInt, m_lastInternalVoltage);
        break;
    case 0x036D:
    case 0x136D:
        emitValue(UAux, data.getShortValue());
        break;
    case 0x036F:
    case 0x136F:
        emitValue(IInt, compensatedInternalCurrent(static_cast<uint16_t>(data.getShortValue())));
        break;
    case 0x046E:
    case 0x156E:
        emitValue(UExt, data.getShortValue());
        break;
    case 0x1163:
        emitValue(UExt, data.getNVH_CMEAS().uExt);
        break;
    case 0x1162: {
        NVH_HMEAS const hv = data.getNVH_HMEAS();
        emitValue(URef, hv.uRef);
        emitValue(UInt, hv.uInt);
        emitValue(IInt, (hv.flags & kRangeBit) != 0 ? static_cast<qint32>(hv.iInt) * 100 : hv.iInt);
        break;
    }
    case 0x1164: {
        NVH_BMEAS const burner = data.getNVH_BMEAS();
        emitValue(UBrnLv, burner.uBrnLv);
        emitValue(IBrnHv, burner.iBrnHv);
        emitValue(IBrnLv, burner.iBrnLv);
        break;
    }
    case 0x1165:
    case 0x1166:
        if (m_lonManagement != nullptr && m_lonManagement->hasDMeas()) {
            NVH_DMEAS const vlf = data.getNVH_DMEAS();
            emitVlf(vlf.uRef, vlf.uVlf, vlf.iVlf);
        } else {
            NVH_VMEAS const vlf = data.getNVH_VMEAS();
            emitVlf(vlf.uRef, vlf.uVlf, vlf.iVlf);
        }
        break;
    case 0x1168:
    case 0x1C68: {
        NVS_VMEAS const vlf = data.getNVS_VMEAS();
        emitVlf(vlf.uRef, vlf.uVlf, vlf.iVlf);
        break;
    }
    case kInsulation:
        decodeInsulation(data);
        break;
    case 0x2361: {
        NVH_MMEAS_RHVS const mains = data.getNVH_MMEAS_RHVS();
        emitValue(MainsVoltage, mains.mainsVoltage);
        emitValue(MainsCurrent, mains.mainsCurrent);
        emitValue(MotorCurrent, mains.motorCurrent);
        break;
    }
    case 0x2392: {
        NVH_CMEAS_RHVS const hv = data.getNVH_CMEAS_RHVS();
        emitValue(UInt, hv.uInt);
        emitValue(UAux, hv.uAux);
        emitValue(IInt, static_cast<qint32>(hv.iIntValue) * static_cast<qint32>(hv.iIntRange) / 10);
        break;
    }
    default:
        break;
    }
}

void LonCalibrationEventHandler::decodeInsulation(NVData const& data)
{
    NVH_ISO_MEAS const iso = data.getInsulationResistance();
    bool const range = (iso.flags & kRangeBit) != 0;

    qint64 const resistance = range ? static_cast<qint64>(iso.resistance) : static_cast<qint64>(iso.resistance) * 10000;
    emitValue(RIso, resistance);

    qint32 current = 0;
    if (NVData::m_NetworkType == 3) {
        current = static_cast<int16_t>(iso.current);
        if (range)
            current *= 100;
    } else {
        current = iso.current & 0x3FFF;
        if ((iso.current & kTimes100Bit) != 0)
            current *= 100;
    }
    emitValue(IIso, current);
}
