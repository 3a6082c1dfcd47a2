#include "StateMachine.h"

#include "StateEvent.h"

StateMachine::StateMachine(QObject* parent) : QObject(parent) {}

StateMachine::~StateMachine()
{
    QList<StateEvent*> const receivers = m_receivers;
    m_receivers.clear();
    // Receivers may outlive the machine; they must not reach back into it.
    for (StateEvent* receiver : receivers) {
        receiver->m_machine = nullptr;
        receiver->m_registered = false;
    }
}

ModuleDependency const* StateMachine::getDependencies() const
{
    static ModuleDependency const dependencies[] = {{nullptr, false}};
    return dependencies;
}

void StateMachine::setState(NVT_FU_STATE state)
{
    NVT_FU_STATE const oldState = m_state;
    m_state = state;
    // A receiver may leave (or drop another) while it is told; ask the live list each time.
    QList<StateEvent*> const receivers = m_receivers;
    for (StateEvent* receiver : receivers) {
        if (m_receivers.contains(receiver))
            receiver->changedState(state);
        if (m_receivers.contains(receiver))
            receiver->stateReached(oldState, state);
    }
    emit stateChanged(oldState, state);
}

void StateMachine::requestState(NVT_FU_STATE state)
{
    QList<StateEvent*> const receivers = m_receivers;
    for (StateEvent* receiver : receivers) {
        if (m_receivers.contains(receiver))
            receiver->stateRequested(m_state, state);
    }
    setState(state);
}

void StateMachine::setVoltage(unsigned short kV)
{
    m_voltage = kV;
}

void StateMachine::setHvReady(bool ready)
{
    if (ready == m_hvReady)
        return;
    m_hvReady = ready;
    emit hvReadyChanged(ready);
}

void StateMachine::addReceiver(StateEvent* receiver)
{
    if (receiver != nullptr && !m_receivers.contains(receiver))
        m_receivers.append(receiver);
}

void StateMachine::removeReceiver(StateEvent* receiver)
{
    m_receivers.removeAll(receiver);
}
