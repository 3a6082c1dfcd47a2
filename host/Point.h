#pragma once

// A position on a form, in the form library's unit (3: millimetres).
struct Point
{
    Point() = default;
    Point(double xValue, double yValue, int unitValue = 3) : x(xValue), y(yValue), unit(unitValue) {}
    double x = 0;
    double y = 0;
    int unit = 3;
};
