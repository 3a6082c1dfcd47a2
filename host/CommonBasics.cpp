#include "CommonBasics.h"

#include <QTime>

QString CommonBasics::getTimeString(QString const& format)
{
    return QTime::currentTime().toString(format);
}
