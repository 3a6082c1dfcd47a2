#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// An instrument the simulator can be: its network type, hardware and adapter,
// the nodes on its network with their interface versions, the starting
// contents of every variable the module polls (by poll identifier, bus bytes),
// and the measurement variables it streams while module status is on.
struct InstrumentProfile
{
    struct Node
    {
        unsigned char number;
        QList<unsigned short> versions;
    };

    QString name;
    QString description;
    unsigned char networkType = 3;
    int hardware = 1;
    // As the host reports it, printed on the calibration sheet.
    QString hardwareVersion;
    bool hvDcControl = false;
    bool adapter60kV25uF = false;
    int adapterHvLevel = 0;
    bool adapterHighPower = false;
    bool dMeas = false;
    QList<Node> nodes;
    QMap<unsigned short, QByteArray> variables;
    QList<unsigned short> measurements;

    // Makes the host's hardware configuration and network type this instrument's.
    void applyToHost() const;

    // Every profile, the default first.
    static QList<InstrumentProfile> const& all();
    static InstrumentProfile const* find(QString const& name);
    static QString defaultName();
};
