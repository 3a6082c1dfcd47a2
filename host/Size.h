#pragma once

// A size on a form, in the form library's unit (3: millimetres).
struct Size
{
    Size() = default;
    Size(double widthValue, double heightValue, int unitValue = 3)
        : width(widthValue), height(heightValue), unit(unitValue)
    {
    }
    double width = 0;
    double height = 0;
    int unit = 3;
};
