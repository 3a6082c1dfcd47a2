#pragma once

#include <QString>

// Screens the text of a calibration file from a stick before it is parsed into
// a document. A real file is a flat list of at most 68 values, one attribute
// each. Anything far larger, anything with a document type declaration (the
// only way to define entities, internal or external), and anything with far
// more nodes, nesting, attributes per element or name length than a real file
// is refused without building a document, in time linear in the text; what
// passes is parsed and walked within a fraction of a second.
class CalibrationFileGuard
{
public:
    static constexpr int MaxCharacters = 1024 * 1024;
    // Elements, comments, processing instructions and CDATA sections together:
    // each becomes a node of the document, and building nodes is what costs.
    static constexpr int MaxNodes = 1024;
    static constexpr int MaxDepth = 8;
    // Namespace declarations count as attributes. The XML readers check each
    // attribute of an element against all the others before it, so their time
    // grows with the square of this count.
    static constexpr int MaxAttributes = 8;
    // Element, attribute and processing-instruction target names. Well below
    // the 4096 characters beyond which the stream reader calls a well-formed
    // file broken, which would drop it without a word.
    static constexpr int MaxNameLength = 1024;

    enum class Verdict
    {
        Acceptable,
        NotWellFormed,
        Refused
    };

    static Verdict check(QString const& text);
};
