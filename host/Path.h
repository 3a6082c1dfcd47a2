#pragma once

#include <QString>

// Full paths of the host's image and icon files.
class Path
{
public:
    static QString image(QString const& fileName);
    static QString icon(QString const& fileName);
};
