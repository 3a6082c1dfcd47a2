#include "app/PluginLoader.h"

#include <QCoreApplication>
#include <QDir>

#include "host/IModule.h"

PluginLoader::PluginLoader(QString const& path)
    : m_library(path)
{ }

bool PluginLoader::load()
{
    if (!m_library.load()) {
        m_error = m_library.errorString();
        return false;
    }
    if (m_library.resolve("module_instantiate") == nullptr) {
        m_error = QStringLiteral("%1 exports no module_instantiate").arg(m_library.fileName());
        return false;
    }
    return true;
}

IModule* PluginLoader::instantiate()
{
    using Entry = IModule* (*)();
    auto entry = reinterpret_cast<Entry>(m_library.resolve("module_instantiate"));
    return entry != nullptr ? entry() : nullptr;
}

QString PluginLoader::defaultPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(LONCAL_PLUGIN_FILE));
}
