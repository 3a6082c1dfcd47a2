#pragma once

#include <QList>

// Node information of the LON client.
class ILonManagement
{
public:
    virtual ~ILonManagement() = default;

    // Whether the node offers the interface version (0x300, 0x206, 0x107, ...).
    virtual bool checkNodeVersion(unsigned char node, unsigned short version) = 0;
    virtual QList<unsigned char> getNodeList() = 0;
    // Which of the two measurement layouts the insulation/VLF variables carry.
    virtual bool hasDMeas() = 0;
};
