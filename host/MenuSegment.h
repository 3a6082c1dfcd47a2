#pragma once

#include "ISegment.h"

class QToolButton;

// A button or toggle of the service menu strip.
class MenuSegment : public ISegment
{
    Q_OBJECT

public:
    // A toggle when onTitle is not empty.
    MenuSegment(QString const& offTitle, QString const& onTitle, QString const& iconPath, bool toggle,
                ToggleStates initial, QWidget* parent = nullptr);
    ~MenuSegment() override;

    QString title() const override;
    bool isToggle() const override { return m_toggle; }
    ToggleStates toggleState() const override { return m_state; }
    QString iconPath() const { return m_iconPath; }

    // Shows the state; emits stateChanged only when it differs.
    void setToggleState(ToggleStates state);
    // What a tap does: a button clicks, a toggle flips.
    void tap();

private:
    void refresh();

    QString m_offTitle;
    QString m_onTitle;
    QString m_iconPath;
    bool m_toggle;
    ToggleStates m_state;
    QToolButton* m_button = nullptr;
};
