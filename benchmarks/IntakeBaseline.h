#pragma once

#include <QObject>

#include "host/NVData.h"

// The baseline of the intake figure: one bare queued signal carrying an
// NVData from another thread to an empty slot on the GUI thread.
class IntakeBaseline : public QObject
{
    Q_OBJECT

public:
    int received = 0;

signals:
    void update(NVData data);

public slots:
    // Counts only, so the run can be checked; nothing else.
    void take(NVData const&) { ++received; }
};
