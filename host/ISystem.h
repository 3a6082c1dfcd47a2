#pragma once

#include <QStringList>

// The host's system service; found under "ISystem".
class ISystem
{
public:
    virtual ~ISystem() = default;
    // Hands files to the user (copies them to the removable stick).
    virtual void handleFiles(QStringList const& files, bool move) = 0;
};
