#pragma once

#include <QString>

namespace CommonBasics {

// The current time in the given QTime format.
QString getTimeString(QString const& format);

} // namespace CommonBasics
