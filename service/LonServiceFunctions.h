#pragma once

#include <QHash>
#include <QPointer>

#include "data/LonCalibrationTypes.h"
#include "host/GUIClient.h"
#include "host/LonTypes.h"

class DialogWindow;
class ILon;
class IModuleControl;
class IParameterControl;
class IStatemachine;
class ITestFacilityModeCallback;
class NumberEdit;
class QWidget;

// Keeps the service record the module writes to node 17 (test functions,
// calibration and relax mode, burn-in, PSU and SCTS calibration flags) and
// offers the "Test Functions" dialog.
class LonServiceFunctions : public GUIClient
{
    Q_OBJECT

public:
    LonServiceFunctions(IModuleControl* control, ILon* lon, IStatemachine* stateMachine);
    ~LonServiceFunctions() override;

    void setTestFacilityModeCallback(ITestFacilityModeCallback* callback);
    void sendServiceRecord();
    void sendUMax();
    void setTestFunction(LonCalibrationTypes::TestFunctions function, bool on);
    bool isTestFunctionOn(LonCalibrationTypes::TestFunctions function) const;
    bool switchOnDcMax();
    NumberEdit* addTestFunctionSwitch(QWidget* parent, int& row, int x, int width,
                                      LonCalibrationTypes::TestFunctions function, long long value);
    void showSynchronizingDialog();

    // The record operations the module switches.
    void switchCalibration(bool on);
    void switchRelax(bool on);
    void setBurnInMode(bool on);
    void setPsuCalibrationFlags(bool bEnabled, bool bOffsetCalibration);
    void setSctsCalibrationFlags(bool bCalCurrent, bool bCalVoltage);
    bool isCalibrationOn() const;
    bool isRelaxModeOn() const;

    bool hasNewGeneration() const { return m_newGeneration; }
    bool hasOldGeneration() const { return m_oldGeneration; }
    NVS_SERVICE serviceRecord() const { return m_service; }
    unsigned char serviceByte() const { return m_serviceByte; }
    NVH_SERVICE_3 serviceRecord3() const { return m_service3; }
    unsigned short uMax() const { return m_uMax; }
    DialogWindow* dialog() const;
    NumberEdit* testFunctionEdit(LonCalibrationTypes::TestFunctions function) const;

public slots:
    virtual void openTestFunctionsDialog();
    void changeTestFunctions(NumberEdit* pNumberEdit);
    void closeDialogWindow();

private:
    // Puts a new dialog into the one dialog slot, closing the one it replaces.
    DialogWindow* replaceDialog(QWidget* parent);
    void switchOffDcMax(bool wasOn);
    bool isDcMaxOn() const;

    ILon* m_lon;
    IParameterControl* m_parameters = nullptr;
    IStatemachine* m_stateMachine;
    ITestFacilityModeCallback* m_testFacilityCallback = nullptr;
    bool m_newGeneration = false;
    bool m_oldGeneration = false;
    QHash<LonCalibrationTypes::TestFunctions, NumberEdit*> m_edits;
    QPointer<DialogWindow> m_dialog;
    NVS_SERVICE m_service{};
    unsigned char m_serviceByte = 0;
    NVH_SERVICE_3 m_service3{};
    unsigned short m_uMax = 0;
};
