#pragma once

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

    // The values of a document by parameter number; false with the cause.
    static bool read(QString const& path, QMap<int, QString>* values, QString* error);
    // The same for a text in memory; path only names it in the error.
    static bool parse(QString const& text, QString const& path, QMap<int, QString>* values, QString* error);
};
