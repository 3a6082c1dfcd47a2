#include "LonStrings.h"

namespace {

struct NodeName
{
    unsigned char node;
    char const* name;
};

// Names as the instrument's service documentation prints them.
constexpr NodeName kNodeNames[] = {
    {2, "CON"},   {3, "HVS"},   {4, "DSH"},   {17, "HCON"}, {18, "HPSU"}, {19, "HHVS"},
    {20, "HSUR"}, {21, "VDSH"}, {22, "HDSL"}, {25, "HSEL"}, {27, "HBRN"}, {28, "HVLF"},
    {29, "HTDS"}, {30, "HVCE"}, {35, "RHVS"},
};

} // namespace

QString LonStrings::getNodeName(unsigned char node)
{
    for (NodeName const& entry : kNodeNames) {
        if (entry.node == node)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("Node %1").arg(node);
}
