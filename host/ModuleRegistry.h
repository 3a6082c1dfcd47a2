#pragma once

#include <QByteArray>
#include <QHash>

#include "IModuleControl.h"

// The host's module registry.
class ModuleRegistry : public IModuleControl
{
public:
    IModule* getModule(char const* name) const override;
    bool registerModule(char const* name, IModule* module) override;

    void unregisterModule(char const* name);
    void clear();
    QList<QByteArray> names() const;

private:
    QHash<QByteArray, IModule*> m_modules;
};
