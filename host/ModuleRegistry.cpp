#include "ModuleRegistry.h"

#include <algorithm>

IModule* ModuleRegistry::getModule(char const* name) const
{
    if (name == nullptr)
        return nullptr;
    return m_modules.value(QByteArray(name), nullptr);
}

bool ModuleRegistry::registerModule(char const* name, IModule* module)
{
    if (name == nullptr || *name == '\0' || module == nullptr)
        return false;
    QByteArray const key(name);
    IModule* const present = m_modules.value(key, nullptr);
    if (present != nullptr)
        return present == module;
    m_modules.insert(key, module);
    return true;
}

void ModuleRegistry::unregisterModule(char const* name)
{
    if (name != nullptr)
        m_modules.remove(QByteArray(name));
}

void ModuleRegistry::clear()
{
    m_modules.clear();
}

QList<QByteArray> ModuleRegistry::names() const
{
    QList<QByteArray> result = m_modules.keys();
    std::sort(result.begin(), result.end());
    return result;
}
