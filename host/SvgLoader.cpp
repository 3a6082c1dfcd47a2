#include "SvgLoader.h"

#include <QCache>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace svgLoader {

namespace {

// Larger requests are a caller's mistake; refusing them keeps a bad size from
// allocating gigabytes.
constexpr int kMaxSide = 4096;

struct ImageCache
{
    QMutex mutex;
    QCache<QString, QImage> images{64};
};

ImageCache& imageCache()
{
    static ImageCache cache;
    return cache;
}

int requestedSide(double side)
{
    if (!std::isfinite(side) || side < 1.0)
        return 0;
    if (side > kMaxSide)
        return -1;
    return static_cast<int>(std::lround(side));
}

} // namespace

QImage SVG::loadImage(QString const& path, double width, double height, int mode, QColor color, bool keepAspect,
                      bool cache)
{
    Q_UNUSED(mode) // one rendering mode in this toolkit

    const int requestedWidth = requestedSide(width);
    const int requestedHeight = requestedSide(height);
    if (requestedWidth < 0 || requestedHeight < 0)
        return QImage();

    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(path)
                            .arg(requestedWidth)
                            .arg(requestedHeight)
                            .arg(color.isValid() ? color.name(QColor::HexArgb) : QString())
                            .arg(keepAspect);
    if (cache) {
        QMutexLocker lock(&imageCache().mutex);
        if (QImage* hit = imageCache().images.object(key))
            return *hit;
    }

    // Checked first: a missing file is an expected answer, not a warning.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QImage();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QImage();

    QSize own = renderer.defaultSize();
    if (own.isEmpty())
        own = renderer.viewBox().size();
    if (own.isEmpty())
        return QImage();

    // A missing side follows the given one in the file's proportions.
    QSize size = own;
    if (requestedWidth > 0 && requestedHeight > 0)
        size = QSize(requestedWidth, requestedHeight);
    else if (requestedWidth > 0)
        size = QSize(requestedWidth, qMax(1, requestedWidth * own.height() / own.width()));
    else if (requestedHeight > 0)
        size = QSize(qMax(1, requestedHeight * own.width() / own.height()), requestedHeight);
    if (size.width() > kMaxSide || size.height() > kMaxSide)
        return QImage();

    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF target(QPointF(0, 0), QSizeF(size));
        if (keepAspect) {
            const QSizeF fitted = QSizeF(own).scaled(target.size(), Qt::KeepAspectRatio);
            target = QRectF(QPointF((size.width() - fitted.width()) / 2, (size.height() - fitted.height()) / 2),
                            fitted);
        }
        renderer.render(&painter, target);
        if (color.isValid()) {
            // Keep the drawn shape, take the colour: the toolkit's monochrome icons.
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), color);
        }
    }

    if (cache) {
        QMutexLocker lock(&imageCache().mutex);
        imageCache().images.insert(key, new QImage(image));
    }
    return image;
}

} // namespace svgLoader
