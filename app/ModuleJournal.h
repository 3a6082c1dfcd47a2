#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// What the modules the workbench plays around the plug-in saw: one line per
// event ("iso start", "dc-callback: set U=… I=…"), for the window's panel and
// the standard output of a headless run.
class ModuleJournal : public QObject
{
    Q_OBJECT

public:
    explicit ModuleJournal(QObject* parent = nullptr);
    ~ModuleJournal() override;

    void record(QString const& line);
    QStringList lines() const { return m_lines; }

signals:
    void recorded(QString const& line);

private:
    QStringList m_lines;
};
