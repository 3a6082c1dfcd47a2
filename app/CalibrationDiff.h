#pragma once

#include <QList>
#include <QMap>
#include <QString>

class QTextStream;

// Compares two calibration documents value by value: every document the
// module writes or loads, whatever its layout, encoding or order. The exit
// status says whether they hold the same values.
class CalibrationDiff
{
public:
    enum Status
    {
        Same = 0,
        Different = 1,
        Unreadable = 2
    };

    // Prints every key that differs or is in one document only, in ascending
    // parameter order, as "KEY: A -> B" ("-" where a document has none).
    static int compare(QString const& first, QString const& second, QTextStream& out, QString* error);

    // A value as a comparison shows it: "-" where the document has none.
    static QString valueOf(QMap<int, QString> const& values, int parameter)
    {
        return values.value(parameter, QStringLiteral("-"));
    }
    // Every parameter of either document, in parameter order.
    static QList<int> allKeys(QMap<int, QString> const& first, QMap<int, QString> const& second)
    {
        QMap<int, QString> all = first;
        for (auto it = second.cbegin(); it != second.cend(); ++it)
            all.insert(it.key(), it.value());
        return all.keys();
    }
    // The parameters whose values differ, a value in one document only included.
    static QList<int> changedKeys(QMap<int, QString> const& before, QMap<int, QString> const& after)
    {
        QList<int> changed;
        for (int const parameter : allKeys(before, after)) {
            if (valueOf(before, parameter) != valueOf(after, parameter))
                changed << parameter;
        }
        return changed;
    }

    // The values of a document by parameter number; false with the cause.
    static bool read(QString const& path, QMap<int, QString>* values, QString* error);
    // The same for a text in memory; path only names it in the error.
    static bool parse(QString const& text, QString const& path, QMap<int, QString>* values, QString* error);
};
