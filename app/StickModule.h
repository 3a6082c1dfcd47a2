#pragma once

#include <QFileInfoList>
#include <QObject>
#include <QString>

#include "module/ILoadFromStickCallback.h"

class ILonCalibration;
class ModuleJournal;

// The instrument's stick module, played by a folder: asked by the module to
// fetch a calibration file, it lets someone choose one (loadRequested) and
// hands the file's text back through importFileFromStick.
class StickModule : public QObject, public ILoadFromStickCallback
{
    Q_OBJECT

public:
    explicit StickModule(ModuleJournal* journal, QObject* parent = nullptr);
    ~StickModule() override;

    void setDirectory(QString const& directory) { m_directory = directory; }
    QString directory() const { return m_directory; }
    void setModule(ILonCalibration* module) { m_module = module; }

    // ILoadFromStickCallback
    void loadFromStick() override;

    // The calibration files on the stick, newest first.
    QFileInfoList calibrationFiles() const;
    // Decodes a file as the stick module of an instrument reads it.
    static bool readFile(QString const& path, QString* text, QString* error);
    // Gives the text to the module, which opens its load dialog.
    bool handOver(QString const& text);
    // readFile, then handOver; false with *error naming the file and the cause.
    bool importFile(QString const& path, QString* error);

signals:
    void loadRequested();

private:
    ModuleJournal* m_journal;
    ILonCalibration* m_module = nullptr;
    QString m_directory;
};
