#include "StateEvent.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <QVariant>

#include "IModuleControl.h"
#include "StateMachine.h"

StateEvent::~StateEvent()
{
    unregisterStateEvent();
}

bool StateEvent::initialize(IModuleControl const* control)
{
    StateMachine* machine = nullptr;
    if (control != nullptr)
        machine = dynamic_cast<StateMachine*>(control->getModule("IStatemachine"));

    if (machine != m_machine) {
        bool const wasRegistered = m_registered;
        unregisterStateEvent();
        m_machine = machine;
        if (wasRegistered)
            registerStateEvent();
    }
    if (m_machine != nullptr)
        m_currentState = m_machine->getState();
    return m_machine != nullptr;
}

void StateEvent::registerStateEvent()
{
    if (m_machine == nullptr || m_registered)
        return;
    m_machine->addReceiver(this);
    m_registered = true;
}

void StateEvent::unregisterStateEvent()
{
    if (m_machine != nullptr && m_registered)
        m_machine->removeReceiver(this);
    m_registered = false;
}

namespace {

QByteArray normalizedMethod(char const* method)
{
    return QMetaObject::normalizedSignature(method);
}

} // namespace

void StateEvent::setMetaMethodForReachedState(NVT_FU_STATE state, QObject* receiver, char const* method)
{
    if (receiver == nullptr || method == nullptr || *method == '\0')
        return;
    Hook const hook{state, false, receiver, normalizedMethod(method)};
    // A module that starts again sets its hooks again; one call per reached state is enough.
    for (Hook const& present : qAsConst(m_hooks)) {
        if (present.state == hook.state && !present.requested && present.receiver == receiver
            && present.method == hook.method)
            return;
    }
    m_hooks.append(hook);
}

void StateEvent::setMetaMethodForRequestedState(NVT_FU_STATE state, QObject* receiver, char const* method)
{
    if (receiver == nullptr || method == nullptr || *method == '\0')
        return;
    Hook const hook{state, true, receiver, normalizedMethod(method)};
    for (Hook const& present : qAsConst(m_hooks)) {
        if (present.state == hook.state && present.requested && present.receiver == receiver
            && present.method == hook.method)
            return;
    }
    m_hooks.append(hook);
}

void StateEvent::removeMetaMethods()
{
    m_hooks.clear();
}

void StateEvent::changedState(NVT_FU_STATE state)
{
    m_currentState = state;
}

void StateEvent::stateReached(NVT_FU_STATE oldState, NVT_FU_STATE newState)
{
    invokeHooks(oldState, newState, false);
}

void StateEvent::stateRequested(NVT_FU_STATE oldState, NVT_FU_STATE requested)
{
    invokeHooks(oldState, requested, true);
}

void StateEvent::invokeHooks(NVT_FU_STATE oldState, NVT_FU_STATE state, bool requested)
{
    QList<Hook> const hooks = m_hooks;
    for (Hook const& hook : hooks) {
        if (hook.state != state || hook.requested != requested || hook.receiver.isNull())
            continue;
        QObject* const receiver = hook.receiver.data();
        QVariant const argument(oldState);
        int const index = receiver->metaObject()->indexOfMethod(hook.method.constData());
        if (index >= 0) {
            receiver->metaObject()->method(index).invoke(receiver, Qt::QueuedConnection, Q_ARG(QVariant, argument));
        } else {
            // A bare name ("Prepared") or a signature that differs only in spelling.
            int const paren = hook.method.indexOf('(');
            QByteArray const name = paren < 0 ? hook.method : hook.method.left(paren);
            QMetaObject::invokeMethod(receiver, name.constData(), Qt::QueuedConnection, Q_ARG(QVariant, argument));
        }
    }
}
