#pragma once

class NVData;

// Receiver of network-variable updates. The LON client may call it on its own thread.
class ILonEvent
{
public:
    virtual ~ILonEvent() = default;
    virtual void nvReceived(unsigned short nvId, NVData const& data) = 0;
};
