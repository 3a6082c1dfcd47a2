#include "records/CalibrationFileGuard.h"

#include <QXmlStreamReader>

CalibrationFileGuard::Verdict CalibrationFileGuard::check(QString const& text)
{
    if (text.size() > MaxCharacters)
        return Verdict::Refused;

    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            return Verdict::Refused;
        case QXmlStreamReader::StartElement:
            if (++depth > MaxDepth)
                return Verdict::Refused;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return reader.hasError() ? Verdict::NotWellFormed : Verdict::Acceptable;
}
