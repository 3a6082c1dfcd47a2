#pragma once

#include <QWidget>

class QCheckBox;
class QSpinBox;
class StateMachine;

// The host's state machine as the bench moves it: state, HV ready, voltage.
class StatePanel : public QWidget
{
    Q_OBJECT

public:
    explicit StatePanel(StateMachine* stateMachine, QWidget* parent = nullptr);
    ~StatePanel() override;

private:
    void showState();

    StateMachine* m_stateMachine;
    QSpinBox* m_state = nullptr;
    QCheckBox* m_hvReady = nullptr;
    QSpinBox* m_voltage = nullptr;
};
