#pragma once

#include <QObject>
#include <QRandomGenerator>

#include "sim/LonSimulator.h"

class QTimer;

// Lives on the simulator's own thread: answers polls after their latency,
// with the faults that are switched on, and streams the measurements.
class SimulatorWorker : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorWorker(LonSimulator* simulator);
    ~SimulatorWorker() override;

public slots:
    void start();
    void setStreamingInterval(int ms);
    // Schedules the answers of every poll waiting in the simulator's queue.
    void drainPolls();

private:
    // Answers the poll with the faults that were on when it was made.
    void schedule(LonSimulator::QueuedPoll const& poll);
    void streamTick();

    LonSimulator* m_simulator;
    QRandomGenerator m_random;
    QTimer* m_streamTimer = nullptr;
    quint64 m_tick = 0;
};
