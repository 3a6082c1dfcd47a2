#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class ModuleJournal;
class PrintService;
class SystemService;

// The folder the prints stay in: the print service writes every PDF there and
// the system service takes the files it is handed from there.
class PrintOutput : public QObject
{
    Q_OBJECT

public:
    PrintOutput(PrintService* print, SystemService* system, ModuleJournal* journal, QObject* parent = nullptr);
    ~PrintOutput() override;

    // Creates the folder when missing; false with *error.
    bool setDirectory(QString const& directory, QString* error);
    QString directory() const { return m_directory; }

signals:
    // A print was written whole to this file.
    void saved(QString const& file);

private:
    void printed(QString const& name, int result);
    void copied(QStringList const& copies);

    PrintService* m_print;
    SystemService* m_system;
    ModuleJournal* m_journal;
    QString m_directory;
};
