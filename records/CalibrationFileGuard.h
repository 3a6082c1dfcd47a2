#pragma once

#include <QString>

// Screens the text of a calibration file from a stick before it is parsed into
// a document. A real file is a flat list of a few dozen values; anything far
// larger, anything with a document type declaration (the only way to define
// entities, internal or external) and anything nested deeper than a few levels
// is refused without building a document, in time linear in the text.
class CalibrationFileGuard
{
public:
    static constexpr int MaxCharacters = 1024 * 1024;
    static constexpr int MaxDepth = 8;

    enum class Verdict
    {
        Acceptable,
        NotWellFormed,
        Refused
    };

    static Verdict check(QString const& text);
};
