#pragma once

#include <QLockFile>
#include <QObject>
#include <QScopedPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "app/CalibrationSession.h"
#include "app/DcSource.h"
#include "app/IsoStartReceiver.h"
#include "app/ModuleJournal.h"
#include "app/PluginLoader.h"
#include "app/PrintOutput.h"
#include "app/StickModule.h"
#include "app/TestFacilityReceiver.h"
#include "host/ModuleRegistry.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"

class ILonCalibration;
class IModule;
class MenuStrip;

// The stand-in host the workbench runs the plug-in in: registry, services, the
// simulated instrument with its node memory file, and the module's lifecycle
// driven the way the instrument host drives it.
class HostEnvironment : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString pluginFile;
        QString instrumentFile;
        QString configFile;
        QString logFile;
        // Faults of the simulated instrument, as LonSimulator::Faults::parse reads them.
        QString faults;
        // The folder that plays the stick, and the one prints stay in.
        QString stickDirectory;
        QString outputDirectory;
        // Stored in the configuration store before the module starts.
        QString serialNumber;
        // Writes reach the node memory file shortly after they happen (window mode).
        bool saveAfterWrites = false;
        // Named in the calibration sessions' journals; empty: the login name.
        QString user;
    };

    explicit HostEnvironment(InstrumentProfile const& profile, QObject* parent = nullptr);
    ~HostEnvironment() override;

    // Files, services and the instrument's memory. False with errorString().
    bool setUp(Settings const& settings);
    // Identity, suitability, initialize, start and the "/lon" page on the
    // strip, the way the instrument host does it. False with errorString().
    bool startModule(MenuStrip* menu);
    // Leaves the page, shuts the module down and keeps the node memory; false
    // with errorString() when the node memory could not be written.
    bool stop();
    QString errorString() const { return m_error; }

    // What start() did, one line per step.
    QStringList lifecycleReport() const { return m_report; }

    // Writes the node memory to the instrument file; false with errorString().
    bool saveInstrument();

    // Failures of the files the host writes on its own (configuration store,
    // service log, node memory saved after a write) since the last call.
    QStringList takeFileFailures();
    // Whether a line can be appended to the service log now; false with errorString().
    bool checkServiceLog();
    // Window mode: an unwritable service log stops every write to the instrument.
    bool guardWritesByServiceLog();

    ILonCalibration* module() const { return m_calibration; }
    InstrumentProfile const& profile() const { return m_profile; }
    QString instrumentFile() const { return m_settings.instrumentFile; }
    LonSimulator& lon() { return m_lon; }
    ParameterService& parameters() { return m_parameters; }
    StateMachine& stateMachine() { return m_stateMachine; }
    PrintService& print() { return m_print; }
    SystemService& system() { return m_system; }
    // The other modules of the instrument, as the bench plays them.
    ModuleJournal& journal() { return m_journal; }
    StickModule& stick() { return m_stick; }
    DcSource& dcSource() { return m_dcSource; }
    IsoStartReceiver& isoStart() { return m_isoStart; }
    PrintOutput& printOutput() { return m_printOutput; }
    CalibrationSession& session() { return m_session; }
    // The serial number in the configuration store; empty when none.
    QString serialNumber() const;

    // Default files in the user's data folder.
    static QString defaultInstrumentFile(QString const& profileName);
    static QString defaultConfigFile();
    static QString defaultLogFile();
    static QString defaultStickDirectory();
    static QString defaultOutputDirectory();

    // Runs the deferred deletions that deleteLater scheduled.
    static void flushDeferredDeletes();

signals:
    // A file the host writes on its own could not be written; the message names it.
    void fileFailed(QString const& message);

private:
    void reportFileFailure(QString const& message);
    // The instrument takes no changes until `until` (for example "the log can be written").
    void refuseWrites(QString const& message, QString const& until);
    void refuseLogWrites(QString const& message);
    bool lockInstrument();
    bool checkOutputFile(QString const& file, char const* what);
    bool fail(QString const& message);
    bool prepareInstrument();
    bool checkDependencies();
    void scheduleSave(LonSimulator::Record const& record);
    bool storeSerialNumber(QString const& serial);
    // Hands the module the other modules' callbacks; again after each state
    // change, since a network type 0 instrument makes its nodes only then.
    void registerCallbacks();

    InstrumentProfile m_profile;
    Settings m_settings;
    QString m_error;
    QStringList m_report;
    ModuleRegistry m_registry;
    LonSimulator m_lon;
    ParameterService m_parameters;
    StateMachine m_stateMachine;
    PrintService m_print;
    SystemService m_system;
    ModuleJournal m_journal;
    StickModule m_stick;
    DcSource m_dcSource;
    IsoStartReceiver m_isoStart;
    TestFacilityReceiver m_testFacility;
    PrintOutput m_printOutput;
    CalibrationSession m_session;
    QScopedPointer<PluginLoader> m_loader;
    QScopedPointer<IModule> m_module;
    ILonCalibration* m_calibration = nullptr;
    MenuStrip* m_menu = nullptr;
    bool m_started = false;
    QTimer m_saveTimer;
    QScopedPointer<QLockFile> m_lock;
    QStringList m_fileFailures;
};
