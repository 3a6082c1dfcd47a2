#pragma once

#include <QByteArray>
#include <QString>

// Reads a calibration file the way the stick module of an instrument does:
// the encoding from the byte order mark (UTF-8, UTF-16, UTF-32), else from
// the XML declaration, else UTF-8. Anything that is not a regular file of a
// sensible size, or not text in its encoding, is refused with a message that
// names the file and the cause.
class StickFileReader
{
public:
    // A calibration file is a few kilobytes; the module refuses far smaller ones.
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;

    static bool read(QString const& path, QString* text, QString* error);
    // The bytes as text; false with the cause (without a file name).
    static bool decode(QByteArray const& bytes, QString* text, QString* error);
};
