#include "support/HostFixture.h"

#include <QCoreApplication>
#include <QEvent>

#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/LoggingCtrl.h"
#include "host/NVData.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"
#include "sim/LonSimulator.h"

HostFixture::HostFixture() : HostFixture(Options()) {}

HostFixture::HostFixture(Options const& options)
{
    HWConfiguration::reset();
    HWConfiguration::setHardware(options.hardware);
    NVData::m_NetworkType = options.networkType;

    ConfigStore::setFilePath(m_temp.filePath(QStringLiteral("config.ini")));
    ConfigStore::setAvailable(options.config);
    getLogger()->setLogFile(m_temp.filePath(QStringLiteral("service.log")));
    getLogger()->clearTail();

    if (options.lon || options.lonManagement) {
        m_lon.reset(new LonSimulator());
        if (options.lon)
            registry.registerModule("ILon", m_lon.data());
        if (options.lonManagement)
            registry.registerModule("ILonManagement", m_lon.data());
    }
    if (options.parameters) {
        m_parameters.reset(new ParameterService());
        registry.registerModule("IParameterControl", m_parameters.data());
    }
    if (options.stateMachine) {
        m_stateMachine.reset(new StateMachine());
        registry.registerModule("IStatemachine", m_stateMachine.data());
    }
    if (options.print) {
        m_print.reset(new PrintService());
        m_print->setOutputDirectory(m_temp.path());
        registry.registerModule("IPrint", m_print.data());
    }
    if (options.system) {
        m_system.reset(new SystemService());
        m_system->setStickDirectory(m_temp.filePath(QStringLiteral("stick")));
        m_system->setFileDirectory(m_temp.path());
        registry.registerModule("ISystem", m_system.data());
    }
    if (options.mainWindow) {
        m_mainWindow.reset(new QWidget());
        m_mainWindow->setObjectName(QStringLiteral("MainWindow"));
        m_mainWindow->resize(1024, 768);
    }
}

HostFixture::~HostFixture()
{
    // The simulator's thread stops first: a late answer must not meet a service already gone.
    if (m_lon)
        m_lon->setAutoAnswer(false);
    m_mainWindow.reset();
    flushDeferredDeletes();
    ConfigStore::setAvailable(true);
    HWConfiguration::reset();
    NVData::m_NetworkType = 0;
}

QStringList HostFixture::logLines() const
{
    return getLogger()->serviceTail();
}

void HostFixture::flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
