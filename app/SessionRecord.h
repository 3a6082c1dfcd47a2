#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include "data/LonCalibrationTypes.h"

// What one calibration session holds: who and what it was done on, the values
// found when calibration mode was switched on and left when it was switched
// off, and what happened in between. The Session panel and the session
// report read it; CalibrationSession fills it.
struct SessionRecord
{
    struct Identity
    {
        QString profile; // the instrument profile's name
        QString description; // its one-line description
        QString hardwareVersion;
        QString serialNumber; // empty when none is stored
    };

    // One journal line in a readable form, as the panel lists it and the report prints it.
    struct Entry
    {
        QDateTime time;
        QString kind; // "write", "log", "stick", "answer", "revert", "start", "end", ...
        QString text;
    };

    Identity identity;
    QString user;
    QDateTime started;
    QDateTime ended; // invalid while the session is open
    // Values by parameter number (LonCalibrationTypes::CalibrationParameters),
    // as the module exported them.
    QMap<int, QString> asFound;
    QMap<int, QString> asLeft; // while open: the values now
    QList<Entry> journal;
    QString journalFile;

    bool isOpen() const { return started.isValid() && !ended.isValid(); }

    // The parameters found whose value now is another: what a revert writes back.
    static QList<int> notAsFound(QMap<int, QString> const& found, QMap<int, QString> const& now)
    {
        QList<int> differing;
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            if (now.value(it.key()) != it.value())
                differing << it.key();
        }
        return differing;
    }

    // A parameter's export key as the panel and the report show it; the value
    // the module exports under an empty key is named by its number.
    static QString keyLabel(int parameter)
    {
        QString const key = LonCalibrationTypes::calibrationParameterKey(
            static_cast<LonCalibrationTypes::CalibrationParameters>(parameter));
        return key.isEmpty() ? QStringLiteral("#%1").arg(parameter) : key;
    }
};
