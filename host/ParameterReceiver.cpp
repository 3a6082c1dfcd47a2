#include "ParameterReceiver.h"

#include "IModuleControl.h"
#include "ParameterService.h"

ParameterReceiver::~ParameterReceiver()
{
    if (m_service != nullptr)
        m_service->removeReceiver(this);
}

bool ParameterReceiver::initialize(IModuleControl const* control)
{
    ParameterService* service = nullptr;
    if (control != nullptr)
        service = dynamic_cast<ParameterService*>(control->getModule("IParameterControl"));

    if (service != m_service) {
        if (m_service != nullptr)
            m_service->removeReceiver(this);
        m_service = service;
        if (m_service != nullptr && !m_registered.isEmpty())
            m_service->addReceiver(this);
    }
    return m_service != nullptr;
}

void ParameterReceiver::registerParameter(Parameters parameter)
{
    m_registered.insert(parameter);
    if (m_service != nullptr)
        m_service->addReceiver(this);
}

void ParameterReceiver::unregisterParameter(Parameters parameter)
{
    m_registered.remove(parameter);
    if (m_registered.isEmpty() && m_service != nullptr)
        m_service->removeReceiver(this);
}

long long ParameterReceiver::getParameter(Parameters parameter, long long defaultValue) const
{
    return m_service != nullptr ? m_service->value(parameter, defaultValue) : defaultValue;
}

void ParameterReceiver::setActive(bool active)
{
    m_active = active;
}

void ParameterReceiver::parameterChanged(Parameters parameter, long long value)
{
    if (parameter == ParamServiceMode)
        enabledService(value != 0);
}

void ParameterReceiver::enabledService(bool) {}
