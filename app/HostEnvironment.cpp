#include "app/HostEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "host/AtomicFile.h"
#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/IModule.h"
#include "host/IModuleMenu.h"
#include "host/LoggingCtrl.h"
#include "host/MenuStrip.h"
#include "host/NVData.h"
#include "host/Parameters.h"
#include "module/ILonCalibration.h"

namespace {

QString const kMenuPath = QStringLiteral("/lon");
QString const kSerialNumberKey = QStringLiteral("/Software/Authentication/SerialNumber");

// The bench is a service bench: the service user's menu and service mode.
constexpr long long kServiceModeOn = 1;
// Past the state in which a network type 0 instrument holds the node set-up back.
constexpr NVT_FU_STATE kStartState = 2;
// Writes come in bursts (a dialog's 200 ms send); one save after the burst.
constexpr int kSaveDelayMs = 500;

QString dataFile(QString const& name)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(name);
}

bool ensureFolderOf(QString const& file)
{
    return QDir().mkpath(QFileInfo(file).absolutePath());
}

} // namespace

HostEnvironment::HostEnvironment(InstrumentProfile const& profile, QObject* parent)
    : QObject(parent)
    , m_profile(profile)
    , m_stick(&m_journal)
    , m_dcSource(&m_stateMachine, &m_journal)
    , m_isoStart(&m_journal)
    , m_testFacility(&m_journal)
    , m_printOutput(&m_print, &m_system, &m_journal)
    , m_session(*this)
{
    qRegisterMetaType<LonSimulator::Record>("LonSimulator::Record");
    m_registry.registerModule("ILon", &m_lon);
    m_registry.registerModule("ILonManagement", &m_lon);
    m_registry.registerModule("IParameterControl", &m_parameters);
    m_registry.registerModule("IStatemachine", &m_stateMachine);
    m_registry.registerModule("IPrint", &m_print);
    m_registry.registerModule("ISystem", &m_system);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_system, &SystemService::handlingFailed, this, [this](QStringList const& files) {
        reportFileFailure(QStringLiteral("cannot copy %1 to the stick folder %2")
                              .arg(files.join(QStringLiteral(", ")), m_system.stickDirectory()));
    });
    connect(&m_saveTimer, &QTimer::timeout, this, [this] {
        if (!saveInstrument())
            reportFileFailure(m_error);
    });
}

HostEnvironment::~HostEnvironment()
{
    stop();
}

QString HostEnvironment::defaultInstrumentFile(QString const& profileName)
{
    return dataFile(QStringLiteral("instruments/%1.json").arg(profileName));
}

QString HostEnvironment::defaultConfigFile()
{
    return dataFile(QStringLiteral("config.ini"));
}

QString HostEnvironment::defaultLogFile()
{
    return dataFile(QStringLiteral("service.log"));
}

QString HostEnvironment::defaultStickDirectory()
{
    return dataFile(QStringLiteral("stick"));
}

QString HostEnvironment::defaultOutputDirectory()
{
    return dataFile(QStringLiteral("prints"));
}

void HostEnvironment::flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool HostEnvironment::fail(QString const& message)
{
    m_error = message;
    return false;
}

bool HostEnvironment::setUp(Settings const& settings)
{
    m_settings = settings;
    if (m_settings.instrumentFile.isEmpty())
        m_settings.instrumentFile = defaultInstrumentFile(m_profile.name);
    if (m_settings.configFile.isEmpty())
        m_settings.configFile = defaultConfigFile();
    if (m_settings.logFile.isEmpty())
        m_settings.logFile = defaultLogFile();
    if (m_settings.pluginFile.isEmpty())
        m_settings.pluginFile = PluginLoader::defaultPath();
    if (m_settings.stickDirectory.isEmpty())
        m_settings.stickDirectory = defaultStickDirectory();
    if (m_settings.outputDirectory.isEmpty())
        m_settings.outputDirectory = defaultOutputDirectory();

    if (!ensureFolderOf(m_settings.configFile) || !ensureFolderOf(m_settings.logFile))
        return fail(
            QStringLiteral("cannot create the folder of %1 or %2").arg(m_settings.configFile, m_settings.logFile));
    if (!ensureFolderOf(m_settings.instrumentFile))
        return fail(QStringLiteral("cannot create the folder of %1").arg(m_settings.instrumentFile));
    if (!checkOutputFile(m_settings.configFile, "configuration store") ||
        !checkOutputFile(m_settings.logFile, "service log") || !checkOutputFile(m_settings.instrumentFile, "node memory"))
        return false;
    // Two benches on one instrument would overwrite each other's writes.
    if (!lockInstrument())
        return false;
    ConfigStore::setFailureHandler([this](QString const& message) { reportFileFailure(message); });
    ConfigStore::setFilePath(m_settings.configFile);
    getLogger()->setLogFile(m_settings.logFile);
    connect(getLogger(), &LoggingCtrl::writeFailed, this, &HostEnvironment::refuseLogWrites, Qt::UniqueConnection);
    // Queued: a journal line of a write fails while the simulator is mid-send.
    connect(
        &m_session, &CalibrationSession::journalFailed, this,
        [this](QString const& message) { refuseWrites(message, QStringLiteral("the session journal can be written")); },
        Qt::QueuedConnection);
    if (!m_settings.user.isEmpty())
        m_session.setUser(m_settings.user);

    if (!m_settings.serialNumber.isEmpty() && !storeSerialNumber(m_settings.serialNumber))
        return false;

    QString outputError;
    if (!m_printOutput.setDirectory(m_settings.outputDirectory, &outputError))
        return fail(outputError);
    QFileInfo const stick(m_settings.stickDirectory);
    if ((stick.exists() && !stick.isDir()) || !QDir().mkpath(stick.absoluteFilePath()))
        return fail(QStringLiteral("cannot create the stick folder %1").arg(stick.absoluteFilePath()));
    m_system.setStickDirectory(stick.absoluteFilePath());
    m_stick.setDirectory(stick.absoluteFilePath());

    m_profile.applyToHost();
    m_lon.applyProfile(m_profile);
    if (!prepareInstrument())
        return false;
    if (!m_settings.faults.isEmpty()) {
        LonSimulator::Faults faults;
        QString error;
        if (!LonSimulator::Faults::parse(m_settings.faults, &faults, &error))
            return fail(QStringLiteral("--faults: %1").arg(error));
        m_lon.setFaults(faults);
    }
    m_lon.setAutoAnswer(true);
    m_parameters.setParameter(ParamServiceMode, kServiceModeOn);
    m_stateMachine.setState(kStartState);
    return true;
}

bool HostEnvironment::startModule(MenuStrip* menu)
{
    m_loader.reset(new PluginLoader(m_settings.pluginFile));
    if (!m_loader->load())
        return fail(QStringLiteral("cannot load the plug-in: %1").arg(m_loader->errorString()));
    m_module.reset(m_loader->instantiate());
    if (!m_module)
        return fail(QStringLiteral("module_instantiate of %1 returned no module").arg(m_loader->path()));
    m_calibration = dynamic_cast<ILonCalibration*>(m_module.data());
    if (m_calibration == nullptr)
        return fail(QStringLiteral("%1 is not the LON calibration module").arg(m_loader->path()));

    m_report << QStringLiteral("plug-in     %1").arg(m_loader->path());
    m_report
        << QStringLiteral("module      %1, version 0x%2").arg(m_module->getName()).arg(m_module->getVersion(), 0, 16);
    checkDependencies();
    m_report << QStringLiteral("instrument  %1: network type %2, hardware %3, %4 nodes")
                    .arg(m_profile.name)
                    .arg(NVData::m_NetworkType)
                    .arg(HWConfiguration::getHardware())
                    .arg(m_lon.getNodeList().size());
    m_report << QStringLiteral("memory      %1").arg(m_settings.instrumentFile);
    m_report << QStringLiteral("stick       %1").arg(m_stick.directory());
    m_report << QStringLiteral("prints      %1").arg(m_printOutput.directory());

    if (!m_module->isConfigurationSuitable())
        return fail(QStringLiteral("the module does not suit instrument '%1' (hardware %2, network type %3)")
                        .arg(m_profile.name)
                        .arg(HWConfiguration::getHardware())
                        .arg(NVData::m_NetworkType));
    m_report << QStringLiteral("suitable    yes");

    if (!m_module->initialize(&m_registry)) {
        ModuleError const* error = m_module->getErrorStructure();
        return fail(
            QStringLiteral("the module failed to initialize%1")
                .arg(error != nullptr && !error->text.isEmpty() ? QStringLiteral(": ") + error->text : QString()));
    }
    m_started = true;
    m_report << QStringLiteral("initialize  ok, %1 network variables registered").arg(m_lon.registrations().size());
    QString readyMessage;
    if (!m_module->initializeReady(readyMessage))
        m_report << QStringLiteral("not ready   %1").arg(readyMessage);

    m_module->startModule();
    m_module->moduleStarted();
    m_module->allModulesStarted();
    m_report << QStringLiteral("start       ok, %1 polls sent").arg(m_lon.polls().size());

    m_stick.setModule(m_calibration);
    registerCallbacks();
    connect(
        &m_stateMachine, &StateMachine::stateChanged, this, &HostEnvironment::registerCallbacks, Qt::UniqueConnection);

    m_menu = menu;
    if (m_menu != nullptr) {
        MenuResult const result = m_calibration->createMenu(kMenuPath, UserModeService, m_menu, false);
        if (result.first != 1)
            return fail(QStringLiteral("the module built no \"/lon\" menu page"));
        m_calibration->enterMenu(kMenuPath, UserModeService, m_menu);
        m_report << QStringLiteral("menu        /lon with %1 segments").arg(m_menu->positions().size());
    }

    if (m_settings.saveAfterWrites)
        connect(&m_lon, &LonSimulator::recorded, this, &HostEnvironment::scheduleSave, Qt::QueuedConnection);
    m_session.attach();
    return true;
}

void HostEnvironment::registerCallbacks()
{
    if (m_calibration == nullptr)
        return;
    m_calibration->registerCallback(&m_stick);
    m_calibration->setDcCallback(&m_dcSource);
    m_calibration->connectIsoStartMethod(&m_isoStart, IsoStartReceiver::Method);
    m_calibration->setTestFacilityModeCallback(&m_testFacility);
}

bool HostEnvironment::storeSerialNumber(QString const& serial)
{
    ConfigStore* config = getConfig();
    if (config == nullptr)
        return fail(QStringLiteral("there is no configuration store for the serial number"));
    config->writeString(kSerialNumberKey, serial);
    config->save();
    if (config->lastSaveFailed())
        return fail(QStringLiteral("cannot store the serial number: %1").arg(config->lastError()));
    return true;
}

bool HostEnvironment::checkOutputFile(QString const& file, char const* what)
{
    QFileInfo const info(file);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("the %1 %2 is not a regular file").arg(QLatin1String(what), file));
    return true;
}

bool HostEnvironment::lockInstrument()
{
    m_lock.reset(new QLockFile(m_settings.instrumentFile + QStringLiteral(".lock")));
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    QString holder = QStringLiteral("another process");
    if (m_lock->error() == QLockFile::LockFailedError && m_lock->getLockInfo(&pid, &host, &application))
        holder = QStringLiteral("%1 (process %2 on %3)").arg(application.isEmpty() ? QStringLiteral("a program") : application)
                     .arg(pid)
                     .arg(host);
    else if (m_lock->error() != QLockFile::LockFailedError)
        holder = QString();
    m_lock.reset();
    if (holder.isEmpty())
        return fail(QStringLiteral("cannot lock instrument file %1: cannot write %1.lock").arg(m_settings.instrumentFile));
    return fail(QStringLiteral("instrument file %1 is in use by %2").arg(m_settings.instrumentFile, holder));
}

void HostEnvironment::reportFileFailure(QString const& message)
{
    m_fileFailures.append(message);
    emit fileFailed(message);
}

// Without its audit trail the instrument takes no further change.
void HostEnvironment::refuseWrites(QString const& message, QString const& until)
{
    LonSimulator::Faults faults = m_lon.faults();
    faults.failWrites = true;
    m_lon.setFaults(faults);
    reportFileFailure(QStringLiteral("%1; the instrument takes no changes until %2").arg(message, until));
}

void HostEnvironment::refuseLogWrites(QString const& message)
{
    refuseWrites(message, QStringLiteral("the log can be written"));
}

QString HostEnvironment::serialNumber() const
{
    QString serial;
    ConfigStore const* config = getConfig();
    if (config != nullptr)
        config->readString(kSerialNumberKey, &serial);
    return serial;
}

QStringList HostEnvironment::takeFileFailures()
{
    QStringList failures;
    failures.swap(m_fileFailures);
    return failures;
}

bool HostEnvironment::checkServiceLog()
{
    QString error;
    if (!getLogger()->checkWritable(&error))
        return fail(QStringLiteral("the service log cannot be written, so nothing is changed: %1").arg(error));
    return true;
}

bool HostEnvironment::guardWritesByServiceLog()
{
    QString error;
    if (getLogger()->checkWritable(&error))
        return true;
    refuseLogWrites(error);
    return false;
}

bool HostEnvironment::prepareInstrument()
{
    QString const& file = m_settings.instrumentFile;
    if (QFileInfo::exists(file)) {
        // Anything but a node memory of this profile is refused and left as it is.
        QString error;
        if (!m_lon.loadMemory(file, m_profile.name, &error))
            return fail(QStringLiteral("cannot use instrument file %1").arg(error));
        return true;
    }
    // A new instrument starts from the profile's memory.
    if (!ensureFolderOf(file))
        return fail(QStringLiteral("cannot create the folder of %1").arg(file));
    return saveInstrument();
}

bool HostEnvironment::checkDependencies()
{
    QStringList present;
    for (QByteArray const& name : m_registry.names()) {
        if (IModule* module = m_registry.getModule(name.constData()))
            present << module->getName();
    }
    QStringList rows;
    bool complete = true;
    for (ModuleDependency const* row = m_module->getDependencies(); row != nullptr && row->name != nullptr; ++row) {
        QString const name = QString::fromLatin1(row->name);
        bool const found = present.contains(name);
        complete = complete && (found || !row->required);
        rows << QStringLiteral("%1%2%3").arg(name, row->required ? QString() : QStringLiteral(" (optional)"),
            found ? QString() : QStringLiteral(" (not in this stand-in)"));
    }
    m_report << QStringLiteral("depends on  %1").arg(rows.join(QStringLiteral(", ")));
    return complete;
}

void HostEnvironment::scheduleSave(LonSimulator::Record const& record)
{
    if (record.kind == LonSimulator::Record::Send)
        m_saveTimer.start();
}

bool HostEnvironment::saveInstrument()
{
    QString error;
    // The message names the file and the cause.
    if (!m_lon.saveMemory(m_settings.instrumentFile, &error))
        return fail(error);
    return true;
}

bool HostEnvironment::stop()
{
    // The values left are the module's: the session ends while it still runs.
    m_session.detach();
    m_saveTimer.stop();
    disconnect(&m_lon, &LonSimulator::recorded, this, &HostEnvironment::scheduleSave);
    disconnect(&m_stateMachine, &StateMachine::stateChanged, this, &HostEnvironment::registerCallbacks);
    m_stick.setModule(nullptr);
    if (m_calibration != nullptr && m_menu != nullptr) {
        m_calibration->leaveMenu(kMenuPath);
        m_calibration->destroyMenu(kMenuPath);
        m_menu->clear();
    }
    m_menu = nullptr;
    if (m_module && m_started)
        m_module->shutdownModule();
    m_started = false;
    flushDeferredDeletes();
    m_module.reset();
    m_calibration = nullptr;
    flushDeferredDeletes();
    bool saved = true;
    if (m_lon.isAutoAnswer()) {
        m_lon.setAutoAnswer(false);
        saved = saveInstrument();
    }
    ConfigStore::setFailureHandler(nullptr);
    return saved;
}
