#include "sim/LonSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <mutex>
#include <QSaveFile>
#include <QThread>
#include <algorithm>

#include "host/ILonEvent.h"
#include "sim/MeasurementStream.h"
#include "sim/SimulatorWorker.h"

namespace {

// Deliveries the calling thread is making right now (a receiver may unregister from inside one).
thread_local int t_delivering = 0;

// Network-variable indices a node writes under, each one below its poll index.
constexpr unsigned char kWriteIndices[] = {116, 118, 120, 122, 129, 131, 133};

} // namespace

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
    // A node that does not exist, or a variable it does not have, never answers.
    if (!m_autoAnswer || m_worker == nullptr || !m_memory.contains(nvId))
        return;
    m_pending.fetchAndAddOrdered(1);
    // The poll waits in the simulator's own queue, under its mutex; the worker
    // is only woken through Qt's.
    m_pollQueue.push_back({nvId, m_faults});
    QMetaObject::invokeMethod(m_worker, "drainPolls", Qt::QueuedConnection);
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

void LonSimulator::answerPoll(unsigned short nvId)
{
    QByteArray bytes;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bytes = m_memory.value(nvId);
    }
    deliver(nvId, NVData(bytes));
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
    QJsonObject variables;
    QString profile;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        profile = m_profileName;
        for (auto it = m_memory.cbegin(); it != m_memory.cend(); ++it)
            variables.insert(QStringLiteral("0x") + QString::number(it.key(), 16).toUpper().rightJustified(4, QLatin1Char('0')),
                             QString::fromLatin1(it.value().toHex()));
    }
    QJsonObject root;
    root.insert(QStringLiteral("profile"), profile);
    root.insert(QStringLiteral("variables"), variables);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit()) {
        if (error != nullptr)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool LonSimulator::loadMemory(QString const& path, QString* error)
{
    auto fail = [error](QString const& message) {
        if (error != nullptr)
            *error = message;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    // A node memory file is small; anything far larger is not one.
    if (file.size() > 4 * 1024 * 1024)
        return fail(QStringLiteral("%1 is too large for a node memory file").arg(path));
    QJsonParseError parseError;
    QJsonDocument const document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(QStringLiteral("%1 is not a node memory file: %2").arg(path, parseError.errorString()));
    QJsonObject const variables = document.object().value(QStringLiteral("variables")).toObject();

    QHash<unsigned short, QByteArray> memory;
    for (auto it = variables.constBegin(); it != variables.constEnd(); ++it) {
        bool ok = false;
        uint const id = it.key().toUInt(&ok, 0);
        QByteArray const hex = it.value().toString().toLatin1();
        QByteArray const bytes = QByteArray::fromHex(hex);
        if (!ok || id > 0xFFFF || !it.value().isString() || bytes.toHex() != hex.toLower() || bytes.size() > 255)
            return fail(QStringLiteral("%1: bad variable %2").arg(path, it.key()));
        memory.insert(static_cast<unsigned short>(id), bytes);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = memory.cbegin(); it != memory.cend(); ++it)
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
}
