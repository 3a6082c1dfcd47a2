#pragma once

#include <QPushButton>

// The toolkit's push button.
class Button : public QPushButton
{
    Q_OBJECT

public:
    Button(QWidget* parent, char const* name, bool bCheckable);
    ~Button() override = default;
};
