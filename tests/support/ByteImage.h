#pragma once

#include <QByteArray>
#include <initializer_list>

// Bytes written as numbers, negative ones as their two's complement: bytes({1, -2, 0xFB}).
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(static_cast<char>(value));
    return result;
}
