#include "records/CalibrationFileGuard.h"

#include <QStringView>
#include <QXmlStreamReader>
#include <algorithm>

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

bool isNameStart(ushort c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(ushort c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Printable ASCII and the line breaks and tab; no markup or reference starts among them.
bool isPlainCharacter(ushort c)
{
    return ((c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\n' || c == '\r') && c != '<' && c != '&' && c != '>';
}

// A name of letters, digits, '_', '-' and '.', not beginning with "xml" in any
// case (reserved; "xmlns" declares namespaces); its length, 0 when there is none.
int plainName(QChar const* text, int size, int& at)
{
    int const start = at;
    if (at >= size || !isNameStart(text[at].unicode()))
        return 0;
    while (at < size && isNameChar(text[at].unicode()))
        ++at;
    int const length = at - start;
    if (length >= 3 && QStringView(text + start, 3).compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0)
        return 0;
    return length;
}

bool sameName(QChar const* text, int first, int second, int length)
{
    return std::equal(text + first, text + first + length, text + second);
}

// Proves well-formed, in one pass and without the reader, the plain files a
// module writes: ASCII, one root, elements and attributes only, no
// references, declarations, comments or leading space. It answers true only
// where the reader finds no fault; anything else, broken or not, is left to
// the reader, whose pass costs more than the document parse it guards.
bool isPlainWellFormed(QString const& text)
{
    QChar const* const chars = text.constData();
    int const size = text.size();
    struct Name
    {
        int start;
        int length;
    };
    Name open[CalibrationFileGuard::MaxDepth];
    Name attributes[CalibrationFileGuard::MaxAttributes];
    int depth = 0;
    bool rootClosed = false;
    if (size == 0 || chars[0] != QLatin1Char('<'))
        return false;
    int at = 0;
    while (at < size) {
        ushort const c = chars[at].unicode();
        if (c != '<') {
            if (!isPlainCharacter(c) || (depth == 0 && !isSpace(chars[at])))
                return false;
            ++at;
            continue;
        }
        ++at;
        if (at < size && chars[at] == QLatin1Char('/')) {
            ++at;
            int const start = at;
            int const length = plainName(chars, size, at);
            if (length == 0 || depth == 0 || open[depth - 1].length != length ||
                !sameName(chars, open[depth - 1].start, start, length))
                return false;
            while (at < size && isSpace(chars[at]))
                ++at;
            if (at >= size || chars[at] != QLatin1Char('>'))
                return false;
            ++at;
            rootClosed = --depth == 0;
            continue;
        }
        int const start = at;
        int const length = plainName(chars, size, at);
        if (length == 0 || rootClosed || depth == CalibrationFileGuard::MaxDepth)
            return false;
        int count = 0;
        for (;;) {
            bool const spaced = at < size && isSpace(chars[at]);
            while (at < size && isSpace(chars[at]))
                ++at;
            if (at >= size)
                return false;
            if (chars[at] == QLatin1Char('>')) {
                ++at;
                open[depth++] = {start, length};
                break;
            }
            if (chars[at] == QLatin1Char('/')) {
                if (at + 1 >= size || chars[at + 1] != QLatin1Char('>'))
                    return false;
                at += 2;
                rootClosed = depth == 0;
                break;
            }
            if (!spaced || count == CalibrationFileGuard::MaxAttributes)
                return false;
            int const nameStart = at;
            int const nameLength = plainName(chars, size, at);
            if (nameLength == 0)
                return false;
            for (int i = 0; i < count; ++i) {
                if (attributes[i].length == nameLength && sameName(chars, attributes[i].start, nameStart, nameLength))
                    return false;
            }
            attributes[count++] = {nameStart, nameLength};
            while (at < size && isSpace(chars[at]))
                ++at;
            if (at >= size || chars[at] != QLatin1Char('='))
                return false;
            ++at;
            while (at < size && isSpace(chars[at]))
                ++at;
            if (at >= size || (chars[at] != QLatin1Char('"') && chars[at] != QLatin1Char('\'')))
                return false;
            QChar const quote = chars[at++];
            while (at < size && chars[at] != quote) {
                ushort const v = chars[at].unicode();
                if (!isPlainCharacter(v))
                    return false;
                ++at;
            }
            if (at >= size)
                return false;
            ++at;
        }
    }
    return rootClosed && depth == 0;
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

    if (isPlainWellFormed(text))
        return Verdict::Acceptable;
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        QXmlStreamReader::TokenType const token = reader.readNext();
        if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference)
            return Verdict::Refused;
    }
    return reader.hasError() ? Verdict::NotWellFormed : Verdict::Acceptable;
}
