#pragma once

#include <QString>

// Display names of the LON nodes of an instrument.
class LonStrings
{
public:
    static QString getNodeName(unsigned char node);
};
