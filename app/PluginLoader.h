#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

class IModule;

// Loads the calibration plug-in the way the instrument host does: the shared
// library by path, then its exported module_instantiate.
class PluginLoader
{
public:
    explicit PluginLoader(QString const& path);

    bool load();
    QString errorString() const { return m_error; }
    QString path() const { return m_library.fileName(); }
    // A new module object owned by the caller, or null.
    IModule* instantiate();

    // The plug-in beside the running program (the build tree), else the
    // installed one relative to it; the first when neither exists.
    static QString defaultPath();

private:
    static QStringList searchPaths(QString const& programDir);

    QLibrary m_library;
    QString m_error;
};
