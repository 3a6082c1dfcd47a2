#pragma once

#include <QWidget>

enum ToggleStates
{
    ToggleOff = 0,
    ToggleOn = 1
};
Q_DECLARE_METATYPE(ToggleStates)

// One entry of a service menu page: a button (clicked) or a toggle (stateChanged).
class ISegment : public QWidget
{
    Q_OBJECT

public:
    explicit ISegment(QWidget* parent = nullptr) : QWidget(parent) {}
    ~ISegment() override = default;

    virtual QString title() const = 0;
    virtual bool isToggle() const = 0;
    virtual ToggleStates toggleState() const = 0;

signals:
    void clicked();
    void stateChanged(ToggleStates state);
};
