#include "FormLabel.h"

FormLabel::FormLabel(QString const& text, Point const& position, Size const& size, bool bold, int pointSize,
                     int alignment)
    : m_text(text), m_position(position), m_size(size), m_bold(bold), m_pointSize(pointSize), m_alignment(alignment)
{
}
