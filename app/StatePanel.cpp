#include "app/StatePanel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

#include "host/StateMachine.h"

namespace {

constexpr int kHighestState = 15;
constexpr int kHighestVoltageKv = 80;

} // namespace

StatePanel::StatePanel(StateMachine* stateMachine, QWidget* parent)
    : QWidget(parent)
    , m_stateMachine(stateMachine)
{
    m_state = new QSpinBox(this);
    m_state->setObjectName(QStringLiteral("state"));
    m_state->setRange(0, kHighestState);
    m_hvReady = new QCheckBox(this);
    m_hvReady->setObjectName(QStringLiteral("hvReady"));
    m_voltage = new QSpinBox(this);
    m_voltage->setObjectName(QStringLiteral("voltage"));
    m_voltage->setRange(0, kHighestVoltageKv);
    m_voltage->setSuffix(tr(" kV"));

    auto* layout = new QFormLayout(this);
    layout->addRow(tr("State"), m_state);
    layout->addRow(tr("HV ready"), m_hvReady);
    layout->addRow(tr("Voltage"), m_voltage);
    showState();

    connect(m_state, QOverload<int>::of(&QSpinBox::valueChanged), m_stateMachine, &StateMachine::setState);
    connect(m_hvReady, &QCheckBox::toggled, m_stateMachine, &StateMachine::setHvReady);
    connect(m_voltage, QOverload<int>::of(&QSpinBox::valueChanged), this,
        [this](int kV) { m_stateMachine->setVoltage(static_cast<unsigned short>(kV)); });
    connect(m_stateMachine, &StateMachine::stateChanged, this, &StatePanel::showState);
    connect(m_stateMachine, &StateMachine::hvReadyChanged, this, &StatePanel::showState);
}

StatePanel::~StatePanel() = default;

void StatePanel::showState()
{
    QSignalBlocker const stateBlocker(m_state);
    QSignalBlocker const readyBlocker(m_hvReady);
    QSignalBlocker const voltageBlocker(m_voltage);
    m_state->setValue(m_stateMachine->getState());
    m_hvReady->setChecked(m_stateMachine->isHvReady());
    m_voltage->setValue(m_stateMachine->getVoltage());
}
