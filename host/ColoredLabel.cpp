#include "ColoredLabel.h"

ColoredLabel::ColoredLabel(QWidget* parent, char const* name, Qt::WindowFlags flags) : QLabel(parent, flags)
{
    if (name)
        setObjectName(QString::fromUtf8(name));
}

void ColoredLabel::setText(QString const& text)
{
    QLabel::setText(text);
}
