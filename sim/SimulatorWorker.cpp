#include "sim/SimulatorWorker.h"

#include <QTimer>
#include <algorithm>

#include "sim/LonSimulator.h"

SimulatorWorker::SimulatorWorker(LonSimulator* simulator)
    : m_simulator(simulator), m_random(simulator->faults().seed)
{
}

SimulatorWorker::~SimulatorWorker()
{
    m_simulator->m_workerGone.storeRelease(1);
}

void SimulatorWorker::start()
{
    m_streamTimer = new QTimer(this);
    connect(m_streamTimer, &QTimer::timeout, this, &SimulatorWorker::streamTick);
    int const interval = m_simulator->streamingInterval();
    if (interval > 0)
        m_streamTimer->start(interval);
}

void SimulatorWorker::setStreamingInterval(int ms)
{
    if (m_streamTimer == nullptr)
        return;
    if (ms > 0)
        m_streamTimer->start(ms);
    else
        m_streamTimer->stop();
}

void SimulatorWorker::drainPolls()
{
    const QList<LonSimulator::QueuedPoll> polls = m_simulator->takeQueuedPolls();
    for (LonSimulator::QueuedPoll const& poll : polls)
        schedule(poll);
}

void SimulatorWorker::schedule(LonSimulator::QueuedPoll const& poll)
{
    LonSimulator::Faults const& faults = poll.faults;
    // Decided lost now, so nobody waits for it.
    if (m_random.generateDouble() < faults.lossRate) {
        m_simulator->losePoll(poll);
        m_simulator->m_pending.fetchAndAddOrdered(-1);
        return;
    }
    int delay = faults.latencyMs;
    if (faults.jitterMs > 0)
        delay += static_cast<int>(m_random.bounded(faults.jitterMs + 1));
    // A held-back answer arrives behind the ones polled after it.
    if (m_random.generateDouble() < faults.reorderRate)
        delay += 3 * faults.latencyMs + 10;
    bool const twice = m_random.generateDouble() < faults.duplicateRate;
    int const cut = faults.shortAnswers.contains(poll.nvId) ? std::max(faults.shortBy, 0) : 0;

    QTimer::singleShot(delay, this, [this, poll, twice, cut] {
        m_simulator->answerPoll(poll, cut);
        if (twice)
            m_simulator->answerPoll(poll, cut);
        m_simulator->m_pending.fetchAndAddOrdered(-1);
    });
}

void SimulatorWorker::streamTick()
{
    if (m_simulator->isModuleStatusOn())
        m_simulator->deliverMeasurements(m_tick++);
}
