#include "sim/LonSimulator.h"

#include <QMetaObject>
#include <algorithm>
#include <QMutexLocker>

#include "host/ILonEvent.h"

namespace {

// Network-variable indices a node writes under, each one below its poll index.
constexpr unsigned char kWriteIndices[] = {116, 118, 120, 122, 129, 131, 133};

} // namespace

LonSimulator::LonSimulator(QObject* parent) : QObject(parent)
{
    m_clock.start();
}

LonSimulator::~LonSimulator() = default;

ModuleDependency const* LonSimulator::getDependencies() const
{
    static ModuleDependency const none[] = {{nullptr, false}};
    return none;
}

void LonSimulator::record(Record::Kind kind, unsigned short nvId, QByteArray const& bytes, bool flag)
{
    m_records.append(Record{kind, m_clock.elapsed(), nvId, bytes, flag});
}

void LonSimulator::registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver)
{
    QMutexLocker lock(&m_mutex);
    if (receiver.isNull())
        return;
    m_receivers.append({nvId, receiver});
    record(Record::Register, nvId);
}

void LonSimulator::unregisterEvent(QSharedPointer<ILonEvent> receiver)
{
    QMutexLocker lock(&m_mutex);
    for (int i = m_receivers.size() - 1; i >= 0; --i) {
        if (m_receivers.at(i).second == receiver)
            m_receivers.removeAt(i);
    }
    record(Record::Unregister, 0);
}

void LonSimulator::enableModuleStatus(QSharedPointer<ILonEvent>, bool enable)
{
    QMutexLocker lock(&m_mutex);
    m_moduleStatus = enable;
    record(Record::ModuleStatus, 0, QByteArray(), enable);
}

void LonSimulator::pollNV(unsigned short nvId)
{
    bool answer = false;
    {
        QMutexLocker lock(&m_mutex);
        record(Record::Poll, nvId);
        answer = m_autoAnswer && m_memory.contains(nvId);
    }
    if (answer)
        QMetaObject::invokeMethod(this, [this, nvId] { answerPoll(nvId); }, Qt::QueuedConnection);
}

bool LonSimulator::sendNV(unsigned short nvId, NVData const& data)
{
    QMutexLocker lock(&m_mutex);
    record(Record::Send, nvId, data.bytes(), m_sendResult);
    if (m_sendResult)
        m_memory.insert(pollIdForWrite(nvId), data.bytes());
    return m_sendResult;
}

void LonSimulator::answerPoll(unsigned short nvId)
{
    QByteArray bytes;
    {
        QMutexLocker lock(&m_mutex);
        bytes = m_memory.value(nvId);
    }
    deliver(nvId, NVData(bytes));
}

bool LonSimulator::checkNodeVersion(unsigned char node, unsigned short version)
{
    QMutexLocker lock(&m_mutex);
    return m_nodeVersions.value(node).contains(version);
}

QList<unsigned char> LonSimulator::getNodeList()
{
    QMutexLocker lock(&m_mutex);
    QList<unsigned char> nodes = m_nodeVersions.keys();
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

bool LonSimulator::hasDMeas()
{
    QMutexLocker lock(&m_mutex);
    return m_dMeas;
}

void LonSimulator::setNodeVersions(unsigned char node, QList<unsigned short> const& versions)
{
    QMutexLocker lock(&m_mutex);
    m_nodeVersions.insert(node, versions);
}

void LonSimulator::removeNode(unsigned char node)
{
    QMutexLocker lock(&m_mutex);
    m_nodeVersions.remove(node);
}

void LonSimulator::setDMeas(bool dMeas)
{
    QMutexLocker lock(&m_mutex);
    m_dMeas = dMeas;
}

void LonSimulator::setSendResult(bool accepted)
{
    QMutexLocker lock(&m_mutex);
    m_sendResult = accepted;
}

void LonSimulator::setAutoAnswer(bool enabled)
{
    QMutexLocker lock(&m_mutex);
    m_autoAnswer = enabled;
}

void LonSimulator::setMemory(unsigned short nvId, QByteArray const& bytes)
{
    QMutexLocker lock(&m_mutex);
    m_memory.insert(nvId, bytes);
}

QByteArray LonSimulator::memory(unsigned short nvId) const
{
    QMutexLocker lock(&m_mutex);
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
        QMutexLocker lock(&m_mutex);
        record(Record::Delivery, nvId, data.bytes());
        for (auto const& entry : qAsConst(m_receivers)) {
            if (entry.first == nvId && !targets.contains(entry.second))
                targets.append(entry.second);
        }
    }
    for (auto const& receiver : qAsConst(targets))
        receiver->nvReceived(nvId, data);
}

QList<LonSimulator::Record> LonSimulator::records() const
{
    QMutexLocker lock(&m_mutex);
    return m_records;
}

QList<LonSimulator::Record> LonSimulator::records(Record::Kind kind) const
{
    QMutexLocker lock(&m_mutex);
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
    QMutexLocker lock(&m_mutex);
    return m_moduleStatus;
}

int LonSimulator::receiverCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_receivers.size();
}

void LonSimulator::clearRecords()
{
    QMutexLocker lock(&m_mutex);
    m_records.clear();
}
