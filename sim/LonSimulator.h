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
// loss, duplication, reordering, short answers, failed writes) can be switched
// on, and every automatically answered poll is accounted for: answered in
// full, short, or not at all.
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
        QList<unsigned short> shortAnswers; // answers of these variables come short...
        int shortBy = 1; // ...by this many bytes off their end

        // Faults from a compact text, items separated by commas:
        // "loss=1,short=0x1375,failwrites,latency=5,seed=3". Items: loss,
        // duplicate, reorder (rates 0..1), latency, jitter (ms), seed,
        // failwrites, short (an identifier, may repeat), shortby (bytes).
        // Starts from the defaults; on an unknown or malformed item false, a
        // message naming the item, and *faults unchanged.
        static bool parse(QString const& list, Faults* faults, QString* error = nullptr);
    };

    // What became of one automatically answered poll.
    struct PollOutcome
    {
        enum Kind
        {
            Answered, // in full
            Short, // fewer bytes than a whole record
            Unanswered, // lost, or no node holds the variable
            Pending // still on its way
        };
        unsigned short nvId;
        Kind kind;
        int bytes; // delivered by the first answer
        int expected; // a whole record: the profile's size, else what the memory held
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
    // Node memory as a JSON file (NodeMemoryFile): {"profile": name,
    // "variables": {"0x1275": "01fe..."}}. Saving writes the profile's
    // variables whole or not at all; it fails when there is no profile or a
    // variable is not the profile's length (the file could not be read back).
    bool saveMemory(QString const& path, QString* error = nullptr) const;
    // Loads a node memory of `expectedProfile` over the current memory
    // (variables the file lacks keep theirs). Anything else is refused with a
    // message naming the file and the problem, and nothing changes. The
    // profile must be the simulator's own when one is applied; without one it
    // must be a known profile. An empty `expectedProfile` means the applied
    // profile, or when none is applied, the known profile the file names.
    bool loadMemory(QString const& path, QString const& expectedProfile, QString* error = nullptr);
    bool loadMemory(QString const& path, QString* error = nullptr);
    // Answers still on their way.
    int pendingAnswers() const;
    // On the GUI thread: runs the event loop until no answer is pending and the
    // deliveries have been handled, or the time is up. False on time-out. A
    // lost answer is not waited for: it is decided lost when it is scheduled.
    bool waitUntilIdle(int timeoutMs);
    // Every poll made while automatic answers are on, in order, and what
    // became of it; polls still pending when the thread stops count as
    // unanswered. missedPolls() holds the short and unanswered ones.
    // clearRecords() clears them too; clearPollOutcomes() clears only them.
    QList<PollOutcome> pollOutcomes() const;
    QList<PollOutcome> missedPolls() const;
    void clearPollOutcomes();
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
        quint64 serial; // its place in the poll outcomes
        unsigned short nvId;
        Faults faults;
    };
    QList<QueuedPoll> takeQueuedPolls();
    // Delivers the memory, `cut` bytes short; the first answer of a poll
    // decides its outcome.
    void answerPoll(QueuedPoll const& poll, int cut);
    void losePoll(QueuedPoll const& poll);
    // With the mutex held.
    quint64 addOutcome(PollOutcome const& outcome);
    void decideOutcome(quint64 serial, PollOutcome::Kind kind, int bytes, int expected);
    int expectedBytes(unsigned short nvId) const;
    void deliverMeasurements(quint64 tick);
    void stopThread();

    // A standard mutex: thread checkers see it (the Qt one hides in the Qt library).
    mutable std::mutex m_mutex;
    QElapsedTimer m_clock;
    QList<Record> m_records;
    QList<QPair<unsigned short, QSharedPointer<ILonEvent>>> m_receivers;
    QHash<unsigned char, QList<unsigned short>> m_nodeVersions;
    QHash<unsigned short, QByteArray> m_memory;
    // The applied profile's variables and their sizes.
    QHash<unsigned short, int> m_layout;
    QList<PollOutcome> m_outcomes;
    quint64 m_firstOutcome = 0; // serial of m_outcomes.first()
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
