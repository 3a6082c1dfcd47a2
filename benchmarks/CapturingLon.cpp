#include "CapturingLon.h"

#include "host/ILonEvent.h"
#include "sim/LonSimulator.h"

CapturingLon::CapturingLon(LonSimulator* simulator) : m_simulator(simulator) {}

ModuleDependency const* CapturingLon::getDependencies() const
{
    static ModuleDependency const none[] = {{nullptr, false}};
    return none;
}

void CapturingLon::registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver)
{
    m_receivers.insert(nvId, receiver);
    m_simulator->registerEvent(nvId, receiver);
}

bool CapturingLon::isNetworkOnline() const
{
    return m_simulator->isNetworkOnline();
}

void CapturingLon::unregisterEvent(QSharedPointer<ILonEvent> receiver)
{
    for (auto it = m_receivers.begin(); it != m_receivers.end();) {
        if (it.value() == receiver)
            it = m_receivers.erase(it);
        else
            ++it;
    }
    m_simulator->unregisterEvent(receiver);
}

void CapturingLon::enableModuleStatus(QSharedPointer<ILonEvent> receiver, bool enable)
{
    m_simulator->enableModuleStatus(receiver, enable);
}

void CapturingLon::pollNV(unsigned short nvId)
{
    m_simulator->pollNV(nvId);
}

bool CapturingLon::sendNV(unsigned short nvId, NVData const& data)
{
    return m_simulator->sendNV(nvId, data);
}

ILonEvent* CapturingLon::receiver(unsigned short nvId) const
{
    return m_receivers.value(nvId).data();
}
