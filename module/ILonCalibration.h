#pragma once

#include <QString>

#include "host/IModule.h"
#include "host/IModuleMenu.h"

class ILoadFromStickCallback;
class ILonCalibrationDCCallback;
class ITestFacilityModeCallback;
class QDomDocument;
class QObject;

// The LON calibration service as other modules see it; published as "ILonCalibration".
class ILonCalibration : public IModule, public IModuleMenu
{
public:
    // Hooks another module's method (normalised signature) to the insulation dialog's "Start".
    virtual void connectIsoStartMethod(QObject* receiver, char const* method) = 0;
    virtual void setDcCallback(ILonCalibrationDCCallback* callback) = 0;
    virtual void setTestFacilityModeCallback(ITestFacilityModeCallback* callback) = 0;
    virtual void pollAllCalibrationValues(bool enable) = 0;
    virtual void writeAllCalibrationValuesToDom(QDomDocument& document) = 0;
    virtual void registerCallback(ILoadFromStickCallback* callback) = 0;
    virtual void setBurnInModeEnabled(bool enabled) const = 0;
    virtual void slotServicePrint() = 0;
    virtual int getSurgeCounter2kV() const = 0;
    virtual int getSurgeCounter8kV() const = 0;
    virtual int getSurgeCounter12kV() const = 0;
    virtual int getSurgeCounter16kV() const = 0;
    virtual int getSurgeCounter32kV() const = 0;
    virtual int getSurgeCounter60kV() const = 0;
    virtual int getVLFStartCounter() const = 0;
    virtual int getVLFCycleCounter() const = 0;
    virtual int getVLFCurrentMaximum() const = 0;
    virtual void importFileFromStick(QString text) = 0;
};
