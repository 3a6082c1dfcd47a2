#include "sim/LonSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <mutex>

#include "host/AtomicFile.h"
#include "host/ILonEvent.h"
#include "sim/MeasurementStream.h"
#include "sim/NodeMemoryFile.h"
#include "sim/SimulatorWorker.h"

namespace {

// Deliveries the calling thread is making right now (a receiver may unregister from inside one).
thread_local int t_delivering = 0;

// Network-variable indices a node writes under, each one below its poll index.
constexpr unsigned char kWriteIndices[] = {116, 118, 120, 122, 129, 131, 133};

using Faults = LonSimulator::Faults;

bool refuse(QString* error, QString const& message)
{
    if (error != nullptr)
        *error = message;
    return false;
}

NodeMemoryFile::Layout layoutOf(InstrumentProfile const& profile)
{
    NodeMemoryFile::Layout layout;
    for (auto it = profile.variables.cbegin(); it != profile.variables.cend(); ++it)
        layout.insert(it.key(), it.value().size());
    return layout;
}

// A decimal number, or hex after "0x"; at most `max`.
bool parseNumber(QString const& text, quint64 max, quint64* value)
{
    bool ok = false;
    quint64 const number = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2).toULongLong(&ok, 16)
                                                                                     : text.toULongLong(&ok, 10);
    if (!ok || number > max)
        return false;
    *value = number;
    return true;
}

template <typename Number> bool parseCount(QString const& text, quint64 min, quint64 max, Number* value)
{
    quint64 number = 0;
    if (!parseNumber(text, max, &number) || number < min)
        return false;
    *value = static_cast<Number>(number);
    return true;
}

bool parseRate(QString const& text, double* rate)
{
    bool ok = false;
    double const value = text.toDouble(&ok);
    if (!ok || !(value >= 0 && value <= 1))
        return false;
    *rate = value;
    return true;
}

bool parseShortAnswer(QString const& text, Faults* faults)
{
    unsigned short nvId = 0;
    if (!parseCount(text, 0, 0xFFFF, &nvId))
        return false;
    if (!faults->shortAnswers.contains(nvId))
        faults->shortAnswers.append(nvId);
    return true;
}

// The items of a fault text. An item without `expects` is a flag and takes no value.
struct FaultItem
{
    char const* name;
    char const* expects;
    bool (*apply)(QString const& value, Faults* faults);
};

constexpr int kMaxDelayMs = 60000;

FaultItem const kFaultItems[] = {
    {"loss", "a rate from 0 to 1", [](QString const& v, Faults* f) { return parseRate(v, &f->lossRate); }},
    {"duplicate", "a rate from 0 to 1", [](QString const& v, Faults* f) { return parseRate(v, &f->duplicateRate); }},
    {"reorder", "a rate from 0 to 1", [](QString const& v, Faults* f) { return parseRate(v, &f->reorderRate); }},
    {"latency", "milliseconds from 0 to 60000",
        [](QString const& v, Faults* f) { return parseCount(v, 0, kMaxDelayMs, &f->latencyMs); }},
    {"jitter", "milliseconds from 0 to 60000",
        [](QString const& v, Faults* f) { return parseCount(v, 0, kMaxDelayMs, &f->jitterMs); }},
    {"seed", "a number from 0 to 4294967295",
        [](QString const& v, Faults* f) { return parseCount(v, 0, 0xFFFFFFFFu, &f->seed); }},
    {"failwrites", nullptr,
        [](QString const&, Faults* f) {
            f->failWrites = true;
            return true;
        }},
    {"short", "a variable identifier such as 0x1375", parseShortAnswer},
    {"shortby", "bytes from 1 to 255",
        [](QString const& v, Faults* f) { return parseCount(v, 1, NodeMemoryFile::MaxVariableBytes, &f->shortBy); }},
};

} // namespace

bool LonSimulator::Faults::parse(QString const& list, Faults* faults, QString* error)
{
    Faults parsed;
    QString const text = list.trimmed();
    if (!text.isEmpty()) {
        for (QString const& entry : text.split(QLatin1Char(','))) {
            QString const item = entry.trimmed();
            if (item.isEmpty())
                return refuse(error, QStringLiteral("empty fault item in '%1'").arg(text));
            int const equals = item.indexOf(QLatin1Char('='));
            QString const name = (equals < 0 ? item : item.left(equals)).trimmed();
            QString const value = equals < 0 ? QString() : item.mid(equals + 1).trimmed();
            auto const found = std::find_if(std::begin(kFaultItems), std::end(kFaultItems),
                [&name](FaultItem const& row) { return name == QLatin1String(row.name); });
            if (found == std::end(kFaultItems))
                return refuse(error, QStringLiteral("unknown fault '%1'").arg(item));
            if (found->expects == nullptr && equals >= 0)
                return refuse(error, QStringLiteral("fault '%1' takes no value").arg(item));
            if (!found->apply(value, &parsed))
                return refuse(
                    error, QStringLiteral("fault '%1': expected %2").arg(item, QLatin1String(found->expects)));
        }
    }
    if (faults != nullptr)
        *faults = parsed;
    return true;
}

LonSimulator::LonSimulator(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<LonSimulator::Record>("LonSimulator::Record");
    m_clock.start();
}

LonSimulator::~LonSimulator()
{
    stopThread();
}

ModuleDependency const* LonSimulator::getDependencies() const
{
    static ModuleDependency const none[] = {{nullptr, false}};
    return none;
}

void LonSimulator::record(Record::Kind kind, unsigned short nvId, QByteArray const& bytes, bool flag)
{
    Record const entry{kind, m_clock.elapsed(), nvId, bytes, flag};
    if (m_records.size() >= MaxRecords)
        m_records.removeFirst();
    m_records.append(entry);
    emit recorded(entry);
}

void LonSimulator::registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (receiver.isNull())
        return;
    m_receivers.append({nvId, receiver});
    record(Record::Register, nvId);
}

void LonSimulator::unregisterEvent(QSharedPointer<ILonEvent> receiver)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int i = m_receivers.size() - 1; i >= 0; --i) {
            if (m_receivers.at(i).second == receiver)
                m_receivers.removeAt(i);
        }
        record(Record::Unregister, 0);
    }
    // As with a real client, no delivery is still running into the receiver once
    // this returns: a delivery another thread started is waited for.
    if (t_delivering == 0) {
        while (m_inFlight.loadAcquire() > 0)
            QThread::yieldCurrentThread();
    }
}

void LonSimulator::enableModuleStatus(QSharedPointer<ILonEvent>, bool enable)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_moduleStatus = enable;
    record(Record::ModuleStatus, 0, QByteArray(), enable);
}

void LonSimulator::pollNV(unsigned short nvId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    record(Record::Poll, nvId);
    if (!m_autoAnswer || m_worker == nullptr)
        return;
    // A node that does not exist, or a variable it does not have, never answers.
    if (!m_memory.contains(nvId)) {
        addOutcome({nvId, PollOutcome::Unanswered, 0, expectedBytes(nvId)});
        return;
    }
    quint64 const serial = addOutcome({nvId, PollOutcome::Pending, 0, expectedBytes(nvId)});
    m_pending.fetchAndAddOrdered(1);
    // The poll waits in the simulator's own queue, under its mutex; the worker
    // is only woken through Qt's.
    m_pollQueue.push_back({serial, nvId, m_faults});
    QMetaObject::invokeMethod(m_worker, "drainPolls", Qt::QueuedConnection);
}

quint64 LonSimulator::addOutcome(PollOutcome const& outcome)
{
    if (m_outcomes.size() >= MaxRecords) {
        m_outcomes.removeFirst();
        ++m_firstOutcome;
    }
    m_outcomes.append(outcome);
    return m_firstOutcome + static_cast<quint64>(m_outcomes.size()) - 1;
}

void LonSimulator::decideOutcome(quint64 serial, PollOutcome::Kind kind, int bytes, int expected)
{
    // Outcomes cleared since the poll are not brought back.
    if (serial < m_firstOutcome || serial - m_firstOutcome >= static_cast<quint64>(m_outcomes.size()))
        return;
    PollOutcome& outcome = m_outcomes[static_cast<int>(serial - m_firstOutcome)];
    // A duplicated answer changes nothing: the first one decided.
    if (outcome.kind != PollOutcome::Pending)
        return;
    outcome.kind = kind;
    outcome.bytes = bytes;
    outcome.expected = expected;
}

int LonSimulator::expectedBytes(unsigned short nvId) const
{
    auto const size = m_layout.constFind(nvId);
    return size != m_layout.cend() ? *size : m_memory.value(nvId).size();
}

QList<LonSimulator::QueuedPoll> LonSimulator::takeQueuedPolls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QueuedPoll> polls;
    polls.swap(m_pollQueue);
    return polls;
}

bool LonSimulator::sendNV(unsigned short nvId, NVData const& data)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    bool const accepted = m_sendResult && !m_faults.failWrites;
    record(Record::Send, nvId, data.bytes(), accepted);
    if (accepted)
        m_memory.insert(pollIdForWrite(nvId), data.bytes());
    return accepted;
}

void LonSimulator::answerPoll(QueuedPoll const& poll, int cut)
{
    QByteArray bytes;
    bool held = false;
    int expected = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto const found = m_memory.constFind(poll.nvId);
        held = found != m_memory.cend();
        if (held)
            bytes = *found;
        expected = expectedBytes(poll.nvId);
    }
    if (held) {
        bytes.chop(cut);
        deliver(poll.nvId, NVData(bytes));
    }
    PollOutcome::Kind const kind = !held ? PollOutcome::Unanswered
        : bytes.size() < expected        ? PollOutcome::Short
                                         : PollOutcome::Answered;
    std::lock_guard<std::mutex> lock(m_mutex);
    decideOutcome(poll.serial, kind, bytes.size(), expected);
}

void LonSimulator::losePoll(QueuedPoll const& poll)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    decideOutcome(poll.serial, PollOutcome::Unanswered, 0, expectedBytes(poll.nvId));
}

bool LonSimulator::checkNodeVersion(unsigned char node, unsigned short version)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nodeVersions.value(node).contains(version);
}

QList<unsigned char> LonSimulator::getNodeList()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<unsigned char> nodes = m_nodeVersions.keys();
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

bool LonSimulator::hasDMeas()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dMeas;
}

void LonSimulator::setNodeVersions(unsigned char node, QList<unsigned short> const& versions)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodeVersions.insert(node, versions);
}

void LonSimulator::removeNode(unsigned char node)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodeVersions.remove(node);
}

void LonSimulator::setDMeas(bool dMeas)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dMeas = dMeas;
}

void LonSimulator::setSendResult(bool accepted)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sendResult = accepted;
}

void LonSimulator::setAutoAnswer(bool enabled)
{
    if (enabled && m_thread == nullptr) {
        m_thread = new QThread();
        m_thread->setObjectName(QStringLiteral("lon-simulator"));
        m_workerGone.storeRelease(0);
        m_worker = new SimulatorWorker(this);
        m_worker->moveToThread(m_thread);
        connect(m_thread, &QThread::started, m_worker, &SimulatorWorker::start);
        connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread->start();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_autoAnswer = enabled;
    }
    if (!enabled)
        stopThread();
}

bool LonSimulator::isAutoAnswer() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_autoAnswer;
}

void LonSimulator::stopThread()
{
    if (m_thread == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_autoAnswer = false;
    }
    m_thread->quit();
    m_thread->wait();
    // The worker's last act on its thread is to say it is gone; reading that
    // makes everything it did visible here (also to thread checkers, which
    // cannot see inside QThread::wait).
    for (int spin = 0; spin < 100000 && m_workerGone.loadAcquire() == 0; ++spin)
        QThread::yieldCurrentThread();
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
    m_pending.storeRelease(0);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pollQueue.clear();
    // Answers the stopped thread still owed never come.
    for (PollOutcome& outcome : m_outcomes) {
        if (outcome.kind == PollOutcome::Pending)
            outcome.kind = PollOutcome::Unanswered;
    }
}

void LonSimulator::setFaults(Faults const& faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
}

LonSimulator::Faults LonSimulator::faults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

void LonSimulator::setStreamingInterval(int ms)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_streamingMs = ms;
    }
    if (m_worker != nullptr)
        QMetaObject::invokeMethod(m_worker, "setStreamingInterval", Qt::QueuedConnection, Q_ARG(int, ms));
}

void LonSimulator::applyProfile(InstrumentProfile const& profile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_profileName = profile.name;
    m_nodeVersions.clear();
    for (InstrumentProfile::Node const& node : profile.nodes)
        m_nodeVersions.insert(node.number, node.versions);
    m_memory.clear();
    for (auto it = profile.variables.cbegin(); it != profile.variables.cend(); ++it)
        m_memory.insert(it.key(), it.value());
    m_layout = layoutOf(profile);
    m_measurements = profile.measurements;
    m_dMeas = profile.dMeas;
}

QString LonSimulator::profileName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_profileName;
}

QList<unsigned short> LonSimulator::measurements() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_measurements;
}

bool LonSimulator::saveMemory(QString const& path, QString* error) const
{
    QString profile;
    NodeMemoryFile::Layout layout;
    NodeMemoryFile::Memory memory;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        profile = m_profileName;
        layout = m_layout;
        memory = m_memory;
    }
    QString problem;
    QByteArray const text = NodeMemoryFile::encode(profile, layout, memory, &problem);
    if (text.isEmpty())
        return refuse(error, QStringLiteral("cannot write %1: %2").arg(path, problem));
    return AtomicFile::write(path, text, error);
}

bool LonSimulator::loadMemory(QString const& path, QString* error)
{
    return loadMemory(path, QString(), error);
}

bool LonSimulator::loadMemory(QString const& path, QString const& expectedProfile, QString* error)
{
    NodeMemoryFile::Contents contents;
    if (!NodeMemoryFile::read(path, &contents, error))
        return false;
    QString applied;
    NodeMemoryFile::Layout layout;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        applied = m_profileName;
        layout = m_layout;
    }
    QString profile = expectedProfile;
    if (profile.isEmpty())
        profile = applied.isEmpty() ? contents.profile : applied;
    if (!applied.isEmpty() && profile != applied)
        return refuse(error,
            QStringLiteral("%1: a node memory of profile '%2' cannot go into instrument '%3'")
                .arg(path, profile, applied));
    if (applied.isEmpty()) {
        InstrumentProfile const* known = InstrumentProfile::find(profile);
        if (known == nullptr)
            return refuse(error, QStringLiteral("%1: no profile '%2'").arg(path, profile));
        layout = layoutOf(*known);
    }
    if (!NodeMemoryFile::fits(path, contents, profile, layout, error))
        return false;

    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = contents.variables.cbegin(); it != contents.variables.cend(); ++it)
        m_memory.insert(it.key(), it.value());
    return true;
}

int LonSimulator::streamingInterval() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_streamingMs;
}

int LonSimulator::pendingAnswers() const
{
    return m_pending.loadAcquire();
}

bool LonSimulator::waitUntilIdle(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (m_pending.loadAcquire() > 0) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    // The last answers' signals wait in the event queue.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return true;
}

void LonSimulator::deliverMeasurements(quint64 tick)
{
    const QList<unsigned short> ids = measurements();
    for (unsigned short id : ids) {
        QByteArray const payload = MeasurementStream::payload(id, tick);
        if (!payload.isEmpty())
            deliver(id, NVData(payload));
    }
}

void LonSimulator::setMemory(unsigned short nvId, QByteArray const& bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_memory.insert(nvId, bytes);
}

QByteArray LonSimulator::memory(unsigned short nvId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory.value(nvId);
}

unsigned short LonSimulator::pollIdForWrite(unsigned short writeId)
{
    unsigned char const index = static_cast<unsigned char>(writeId & 0xFF);
    for (unsigned char writeIndex : kWriteIndices) {
        if (index == writeIndex)
            return static_cast<unsigned short>(writeId + 1);
    }
    return writeId;
}

void LonSimulator::deliver(unsigned short nvId, NVData const& data)
{
    // Receivers are called outside the lock: they may call back into the client.
    QList<QSharedPointer<ILonEvent>> targets;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        record(Record::Delivery, nvId, data.bytes());
        m_inFlight.fetchAndAddOrdered(1);
        for (auto const& entry : qAsConst(m_receivers)) {
            if (entry.first == nvId && !targets.contains(entry.second))
                targets.append(entry.second);
        }
    }
    ++t_delivering;
    for (auto const& receiver : qAsConst(targets))
        receiver->nvReceived(nvId, data);
    --t_delivering;
    m_inFlight.fetchAndAddOrdered(-1);
}

QList<LonSimulator::Record> LonSimulator::records() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
}

QList<LonSimulator::Record> LonSimulator::records(Record::Kind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<Record> result;
    for (Record const& entry : m_records) {
        if (entry.kind == kind)
            result.append(entry);
    }
    return result;
}

QList<unsigned short> LonSimulator::registrations() const
{
    QList<unsigned short> result;
    for (Record const& entry : records(Record::Register))
        result.append(entry.nvId);
    return result;
}

QList<unsigned short> LonSimulator::polls() const
{
    QList<unsigned short> result;
    for (Record const& entry : records(Record::Poll))
        result.append(entry.nvId);
    return result;
}

QList<QPair<unsigned short, QByteArray>> LonSimulator::sends() const
{
    QList<QPair<unsigned short, QByteArray>> result;
    for (Record const& entry : records(Record::Send))
        result.append({entry.nvId, entry.bytes});
    return result;
}

QList<bool> LonSimulator::moduleStatusCalls() const
{
    QList<bool> result;
    for (Record const& entry : records(Record::ModuleStatus))
        result.append(entry.flag);
    return result;
}

bool LonSimulator::isModuleStatusOn() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_moduleStatus;
}

int LonSimulator::receiverCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_receivers.size();
}

void LonSimulator::clearRecords()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.clear();
    m_firstOutcome += static_cast<quint64>(m_outcomes.size());
    m_outcomes.clear();
}

QList<LonSimulator::PollOutcome> LonSimulator::pollOutcomes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outcomes;
}

QList<LonSimulator::PollOutcome> LonSimulator::missedPolls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<PollOutcome> missed;
    for (PollOutcome const& outcome : m_outcomes) {
        if (outcome.kind == PollOutcome::Short || outcome.kind == PollOutcome::Unanswered)
            missed.append(outcome);
    }
    return missed;
}

void LonSimulator::clearPollOutcomes()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Answers still on their way find no outcome to decide.
    m_firstOutcome += static_cast<quint64>(m_outcomes.size());
    m_outcomes.clear();
}
