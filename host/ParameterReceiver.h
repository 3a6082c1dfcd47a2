#pragma once

#include <QPointer>
#include <QSet>

#include "ParameterService.h"
#include "Parameters.h"

class IModuleControl;

// Base of an object that reads host parameters and hears of their changes.
// It leaves the service in its destructor, so it is never called back after.
class ParameterReceiver
{
public:
    ParameterReceiver() = default;
    virtual ~ParameterReceiver();

    // False when the host has no parameter service; reads then give the default.
    bool initialize(IModuleControl const* control);
    void registerParameter(Parameters parameter);
    void unregisterParameter(Parameters parameter);
    long long getParameter(Parameters parameter, long long defaultValue) const;
    // Only an active receiver is told of changes.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    bool isRegistered(Parameters parameter) const { return m_registered.contains(parameter); }

    // Called by the service on the GUI thread for a registered parameter.
    virtual void parameterChanged(Parameters parameter, long long value);
    // Service mode (parameter 56) switched.
    virtual void enabledService(bool enabled);

private:
    // The service forgets its receivers (and they it) when it goes first.
    friend class ParameterService;

    // Guarded: the service may go before a receiver that never registered a parameter.
    QPointer<ParameterService> m_service;
    QSet<int> m_registered;
    bool m_active = false;
};
