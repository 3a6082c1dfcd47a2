#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>

#include "host/ILon.h"
#include "host/ILonManagement.h"
#include "host/IModule.h"
#include "host/NVData.h"

class ILonEvent;

// The simulated LON client: node memory behind ILon and ILonManagement. Every
// registration, poll, send, module-status switch and delivery is recorded.
// With automatic answers on, a poll is answered later from the node memory;
// with them off (the default for unit tests) nothing answers until a test
// delivers a variable itself. Deliveries may come from any thread.
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
    void setAutoAnswer(bool enabled);
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

private:
    void record(Record::Kind kind, unsigned short nvId, QByteArray const& bytes = QByteArray(), bool flag = false);
    void answerPoll(unsigned short nvId);

    mutable QMutex m_mutex;
    QElapsedTimer m_clock;
    QList<Record> m_records;
    QList<QPair<unsigned short, QSharedPointer<ILonEvent>>> m_receivers;
    QHash<unsigned char, QList<unsigned short>> m_nodeVersions;
    QHash<unsigned short, QByteArray> m_memory;
    bool m_dMeas = false;
    bool m_sendResult = true;
    bool m_autoAnswer = false;
    bool m_moduleStatus = false;
};
