#include "Button.h"

Button::Button(QWidget* parent, char const* name, bool bCheckable) : QPushButton(parent)
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    setCheckable(bCheckable);
}
