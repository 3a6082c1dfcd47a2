#pragma once

#include <QString>

#include "Point.h"
#include "Size.h"

// A positioned text of a printed form.
class FormLabel
{
public:
    // Alignment values: left/top/absolute and right/top/absolute.
    static constexpr int AlignLeftTop = 0x31;
    static constexpr int AlignRightTop = 0x32;

    FormLabel() = default;
    FormLabel(QString const& text, Point const& position, Size const& size, bool bold, int pointSize,
              int alignment);

    QString text() const { return m_text; }
    Point position() const { return m_position; }
    Size size() const { return m_size; }
    bool bold() const { return m_bold; }
    int pointSize() const { return m_pointSize; }
    int alignment() const { return m_alignment; }

private:
    QString m_text;
    Point m_position;
    Size m_size;
    bool m_bold = false;
    int m_pointSize = 10;
    int m_alignment = AlignLeftTop;
};
