#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>

#include "IStatemachine.h"
#include "StateMachine.h"

class IModuleControl;
class QObject;

// Base of an object that follows the state machine: changedState for every
// change, and named Qt methods invoked (queued, with the previous state as a
// QVariant) when a state is reached or requested. It leaves the state machine
// in its destructor.
class StateEvent
{
public:
    StateEvent() = default;
    virtual ~StateEvent();

    bool initialize(IModuleControl const* control);
    void registerStateEvent();
    void unregisterStateEvent();
    void setMetaMethodForReachedState(NVT_FU_STATE state, QObject* receiver, char const* method);
    void setMetaMethodForRequestedState(NVT_FU_STATE state, QObject* receiver, char const* method);
    void removeMetaMethods();

    // Every change; the base remembers the state.
    virtual void changedState(NVT_FU_STATE state);
    NVT_FU_STATE getCurrentState() const { return m_currentState; }

    // Called by the state machine.
    void stateReached(NVT_FU_STATE oldState, NVT_FU_STATE newState);
    void stateRequested(NVT_FU_STATE oldState, NVT_FU_STATE requested);

private:
    // The machine detaches its receivers when it goes first.
    friend class StateMachine;

    struct Hook
    {
        NVT_FU_STATE state;
        bool requested;
        QPointer<QObject> receiver;
        QByteArray method;
    };
    void invokeHooks(NVT_FU_STATE oldState, NVT_FU_STATE state, bool requested);

    // Guarded: the state machine may go before its receivers.
    QPointer<StateMachine> m_machine;
    bool m_registered = false;
    NVT_FU_STATE m_currentState = 0;
    QList<Hook> m_hooks;
};
