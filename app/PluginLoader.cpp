#include "app/PluginLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QStringList PluginLoader::searchPaths(QString const& programDir)
{
    QDir const dir(programDir);
    QString const file = QStringLiteral(LONCAL_PLUGIN_FILE);
    return {dir.filePath(file), QDir::cleanPath(dir.filePath(QStringLiteral(LONCAL_PLUGIN_RELATIVE_DIR "/") + file))};
}

QString PluginLoader::defaultPath()
{
    QStringList const paths = searchPaths(QCoreApplication::applicationDirPath());
    for (QString const& path : paths) {
        if (QFileInfo::exists(path))
            return path;
    }
    return paths.first();
}
