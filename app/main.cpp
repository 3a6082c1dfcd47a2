// loncal-workbench: runs the calibration plug-in on the stand-in host and a
// simulated instrument.
#include <QApplication>
#include <QCommandLineParser>
#include <QScopedPointer>
#include <QTextStream>
#include <QWidget>

#include "app/PluginLoader.h"
#include "host/ConfigStore.h"
#include "host/HWConfiguration.h"
#include "host/IModule.h"
#include "host/IModuleMenu.h"
#include "host/LoggingCtrl.h"
#include "host/MenuStrip.h"
#include "host/ModuleRegistry.h"
#include "host/NVData.h"
#include "host/ParameterService.h"
#include "host/PrintService.h"
#include "host/StateMachine.h"
#include "host/SystemService.h"
#include "sim/LonSimulator.h"

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(QString const& message)
{
    QTextStream(stderr) << "loncal-workbench: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool const hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loncal-workbench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs the LON calibration plug-in on a simulated instrument."));
    parser.addHelpOption();
    QCommandLineOption pluginOption(QStringLiteral("plugin"), QStringLiteral("Plug-in file to load."),
                                    QStringLiteral("path"), PluginLoader::defaultPath());
    parser.addOption(pluginOption);
    parser.process(app);

    // The default simulated instrument: network type 3, hardware 1.
    HWConfiguration::setHardware(1);
    NVData::m_NetworkType = 3;

    ModuleRegistry registry;
    LonSimulator lon;
    lon.setAutoAnswer(true);
    ParameterService parameters;
    StateMachine stateMachine;
    PrintService print;
    SystemService system;
    registry.registerModule("ILon", &lon);
    registry.registerModule("ILonManagement", &lon);
    registry.registerModule("IParameterControl", &parameters);
    registry.registerModule("IStatemachine", &stateMachine);
    registry.registerModule("IPrint", &print);
    registry.registerModule("ISystem", &system);

    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("MainWindow"));
    MenuStrip menu(&mainWindow);

    PluginLoader loader(parser.value(pluginOption));
    if (!loader.load())
        return fail(loader.errorString());
    QScopedPointer<IModule> module(loader.instantiate());
    if (!module)
        return fail(QStringLiteral("module_instantiate returned no module"));

    out() << "plug-in   " << loader.path() << '\n';
    out() << "module    " << module->getName() << " version 0x" << QString::number(module->getVersion(), 16) << '\n';
    if (!module->isConfigurationSuitable())
        return fail(QStringLiteral("the module does not suit hardware %1").arg(HWConfiguration::getHardware()));
    out() << "suitable  hardware " << HWConfiguration::getHardware() << ", network type " << NVData::m_NetworkType
          << '\n';
    if (!module->initialize(&registry))
        return fail(QStringLiteral("initialize failed"));
    out() << "initialize ok, " << lon.registrations().size() << " network variables registered\n";
    module->startModule();
    out() << "started, " << lon.polls().size() << " polls sent\n";

    if (auto* menuModule = dynamic_cast<IModuleMenu*>(module.data())) {
        MenuResult const result = menuModule->createMenu(QStringLiteral("/lon"), UserModeService, &menu, false);
        out() << "menu /lon: " << (result.first == 1 ? "created" : "refused") << '\n';
        menuModule->leaveMenu(QStringLiteral("/lon"));
    }

    module->shutdownModule();
    module.reset();
    out() << "shut down\n";
    out().flush();
    return 0;
}
