#pragma once

#include <QAbstractButton>
#include <QHash>
#include <QMap>
#include <QSharedPointer>
#include <QVariant>

#include "data/LonCalibrationTypes.h"
#include "host/DialogWindow.h"
#include "host/GUIClient.h"
#include "host/IPrintResponse.h"
#include "host/ISegment.h"
#include "host/NVData.h"
#include "host/ParameterReceiver.h"
#include "host/StateEvent.h"
#include "module/DeferredOwner.h"
#include "module/ILonCalibration.h"
#include "service/LonAlarmTests.h"
#include "service/LonServiceFunctions.h"

class ILon;
class IMenu;
class IPrint;
class IStatemachine;
class LonCalibrationEventHandler;
class NodeLonCalibrationBase;

// The LON calibration module: lifecycle, service menu and calibration mode,
// value store, and the calibration records. The implementation is split by
// concern: module/LonCalibration.cpp (lifecycle), data/LonCalibrationStore.cpp
// (value store and services), records/ (export, import, information sheet).
class LonCalibration : public GUIClient,
                       public ILonCalibration,
                       public ParameterReceiver,
                       public StateEvent,
                       public IPrintResponse
{
    Q_OBJECT

public:
    using NodeTable = QHash<unsigned char, QSharedPointer<NodeLonCalibrationBase>>;

    LonCalibration();
    ~LonCalibration() override;

    // IModule
    QString getName() const override;
    unsigned int getVersion() const override;
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl* control) override;
    void startModule() override;
    void shutdownModule() override;
    bool isConfigurationSuitable() override;

    // IModuleMenu
    MenuResult createMenu(QString const& path, UserModes mode, IMenu* menu, bool flag) override;
    void enterMenu(QString const& path, UserModes mode, IMenu* menu) override;
    void leaveMenu(QString const& path) override;
    void destroyMenu(QString const& path) override;

    // ILonCalibration
    void connectIsoStartMethod(QObject* receiver, char const* method) override;
    void setDcCallback(ILonCalibrationDCCallback* callback) override;
    void setTestFacilityModeCallback(ITestFacilityModeCallback* callback) override;
    void pollAllCalibrationValues(bool enable) override;
    void writeAllCalibrationValuesToDom(QDomDocument& document) override;
    void registerCallback(ILoadFromStickCallback* callback) override;
    void setBurnInModeEnabled(bool enabled) const override;
    int getSurgeCounter2kV() const override;
    int getSurgeCounter8kV() const override;
    int getSurgeCounter12kV() const override;
    int getSurgeCounter16kV() const override;
    int getSurgeCounter32kV() const override;
    int getSurgeCounter60kV() const override;
    int getVLFStartCounter() const override;
    int getVLFCycleCounter() const override;
    int getVLFCurrentMaximum() const override;
    void importFileFromStick(QString text) override;

    // IPrintResponse
    bool completeProtocol(IDocument* document, QString const& name) override;
    void printFinished(QString const& name) override;
    Form createForm(QString const& name) override;

    // StateEvent, ParameterReceiver
    void changedState(NVT_FU_STATE state) override;
    void enabledService(bool enabled) override;

    // Value store: routes a parameter to the node object that holds it.
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid = nullptr) const;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value);
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const;
    long long getValue(LonCalibrationTypes::CalibrationParameters parameter) const;
    bool isCalibrationOn() const;
    bool isRelaxModeOn() const;

    // Maps a node number to the node table's key and lets that dialog write its data.
    void sendCalibUpdate(char node);

    // For the host and tests: what the module currently holds.
    NodeTable nodeTable() const { return m_nodes; }
    LonServiceFunctions* testFunctions() const { return m_testFunctions.get(); }
    LonAlarmTests* alarmTests() const { return m_alarmTests.get(); }
    IMenu* currentMenu() const { return m_menu; }
    DialogWindow* infoDialog() const { return m_infoDialog.get(); }
    DialogWindow* printDialog() const { return m_printDialog.get(); }
    QMap<int, long long> loadedValues() const { return m_loadedValues; }
    bool isInitializationPending() const { return m_initializationPending; }

    Q_INVOKABLE void Prepared(QVariant oldState);

public slots:
    void slotServicePrint() override;

private slots:
    void calibrationInfo(bool bServiceMode = false);
    void slotToggleCalibrationLon(ToggleStates state);
    void slotToggleRelax(ToggleStates state);
    void cleanUp();
    void slotLoadFromStick();
    void slotLoadCalibrationValueStart();
    void slotLoadCalibrationValueConfirm();
    void slotLoadCalibrationValueSkip();
    void slotPrint();
    void calibrationValuesReceived(unsigned char node, NVData const& data);
    void counterValuesReceived(unsigned char node, NVData const& data);
    void configurationValuesReceived(unsigned char node, NVData const& data);
    void setMeasurementValue(LonCalibrationTypes::MeasurementParameters key, qint64 iValue);
    void enableLonModuleStatus(bool bEnable);
    void setPsuCalibrationFlags(bool bEnabled, bool bOffsetCalibration);
    void setSctsCalibrationFlags(bool bCalCurrent, bool bCalVoltage);
    void closePrintDialog();

private:
    // Tests place node objects of their own in the node table.
    friend class LonCalibrationTestAccess;

    void performCalibrationInitialization();
    void closeDialogs();
    void initLonCalibrationData();
    void updateMenuForState(NVT_FU_STATE state);
    static bool hvDcConfigurationAllowed(int state);
    bool hvDcConfigurationAllowed() const;
    bool isServiceEnabled() const;
    bool showNextCalibrationValue();
    void showPrintDialog();
    void showPrintFailedDialog(QString const& text);
    // Enables the node buttons (positions 3 to 8) for the calibration state e.
    void enableNodeButtons(bool e);
    // cleanUp() after `ms`, on a timer the module owns, so shutdown stops it.
    void scheduleCleanUp(int ms);

    IModuleControl* m_control = nullptr;
    ILon* m_lon = nullptr;
    IMenu* m_menu = nullptr;
    IPrint* m_print = nullptr;
    IStatemachine* m_stateMachine = nullptr;
    QSharedPointer<LonCalibrationEventHandler> m_eventHandler;
    NodeTable m_nodes;
    DeferredOwner<LonServiceFunctions> m_testFunctions;
    DeferredOwner<LonAlarmTests> m_alarmTests;
    DeferredOwner<DialogWindow> m_infoDialog;
    DeferredOwner<DialogWindow> m_printDialog;
    DeferredOwner<QAbstractButton> m_acceptButton;
    DeferredOwner<QAbstractButton> m_rejectButton;
    bool m_servicePrint = false;
    ILoadFromStickCallback* m_loadCallback = nullptr;
    ITestFacilityModeCallback* m_testFacilityCallback = nullptr;
    QMap<int, long long> m_loadedValues;
    bool m_initializationPending = false;
    // Parent of the pending clean-up timers.
    QObject m_cleanUpTimers;
};
