#pragma once

#include <QLabel>

// The toolkit's text label (section titles of the calibration dialogs).
class ColoredLabel : public QLabel
{
    Q_OBJECT

public:
    ColoredLabel(QWidget* parent, char const* name, Qt::WindowFlags flags);
    ~ColoredLabel() override = default;

    virtual void setText(QString const& text);
};
