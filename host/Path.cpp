#include "Path.h"

// Both folders are compiled into lonhost as Qt resources (resources/icons.qrc).
QString Path::image(QString const& fileName)
{
    return QStringLiteral(":/images/") + fileName;
}

QString Path::icon(QString const& fileName)
{
    return QStringLiteral(":/icons/") + fileName;
}
