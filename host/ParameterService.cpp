#include "ParameterService.h"

#include <mutex>

#include "ParameterReceiver.h"

ParameterService::ParameterService(QObject* parent) : QObject(parent) {}

ParameterService::~ParameterService()
{
    QList<ParameterReceiver*> receivers;
    {
        std::unique_lock<std::shared_mutex> locker(m_lock);
        receivers.swap(m_receivers);
    }
    // Receivers may outlive the service; they must not reach back into it.
    for (ParameterReceiver* receiver : receivers)
        receiver->m_service = nullptr;
}

ModuleDependency const* ParameterService::getDependencies() const
{
    static ModuleDependency const dependencies[] = {{nullptr, false}};
    return dependencies;
}

void ParameterService::setParameter(Parameters parameter, long long value)
{
    QList<ParameterReceiver*> receivers;
    {
        std::unique_lock<std::shared_mutex> locker(m_lock);
        m_values.insert(parameter, value);
        receivers = m_receivers;
    }
    emit parameterSet(parameter, value);

    // A receiver may drop another (or itself) while it is told; ask the live list each time.
    for (ParameterReceiver* receiver : receivers) {
        {
            std::shared_lock<std::shared_mutex> locker(m_lock);
            if (!m_receivers.contains(receiver))
                continue;
        }
        if (receiver->isActive() && receiver->isRegistered(parameter))
            receiver->parameterChanged(parameter, value);
    }
}

long long ParameterService::value(Parameters parameter, long long defaultValue) const
{
    std::shared_lock<std::shared_mutex> locker(m_lock);
    return m_values.value(parameter, defaultValue);
}

bool ParameterService::contains(Parameters parameter) const
{
    std::shared_lock<std::shared_mutex> locker(m_lock);
    return m_values.contains(parameter);
}

void ParameterService::addReceiver(ParameterReceiver* receiver)
{
    if (receiver == nullptr)
        return;
    std::unique_lock<std::shared_mutex> locker(m_lock);
    if (!m_receivers.contains(receiver))
        m_receivers.append(receiver);
}

void ParameterService::removeReceiver(ParameterReceiver* receiver)
{
    std::unique_lock<std::shared_mutex> locker(m_lock);
    m_receivers.removeAll(receiver);
}
