#include "records/CalibrationFileGuard.h"

#include <QXmlStreamReader>

namespace {

using Verdict = CalibrationFileGuard::Verdict;

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// No name in markup holds one of these; what else a name holds is the reader's to judge.
bool endsName(QChar c)
{
    return isSpace(c) || c == QLatin1Char('/') || c == QLatin1Char('>') || c == QLatin1Char('=') ||
           c == QLatin1Char('<') || c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('?');
}

int nameLength(QString const& text, int at)
{
    int end = at;
    while (end < text.size() && !endsName(text.at(end)))
        ++end;
    return end - at;
}

void skipSpaces(QString const& text, int& at)
{
    while (at < text.size() && isSpace(text.at(at)))
        ++at;
}

// Moves past the next `end`; false when the text ends first.
bool skipPast(QString const& text, int& at, QLatin1String end)
{
    int const found = text.indexOf(end, at);
    if (found < 0)
        return false;
    at = found + end.size();
    return true;
}

// The attributes of a start tag, from after its name to after its closing '>'.
Verdict scanAttributes(QString const& text, int& at, bool& empty)
{
    int attributes = 0;
    for (;;) {
        skipSpaces(text, at);
        if (at >= text.size())
            return Verdict::NotWellFormed;
        if (text.at(at) == QLatin1Char('>')) {
            ++at;
            empty = false;
            return Verdict::Acceptable;
        }
        if (text.at(at) == QLatin1Char('/')) {
            if (at + 1 >= text.size() || text.at(at + 1) != QLatin1Char('>'))
                return Verdict::NotWellFormed;
            at += 2;
            empty = true;
            return Verdict::Acceptable;
        }

        int const length = nameLength(text, at);
        if (length == 0)
            return Verdict::NotWellFormed;
        if (length > CalibrationFileGuard::MaxNameLength)
            return Verdict::Refused;
        at += length;
        skipSpaces(text, at);
        if (at >= text.size() || text.at(at) != QLatin1Char('='))
            return Verdict::NotWellFormed;
        ++at;
        skipSpaces(text, at);
        if (at >= text.size() || (text.at(at) != QLatin1Char('"') && text.at(at) != QLatin1Char('\'')))
            return Verdict::NotWellFormed;
        QChar const quote = text.at(at);
        for (++at; at < text.size() && text.at(at) != quote; ++at) {
            if (text.at(at) == QLatin1Char('<'))
                return Verdict::NotWellFormed;
        }
        if (at >= text.size())
            return Verdict::NotWellFormed;
        ++at;
        if (++attributes > CalibrationFileGuard::MaxAttributes)
            return Verdict::Refused;
    }
}

// One pass over the markup that counts what the readers would count slowly
// (attributes per element) or what makes a document costly (nodes, nesting,
// name lengths). A well-formed text is read exactly. In a broken one the scan
// may lose its place, but never before the first fault, and the reader stops there.
Verdict scanMarkup(QString const& text)
{
    int nodes = 0;
    int depth = 0;
    bool beforeRoot = true;
    int at = 0;
    while ((at = text.indexOf(QLatin1Char('<'), at)) >= 0) {
        QStringRef const markup = text.midRef(at);
        bool const endTag = markup.startsWith(QLatin1String("</"));
        if (!endTag && ++nodes > CalibrationFileGuard::MaxNodes)
            return Verdict::Refused;
        if (markup.startsWith(QLatin1String("<!--"))) {
            at += 4;
            if (!skipPast(text, at, QLatin1String("-->")))
                return Verdict::NotWellFormed;
        } else if (markup.startsWith(QLatin1String("<![CDATA["))) {
            at += 9;
            if (!skipPast(text, at, QLatin1String("]]>")))
                return Verdict::NotWellFormed;
        } else if (markup.startsWith(QLatin1String("<!"))) {
            // Nothing else may begin so, but a document type declaration before the root.
            bool const declaration = beforeRoot && markup.startsWith(QLatin1String("<!DOCTYPE"));
            return declaration ? Verdict::Refused : Verdict::NotWellFormed;
        } else if (markup.startsWith(QLatin1String("<?"))) {
            at += 2;
            if (nameLength(text, at) > CalibrationFileGuard::MaxNameLength)
                return Verdict::Refused;
            if (!skipPast(text, at, QLatin1String("?>")))
                return Verdict::NotWellFormed;
        } else if (endTag) {
            if (!skipPast(text, at, QLatin1String(">")))
                return Verdict::NotWellFormed;
            --depth;
        } else {
            ++at;
            int const length = nameLength(text, at);
            if (length == 0)
                return Verdict::NotWellFormed;
            if (length > CalibrationFileGuard::MaxNameLength || ++depth > CalibrationFileGuard::MaxDepth)
                return Verdict::Refused;
            beforeRoot = false;
            at += length;
            bool empty = false;
            Verdict const verdict = scanAttributes(text, at, empty);
            if (verdict != Verdict::Acceptable)
                return verdict;
            if (empty)
                --depth;
        }
    }
    return Verdict::Acceptable;
}

} // namespace

CalibrationFileGuard::Verdict CalibrationFileGuard::check(QString const& text)
{
    if (text.size() > MaxCharacters)
        return Verdict::Refused;
    // The counts come first: the reader must never see a start tag with many attributes.
    Verdict const markup = scanMarkup(text);
    if (markup != Verdict::Acceptable)
        return markup;

    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        QXmlStreamReader::TokenType const token = reader.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return Verdict::Refused;
    }
    return reader.hasError() ? Verdict::NotWellFormed : Verdict::Acceptable;
}
