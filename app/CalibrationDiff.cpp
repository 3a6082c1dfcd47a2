#include "app/CalibrationDiff.h"

#include <QTextStream>
#include <QXmlStreamReader>

#include "app/StickFileReader.h"
#include "data/LonCalibrationTypes.h"

using namespace LonCalibrationTypes;

namespace {

// Deeper than any calibration document; a hostile file stops here.
constexpr int kMaxDepth = 8;

} // namespace

bool CalibrationDiff::read(QString const& path, QMap<int, QString>* values, QString* error)
{
    QString text;
    if (!StickFileReader::read(path, &text, error))
        return false;
    return parse(text, path, values, error);
}

bool CalibrationDiff::parse(QString const& text, QString const& path, QMap<int, QString>* values, QString* error)
{
    auto refuse = [path, error](QString const& cause) {
        *error = QStringLiteral("%1 is not a calibration document: %2").arg(path, cause);
        return false;
    };

    // The document element's "value" children, as the module reads them.
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        QXmlStreamReader::TokenType const token = reader.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return refuse(QStringLiteral("it declares a document type"));
        if (token == QXmlStreamReader::EndElement)
            --depth;
        if (token == QXmlStreamReader::Characters && depth == 1 && !reader.isWhitespace())
            return refuse(QStringLiteral("text outside a value at line %1").arg(reader.lineNumber()));
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++depth > kMaxDepth)
            return refuse(QStringLiteral("nested too deeply"));
        if (depth != 2)
            continue;
        if (reader.name() != QLatin1String("value"))
            return refuse(QStringLiteral("a <%1> element at line %2").arg(reader.name().toString()).arg(reader.lineNumber()));
        QString const key = reader.attributes().value(QStringLiteral("key")).toString();
        CalibrationParameters const parameter = calibrationParameterForKey(key);
        if (parameter == CalParamNone)
            return refuse(QStringLiteral("unknown key \"%1\" at line %2").arg(key).arg(reader.lineNumber()));
        QString const value = reader.readElementText().trimmed();
        --depth;
        bool number = false;
        value.toInt(&number, 10);
        if (!number)
            return refuse(QStringLiteral("\"%1\" is not a whole number at line %2").arg(value).arg(reader.lineNumber()));
        // A later value of the same key replaces the earlier one, as in a load.
        values->insert(parameter, QString::number(value.toInt()));
    }
    if (reader.hasError())
        return refuse(reader.errorString());
    if (values->isEmpty() && text.trimmed().isEmpty())
        return refuse(QStringLiteral("it is empty"));
    return true;
}

int CalibrationDiff::compare(QString const& first, QString const& second, QTextStream& out, QString* error)
{
    QMap<int, QString> a;
    QMap<int, QString> b;
    if (!read(first, &a, error) || !read(second, &b, error))
        return Unreadable;
    QList<int> const all = allKeys(a, b);
    QList<int> const changed = changedKeys(a, b);
    for (int const parameter : changed)
        out << calibrationParameterKey(static_cast<CalibrationParameters>(parameter)) << ": " << valueOf(a, parameter)
            << " -> " << valueOf(b, parameter) << '\n';
    int const differences = changed.size();
    out << (differences == 0 ? QStringLiteral("the same values (%1)").arg(all.size())
                             : QStringLiteral("%1 of %2 values differ").arg(differences).arg(all.size()))
        << '\n';
    out.flush();
    return differences == 0 ? Same : Different;
}
