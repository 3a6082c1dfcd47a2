#pragma once

#include <QList>
#include <QObject>

#include "IModule.h"
#include "IStatemachine.h"

class StateEvent;

// The host's state machine stand-in: the host (or a test) moves it; every
// registered StateEvent hears each change and its hooks for the states.
class StateMachine : public QObject, public IModule, public IStatemachine
{
    Q_OBJECT

public:
    explicit StateMachine(QObject* parent = nullptr);
    ~StateMachine() override;

    // IModule
    QString getName() const override { return QStringLiteral("Statemachine"); }
    unsigned int getVersion() const override { return 1; }
    ModuleDependency const* getDependencies() const override;
    bool initialize(IModuleControl*) override { return true; }
    void startModule() override {}
    void shutdownModule() override {}

    // IStatemachine
    NVT_FU_STATE getState() const override { return m_state; }
    unsigned short getVoltage() const override { return m_voltage; }

    // Moves to the state: changedState for every receiver, then the reached-state hooks.
    void setState(NVT_FU_STATE state);
    // Announces a request for the state (its requested-state hooks), then moves there.
    void requestState(NVT_FU_STATE state);
    void setVoltage(unsigned short kV);
    void setHvReady(bool ready);
    bool isHvReady() const { return m_hvReady; }

    void addReceiver(StateEvent* receiver);
    void removeReceiver(StateEvent* receiver);

signals:
    void stateChanged(int oldState, int newState);
    void hvReadyChanged(bool ready);

private:
    NVT_FU_STATE m_state = 0;
    unsigned short m_voltage = 0;
    bool m_hvReady = false;
    QList<StateEvent*> m_receivers;
};
