#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace svgLoader {

// Renders SVG files for labels and buttons.
class SVG
{
public:
    // width/height of -1 (or less than 1) take the file's own size; a valid color
    // recolours every drawn pixel. An unreadable file gives a null image.
    static QImage loadImage(QString const& path, double width, double height, int mode, QColor color,
                            bool keepAspect, bool cache);
};

} // namespace svgLoader
