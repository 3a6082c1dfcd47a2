#pragma once

#include <QScopedPointer>
#include <QTemporaryDir>
#include <QWidget>

#include "host/ModuleRegistry.h"

class LonSimulator;
class ParameterService;
class PrintService;
class StateMachine;
class SystemService;

// A fresh stand-in host for one test: registry, services, a simulated LON
// client without automatic answers, a hidden "MainWindow", and a configuration
// file and service log in a temporary folder. Any service can be left out.
class HostFixture
{
public:
    struct Options
    {
        bool lon = true;
        bool lonManagement = true;
        bool stateMachine = true;
        bool print = true;
        bool parameters = true;
        bool system = true;
        bool mainWindow = true;
        bool config = true;
        unsigned char networkType = 3;
        int hardware = 1;
    };

    HostFixture();
    explicit HostFixture(Options const& options);
    ~HostFixture();

    ModuleRegistry registry;
    LonSimulator* lon() const { return m_lon.data(); }
    ParameterService* parameters() const { return m_parameters.data(); }
    StateMachine* stateMachine() const { return m_stateMachine.data(); }
    PrintService* print() const { return m_print.data(); }
    SystemService* system() const { return m_system.data(); }
    QWidget* mainWindow() const { return m_mainWindow.data(); }
    QString tempPath() const { return m_temp.path(); }
    // Service-log lines written since the fixture was made.
    QStringList logLines() const;

    // Runs the deferred deletions that deleteLater scheduled.
    static void flushDeferredDeletes();

private:
    QTemporaryDir m_temp;
    QScopedPointer<LonSimulator> m_lon;
    QScopedPointer<ParameterService> m_parameters;
    QScopedPointer<StateMachine> m_stateMachine;
    QScopedPointer<PrintService> m_print;
    QScopedPointer<SystemService> m_system;
    QScopedPointer<QWidget> m_mainWindow;
};
