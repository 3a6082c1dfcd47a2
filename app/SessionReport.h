#pragma once

#include <QString>

#include "app/SessionRecord.h"

// The printed record of one calibration session: who, what and when, the
// values as found and as left side by side, and the journal in between.
class SessionReport
{
public:
    // Draws the session onto A4 pages and writes the PDF whole or not at all;
    // false with *error naming the file and the cause.
    static bool write(SessionRecord const& session, QString const& path, QString* error);
};
