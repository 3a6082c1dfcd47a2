#pragma once

class IModule;

// The host's module registry: modules find each other's services by name.
class IModuleControl
{
public:
    virtual ~IModuleControl() = default;

    // The module published under the name, or null.
    virtual IModule* getModule(char const* name) const = 0;
    // Publishes a module under a name; false when the name is taken or invalid.
    virtual bool registerModule(char const* name, IModule* module) = 0;
};
