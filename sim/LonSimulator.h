#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QAtomicInt>
#include <mutex>
#include <QObject>
#include <QSharedPointer>

#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/NVData.h"
#include "sim/InstrumentProfile.h"

class ILonEvent;
class QThread;
class SimulatorWorker;

// The simulated LON client: node memory behind ILon and ILonManagement. Every
// registration, poll, send, module-status switch and delivery is recorded.
// With automatic answers on, a poll is answered later from the node memory on
// the simulator's own thread, and the measurement variables stream from there
// while module status is on; with them off (the default for unit tests)
// nothing answers until a test delivers a variable itself. Faults (latency,
// loss, duplication, reordering, failed writes) can be switched on.
class LonSimulator : public QObject, public IModule, public ILon, public ILonManagement
{
    Q_OBJECT

public:
    struct Record
    {
        enum Kind
        {
            Register,
            Unregister,
            Poll,
            Send,
            ModuleStatus,
            Delivery
        };
        Kind kind;
        qint64 timeMs;
        unsigned short nvId;
        QByteArray bytes;
        bool flag; // module status on/off, send result
    };

    // Faults a test or an engineer switches on; rates are probabilities 0..1.
    struct Faults
    {
        int latencyMs = 2;        // every answer waits this long
        int jitterMs = 0;         // plus up to this much at random
        double lossRate = 0;      // answers that never come
        double duplicateRate = 0; // answers that come twice
        double reorderRate = 0;   // answers held back behind later ones
        bool failWrites = false;  // sends answer false and change nothing
        quint32 seed = 1;
    };

    // Most records kept; older ones are dropped first.
    static constexpr int MaxRecords = 200000;

    explicit LonSimulator(QObject* parent = nullptr);
    ~LonSimulator() override;

    // IModule
    QString getName() const override { return QStringLiteral("LonAccess"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    // ILon
    void registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver) override;
    bool isNetworkOnline() const override { return true; }
    void unregisterEvent(QSharedPointer<ILonEvent> receiver) override;
    void enableModuleStatus(QSharedPointer<ILonEvent> receiver, bool enable) override;
    void pollNV(unsigned short nvId) override;
    bool sendNV(unsigned short nvId, NVData const& data) override;

    // ILonManagement
    bool checkNodeVersion(unsigned char node, unsigned short version) override;
    QList<unsigned char> getNodeList() override;
    bool hasDMeas() override;

    // Instrument set-up.
    void setNodeVersions(unsigned char node, QList<unsigned short> const& versions);
    void removeNode(unsigned char node);
    void setDMeas(bool dMeas);
    void setSendResult(bool accepted);
    // Answers from the simulator's own thread; off stops the thread.
    void setAutoAnswer(bool enabled);
    bool isAutoAnswer() const;
    void setFaults(Faults const& faults);
    Faults faults() const;
    // Measurement period while module status is on; 0 streams nothing.
    void setStreamingInterval(int ms);
    int streamingInterval() const;
    // Becomes the profile's instrument: nodes, versions, memory, measurements.
    void applyProfile(InstrumentProfile const& profile);
    QString profileName() const;
    QList<unsigned short> measurements() const;
    // Node memory as a JSON file: {"profile": name, "variables": {"0x1275": "01fe..."}}.
    bool saveMemory(QString const& path, QString* error = nullptr) const;
    bool loadMemory(QString const& path, QString* error = nullptr);
    // Answers still on their way.
    int pendingAnswers() const;
    // On the GUI thread: runs the event loop until no answer is pending and the
    // deliveries have been handled, or the time is up. False on time-out.
    bool waitUntilIdle(int timeoutMs);
    // Node memory by the variable's poll identifier; a send to the write
    // identifier (one index below) lands under the poll identifier.
    void setMemory(unsigned short nvId, QByteArray const& bytes);
    QByteArray memory(unsigned short nvId) const;
    static unsigned short pollIdForWrite(unsigned short writeId);

    // Hands the variable to every receiver registered for it, on the calling thread.
    void deliver(unsigned short nvId, NVData const& data);

    // What happened, in order.
    QList<Record> records() const;
    QList<Record> records(Record::Kind kind) const;
    QList<unsigned short> registrations() const;
    QList<unsigned short> polls() const;
    QList<QPair<unsigned short, QByteArray>> sends() const;
    QList<bool> moduleStatusCalls() const;
    bool isModuleStatusOn() const;
    int receiverCount() const;
    void clearRecords();

signals:
    // Every record as it happens, from whichever thread made it.
    void recorded(LonSimulator::Record const& record);

private:
    friend class SimulatorWorker;

    void record(Record::Kind kind, unsigned short nvId, QByteArray const& bytes = QByteArray(), bool flag = false);
    // A poll on its way to the worker, with the faults on when it was made.
    struct QueuedPoll
    {
        unsigned short nvId;
        Faults faults;
    };
    QList<QueuedPoll> takeQueuedPolls();
    void answerPoll(unsigned short nvId);
    void deliverMeasurements(quint64 tick);
    void stopThread();

    // A standard mutex: thread checkers see it (the Qt one hides in the Qt library).
    mutable std::mutex m_mutex;
    QElapsedTimer m_clock;
    QList<Record> m_records;
    QList<QPair<unsigned short, QSharedPointer<ILonEvent>>> m_receivers;
    QHash<unsigned char, QList<unsigned short>> m_nodeVersions;
    QHash<unsigned short, QByteArray> m_memory;
    bool m_dMeas = false;
    bool m_sendResult = true;
    bool m_autoAnswer = false;
    bool m_moduleStatus = false;
    Faults m_faults;
    int m_streamingMs = 250;
    QString m_profileName;
    QList<unsigned short> m_measurements;
    QList<QueuedPoll> m_pollQueue;
    QAtomicInt m_pending;
    QAtomicInt m_inFlight;
    QAtomicInt m_workerGone;
    QThread* m_thread = nullptr;
    SimulatorWorker* m_worker = nullptr;
};

Q_DECLARE_METATYPE(LonSimulator::Record)
