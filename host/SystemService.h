#pragma once

#include <QObject>
#include <QStringList>

#include "IModule.h"
#include "ISystem.h"

// The host's system service stand-in: handed files are copied into the folder
// that plays the removable stick.
class SystemService : public QObject, public IModule, public ISystem
{
    Q_OBJECT

public:
    explicit SystemService(QObject* parent = nullptr);
    ~SystemService() override;

    // IModule
    QString getName() const override { return QStringLiteral("System"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    // ISystem
    void handleFiles(QStringList const& files, bool move) override;

    void setStickDirectory(QString const& directory) { m_stickDirectory = directory; }
    QString stickDirectory() const { return m_stickDirectory; }
    QStringList handledFiles() const { return m_handled; }
    // Files handed over that could not be copied (not found, or the stick not writable).
    QStringList failedFiles() const { return m_failed; }
    // Relative file names are taken from this folder (the print output by default).
    void setFileDirectory(QString const& directory) { m_fileDirectory = directory; }
    QString fileDirectory() const { return m_fileDirectory; }

signals:
    void filesHandled(QStringList const& copies);
    void handlingFailed(QStringList const& files);

private:
    QString sourcePath(QString const& file) const;

    QString m_stickDirectory;
    QString m_fileDirectory;
    QStringList m_handled;
    QStringList m_failed;
};
