#pragma once

#include <QString>

class IModuleControl;

// One entry of a module's dependency table; the table ends with {nullptr, false}.
struct ModuleDependency
{
    char const* name;
    bool required;
};

// What a module reports when it cannot work; the host shows it in its error list.
struct ModuleError
{
    int code = 0;
    QString text;
};

// Every module of the host: the lifecycle the host drives and the identity it asks for.
class IModule
{
public:
    virtual ~IModule() = default;

    virtual QString getName() const = 0;
    virtual unsigned int getVersion() const = 0;
    virtual ModuleDependency const* getDependencies() const = 0;
    virtual bool initialize(IModuleControl* control) = 0;
    virtual void startModule() = 0;
    virtual void shutdownModule() = 0;
    virtual ModuleError const* getErrorStructure() const { return nullptr; }
    virtual bool isConfigurationSuitable() { return true; }
    virtual bool initializeReady(QString& message)
    {
        message.clear();
        return true;
    }
    virtual void moduleStarted() {}
    virtual void allModulesStarted() {}
};
