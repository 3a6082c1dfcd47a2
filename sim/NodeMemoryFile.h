#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The node memory of one instrument profile as a JSON file:
//   {"profile": "nt3-full", "variables": {"0x1275": "03fe0104", ...}}
// with exactly those two entries. A variable is named "0x" and four hex
// digits and holds an even number of hex digits, at most 255 bytes. Every
// variable of the profile must have the profile's length: a file that breaks
// any of this is another instrument's or damaged, and is refused rather than
// mixed in. Variables the profile does not have are passed over (files of
// earlier versions also kept the commands the module sent); a variable the
// file lacks keeps its value (a profile may have gained one since).
class NodeMemoryFile
{
public:
    using Memory = QHash<unsigned short, QByteArray>;
    // Bytes of every variable of the profile, by poll identifier.
    using Layout = QHash<unsigned short, int>;

    struct Contents
    {
        QString profile;
        Memory variables;
    };

    static constexpr int MaxVariableBytes = 255;
    // A node memory file is small; anything far larger is not one.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    // The file's text for the profile's variables; variables outside the
    // layout (commands sent to a node) are not node memory and are left out.
    // Empty, with a message, when a variable does not have the profile's
    // length: the file would be refused when read back.
    static QByteArray encode(QString const& profile, Layout const& layout, Memory const& memory, QString* error);
    // Reads the file and checks its form. A path that is not a regular file
    // is refused without being opened (opening a FIFO blocks).
    static bool read(QString const& path, Contents* contents, QString* error);
    // Checks that what was read is a node memory of the profile.
    static bool fits(
        QString const& path, Contents const& contents, QString const& profile, Layout const& layout, QString* error);
    // The name the file gives a variable: "0x1B75".
    static QString variableName(unsigned short nvId);
};
