#pragma once

#include <QHash>
#include <QSharedPointer>

#include "host/ILon.h"
#include "host/IModule.h"

class LonSimulator;

// Stands between the module and the simulated LON client and keeps the
// receiver registered for each variable, so a measurement can hand updates to
// the module's handler directly, without the simulator's own bookkeeping
// (lock, traffic record) in the figure. Everything else goes to the simulator.
class CapturingLon : public IModule, public ILon
{
public:
    explicit CapturingLon(LonSimulator* simulator);

    QString getName() const override { return QStringLiteral("LonAccess"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    void registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver) override;
    bool isNetworkOnline() const override;
    void unregisterEvent(QSharedPointer<ILonEvent> receiver) override;
    void enableModuleStatus(QSharedPointer<ILonEvent> receiver, bool enable) override;
    void pollNV(unsigned short nvId) override;
    bool sendNV(unsigned short nvId, NVData const& data) override;

    // The receiver registered for a variable, or null.
    ILonEvent* receiver(unsigned short nvId) const;

private:
    LonSimulator* m_simulator;
    QHash<unsigned short, QSharedPointer<ILonEvent>> m_receivers;
};
