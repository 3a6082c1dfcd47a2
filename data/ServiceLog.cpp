#include "data/ServiceLog.h"

#include <QString>

#include "host/LoggingCtrl.h"

void logService(QString const& text)
{
    if (LoggingCtrl* logger = getLogger())
        logger->logService(text.toUtf8().constData());
}
