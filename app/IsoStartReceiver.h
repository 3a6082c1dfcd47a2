#pragma once

#include <QObject>

class ModuleJournal;

// The insulation measurement module's start, hooked to the "Start" button of
// the module's insulation dialog by method name.
class IsoStartReceiver : public QObject
{
    Q_OBJECT

public:
    // The signature handed to connectIsoStartMethod.
    static char const* const Method;

    explicit IsoStartReceiver(ModuleJournal* journal, QObject* parent = nullptr);
    ~IsoStartReceiver() override;

    int starts() const { return m_starts; }

public slots:
    void startMeasurement();

private:
    ModuleJournal* m_journal;
    int m_starts = 0;
};
