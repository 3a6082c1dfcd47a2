#pragma once

#include <QSharedPointer>

class ILonEvent;
class NVData;

// The LON client: reads and writes network variables. An NV identifier holds
// the node number in its high byte and the variable's index in its low byte.
class ILon
{
public:
    virtual ~ILon() = default;

    // From now on every update of the variable reaches the receiver.
    virtual void registerEvent(unsigned short nvId, QSharedPointer<ILonEvent> receiver) = 0;
    // Whether the client currently has a link to the network.
    virtual bool isNetworkOnline() const = 0;
    // Ends every delivery to the receiver.
    virtual void unregisterEvent(QSharedPointer<ILonEvent> receiver) = 0;
    // Switches the client's module-status reporting on or off for the receiver.
    virtual void enableModuleStatus(QSharedPointer<ILonEvent> receiver, bool enable) = 0;
    // Asks the node for the variable; the answer arrives later through nvReceived.
    virtual void pollNV(unsigned short nvId) = 0;
    // Writes the variable; true when the write was accepted.
    virtual bool sendNV(unsigned short nvId, NVData const& data) = 0;
};
