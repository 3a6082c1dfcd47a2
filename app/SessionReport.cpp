#include "app/SessionReport.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <QVector>

#include <functional>

#include "app/CalibrationDiff.h"
#include "host/AtomicFile.h"

namespace {

// The page in millimetres from the paper's top left corner, as the print service lays out forms.
constexpr int kResolution = 300;
constexpr double kDotsPerMillimetre = kResolution / 25.4;
constexpr double kPageWidth = 210.0;
constexpr double kPageHeight = 297.0;
constexpr double kMargin = 15.0;
constexpr double kBodyBottom = kPageHeight - 18.0;
constexpr double kFooterRule = kPageHeight - 15.0;
constexpr double kFooterBaseline = kPageHeight - 10.0;
constexpr double kColumnGap = 3.0;
constexpr double kRowPadding = 0.8;
constexpr double kRuleSpace = 2.0;
constexpr double kSectionSpace = 5.0;
constexpr double kRuleWidth = 0.2;
constexpr int kBodyPoints = 9;
constexpr int kHeadingPoints = 10;
constexpr int kTitlePoints = 14;
constexpr int kBandGrey = 225;

QString const kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
QString const kEntryTimeFormat = QStringLiteral("hh:mm:ss.zzz");

double dots(double millimetres)
{
    return millimetres * kDotsPerMillimetre;
}

double contentLeft()
{
    return dots(kMargin);
}

double contentWidth()
{
    return dots(kPageWidth - 2 * kMargin);
}

double bodyTop()
{
    return dots(kMargin);
}

double bodyBottom()
{
    return dots(kBodyBottom);
}

enum class Align
{
    Left,
    Right
};

// A column of a row, in dots.
struct Column
{
    double x;
    double width;
    Align align;
};

// One line of the body; a strip is never split across pages.
struct Strip
{
    double height;
    std::function<void(QPainter&, double top)> paint;
};

// Strips kept on one page whenever they fit on one.
using Block = QVector<Strip>;

struct Placed
{
    double top;
    Strip strip;
};

struct Sheet
{
    QVector<QVector<Placed>> pages;
    double y = 0;
    double bodyStart = 0; // below a repeated header
    Block repeatedHeader; // the table's header while the table runs
};

struct Style
{
    QPaintDevice* device;
    QFont body;
    QFont bold;
    QFont heading;
    QFont title;
    double lineHeight;
    double ascent;
};

// One cell's text, already broken into the lines it takes.
struct Cell
{
    Column column;
    QStringList lines;
    QFont font;
};

QFont makeFont(int points, bool bold)
{
    QFont font(QStringLiteral("Sans Serif"), points);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    // Unshaped, so "ff" stays two letters and a PDF reader finds "Offset".
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

double textWidth(QFont const& font, QPaintDevice* device, QString const& text)
{
    return QFontMetricsF(font, device).horizontalAdvance(text);
}

// Breaks the text into lines that fit the width: at spaces where it can,
// inside a word that is wider than the column. Line breaks in the text stay.
QStringList wrapped(QString const& text, QFont const& font, QPaintDevice* device, double width)
{
    QString flat = text;
    for (QChar& c : flat) {
        if (c == QLatin1Char('\n'))
            c = QChar::LineSeparator;
        else if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    QTextLayout layout(flat, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString piece = flat.mid(line.textStart(), line.textLength());
        piece.remove(QChar::LineSeparator);
        while (!piece.isEmpty() && piece.back().isSpace())
            piece.chop(1);
        lines.append(piece);
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines.append(QString());
    return lines;
}

Cell cell(Style const& style, Column const& column, QString const& text, QFont const& font)
{
    return {column, wrapped(text, font, style.device, column.width), font};
}

Cell plainCell(Style const& style, Column const& column, QString const& text)
{
    return cell(style, column, text, style.body);
}

// A row of cells side by side, one strip per line, so a row taller than a
// page still breaks cleanly.
Block row(Style const& style, QVector<Cell> const& cells, bool band)
{
    int lineCount = 0;
    for (Cell const& c : cells)
        lineCount = qMax(lineCount, static_cast<int>(c.lines.size()));
    double const padding = dots(kRowPadding) / 2;
    Block block;
    for (int i = 0; i < lineCount; ++i) {
        double const height = style.lineHeight + (i == 0 ? padding : 0) + (i == lineCount - 1 ? padding : 0);
        double const offset = i == 0 ? padding : 0;
        QVector<Cell> line;
        for (Cell const& c : cells) {
            if (i < c.lines.size() && !c.lines.at(i).isEmpty())
                line.append({c.column, {c.lines.at(i)}, c.font});
        }
        double const ascent = style.ascent;
        block.append({height, [line, band, height, offset, ascent](QPainter& painter, double top) {
                          if (band)
                              painter.fillRect(QRectF(contentLeft(), top, contentWidth(), height),
                                  QColor(kBandGrey, kBandGrey, kBandGrey));
                          for (Cell const& c : line) {
                              painter.setFont(c.font);
                              QString const& text = c.lines.constFirst();
                              double x = c.column.x;
                              if (c.column.align == Align::Right)
                                  x += c.column.width - textWidth(c.font, painter.device(), text);
                              painter.drawText(QPointF(x, top + offset + ascent), text);
                          }
                      }});
    }
    return block;
}

Block textBlock(Style const& style, QString const& text, QFont const& font)
{
    QFontMetricsF const metrics(font, style.device);
    Block block;
    for (QString const& line : wrapped(text, font, style.device, contentWidth())) {
        double const ascent = metrics.ascent();
        block.append({metrics.lineSpacing(), [line, font, ascent](QPainter& painter, double top) {
                          painter.setFont(font);
                          painter.drawText(QPointF(contentLeft(), top + ascent), line);
                      }});
    }
    return block;
}

Strip rule()
{
    return {dots(kRuleSpace), [](QPainter& painter, double top) {
                double const y = top + dots(kRuleSpace) / 2;
                painter.setPen(QPen(Qt::black, dots(kRuleWidth)));
                painter.drawLine(QPointF(contentLeft(), y), QPointF(contentLeft() + contentWidth(), y));
            }};
}

Strip space(double millimetres)
{
    return {dots(millimetres), [](QPainter&, double) {}};
}

double heightOf(Block const& block)
{
    double height = 0;
    for (Strip const& strip : block)
        height += strip.height;
    return height;
}

void newPage(Sheet& sheet)
{
    sheet.pages.append(QVector<Placed>());
    sheet.y = bodyTop();
    for (Strip const& strip : sheet.repeatedHeader) {
        sheet.pages.last().append({sheet.y, strip});
        sheet.y += strip.height;
    }
    sheet.bodyStart = sheet.y;
}

// Starts a new page unless the height still fits on this one (or the page is empty).
void need(Sheet& sheet, double height)
{
    if (sheet.y + height > bodyBottom() && sheet.y > sheet.bodyStart)
        newPage(sheet);
}

void place(Sheet& sheet, Block const& block)
{
    if (heightOf(block) <= bodyBottom() - bodyTop() - heightOf(sheet.repeatedHeader))
        need(sheet, heightOf(block));
    for (Strip const& strip : block) {
        need(sheet, strip.height);
        sheet.pages.last().append({sheet.y, strip});
        sheet.y += strip.height;
    }
}

QString orNone(QString const& text, QString const& none)
{
    return text.trimmed().isEmpty() ? none : text;
}

struct Comparison
{
    QString difference;
    bool changed;
};

Comparison compare(SessionRecord const& session, int parameter)
{
    auto const found = session.asFound.constFind(parameter);
    auto const left = session.asLeft.constFind(parameter);
    if (found == session.asFound.cend() || left == session.asLeft.cend())
        return {QStringLiteral("-"), true};
    bool foundIsNumber = false;
    bool leftIsNumber = false;
    qlonglong const before = found.value().trimmed().toLongLong(&foundIsNumber);
    qlonglong const after = left.value().trimmed().toLongLong(&leftIsNumber);
    qlonglong difference = 0;
    if (!foundIsNumber || !leftIsNumber || __builtin_sub_overflow(after, before, &difference))
        return {QStringLiteral("-"), found.value() != left.value()};
    QString const sign = difference > 0 ? QStringLiteral("+") : QString();
    return {sign + QString::number(difference), difference != 0};
}

void layOutIdentity(Sheet& sheet, Style const& style, SessionRecord const& session)
{
    place(sheet, textBlock(style, QStringLiteral("Calibration session report"), style.title));
    place(sheet, {rule()});
    struct Field
    {
        QString label;
        QString value;
    };
    QString const started = session.started.isValid() ? session.started.toString(kTimeFormat) : QStringLiteral("-");
    QString const ended = session.ended.isValid() ? session.ended.toString(kTimeFormat) : QStringLiteral("still open");
    QVector<Field> const fields = {
        {QStringLiteral("Profile"), orNone(session.identity.profile, QStringLiteral("-"))},
        {QStringLiteral("Description"), orNone(session.identity.description, QStringLiteral("-"))},
        {QStringLiteral("Hardware version"), orNone(session.identity.hardwareVersion, QStringLiteral("-"))},
        {QStringLiteral("Serial number"), orNone(session.identity.serialNumber, QStringLiteral("none"))},
        {QStringLiteral("User"), orNone(session.user, QStringLiteral("-"))},
        {QStringLiteral("Started"), started},
        {QStringLiteral("Ended"), ended},
        {QStringLiteral("Journal file"), orNone(session.journalFile, QStringLiteral("-"))},
    };
    double labelWidth = 0;
    for (Field const& field : fields)
        labelWidth = qMax(labelWidth, textWidth(style.bold, style.device, field.label));
    Column const label{contentLeft(), labelWidth, Align::Left};
    double const valueX = label.x + labelWidth + dots(kColumnGap);
    Column const value{valueX, contentLeft() + contentWidth() - valueX, Align::Left};
    for (Field const& field : fields)
        place(sheet,
            row(style, {cell(style, label, field.label, style.bold), plainCell(style, value, field.value)}, false));
}

void layOutValues(Sheet& sheet, Style const& style, SessionRecord const& session)
{
    QList<int> const keys = CalibrationDiff::allKeys(session.asFound, session.asLeft);

    // Key takes what the fixed value columns leave.
    double const value = dots(28);
    double const mark = dots(16);
    double const gap = dots(kColumnGap);
    double const right = contentLeft() + contentWidth();
    Column const markColumn{right - mark, mark, Align::Left};
    Column const differenceColumn{markColumn.x - gap - value, value, Align::Right};
    Column const leftColumn{differenceColumn.x - gap - value, value, Align::Right};
    Column const foundColumn{leftColumn.x - gap - value, value, Align::Right};
    Column const keyColumn{contentLeft(), foundColumn.x - gap - contentLeft(), Align::Left};

    Block heading = {space(kSectionSpace)};
    heading += textBlock(style, QStringLiteral("Values"), style.heading);
    Block header = row(style,
        {cell(style, keyColumn, QStringLiteral("Key"), style.bold),
            cell(style, foundColumn, QStringLiteral("As found"), style.bold),
            cell(style, leftColumn, QStringLiteral("As left"), style.bold),
            cell(style, differenceColumn, QStringLiteral("Difference"), style.bold),
            cell(style, markColumn, QStringLiteral("Changed"), style.bold)},
        false);
    header.append(rule());
    // The heading, the header and a first row go together.
    need(sheet, heightOf(heading) + heightOf(header) + style.lineHeight + dots(kRowPadding));
    place(sheet, heading);
    place(sheet, header);
    sheet.repeatedHeader = header;

    int changed = 0;
    for (int const parameter : keys) {
        Comparison const comparison = compare(session, parameter);
        if (comparison.changed)
            ++changed;
        place(sheet,
            row(style,
                {plainCell(style, keyColumn, SessionRecord::keyLabel(parameter)),
                    plainCell(style, foundColumn, CalibrationDiff::valueOf(session.asFound, parameter)),
                    plainCell(style, leftColumn, CalibrationDiff::valueOf(session.asLeft, parameter)),
                    plainCell(style, differenceColumn, comparison.difference),
                    plainCell(style, markColumn, comparison.changed ? QStringLiteral("*") : QString())},
                comparison.changed));
    }
    sheet.repeatedHeader.clear();
    if (keys.isEmpty())
        place(sheet, textBlock(style, QStringLiteral("No values"), style.body));
    place(sheet, {rule()});
    place(sheet, textBlock(style, QStringLiteral("%1 of %2 values changed").arg(changed).arg(keys.size()), style.body));
}

void layOutJournal(Sheet& sheet, Style const& style, SessionRecord const& session)
{
    Block heading = {space(kSectionSpace)};
    heading += textBlock(style, QStringLiteral("Journal"), style.heading);
    heading.append(rule());
    need(sheet, heightOf(heading) + style.lineHeight);
    place(sheet, heading);
    if (session.journal.isEmpty()) {
        place(sheet, textBlock(style, QStringLiteral("No entries"), style.body));
        return;
    }

    // Kinds are short words; a longer one wraps inside its column.
    double kindWidth = 0;
    for (SessionRecord::Entry const& entry : session.journal)
        kindWidth = qMax(kindWidth, textWidth(style.body, style.device, entry.kind));
    kindWidth = qMin(kindWidth, dots(30));
    double const gap = dots(kColumnGap);
    Column const time{contentLeft(), textWidth(style.body, style.device, QStringLiteral("00:00:00.000")), Align::Left};
    Column const kind{time.x + time.width + gap, kindWidth, Align::Left};
    double const textX = kind.x + kind.width + gap;
    Column const text{textX, contentLeft() + contentWidth() - textX, Align::Left};
    for (SessionRecord::Entry const& entry : session.journal) {
        QString const when = entry.time.isValid() ? entry.time.toString(kEntryTimeFormat) : QStringLiteral("-");
        place(sheet,
            row(style,
                {plainCell(style, time, when), plainCell(style, kind, entry.kind), plainCell(style, text, entry.text)},
                false));
    }
}

void paintFooter(QPainter& painter, Style const& style, SessionRecord const& session, int page, int pages)
{
    painter.setPen(QPen(Qt::black, dots(kRuleWidth)));
    painter.drawLine(
        QPointF(contentLeft(), dots(kFooterRule)), QPointF(contentLeft() + contentWidth(), dots(kFooterRule)));
    painter.setFont(style.body);
    // A loose page still says which session it belongs to.
    QString const which = QStringLiteral("Calibration session %1")
                              .arg(session.started.isValid() ? session.started.toString(kTimeFormat) : QString());
    painter.drawText(QPointF(contentLeft(), dots(kFooterBaseline)), which.trimmed());
    QString const number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    double const x = contentLeft() + contentWidth() - textWidth(style.body, painter.device(), number);
    painter.drawText(QPointF(x, dots(kFooterBaseline)), number);
}

} // namespace

bool SessionReport::write(SessionRecord const& session, QString const& path, QString* error)
{
    auto fail = [error](QString const& cause) {
        if (error != nullptr)
            *error = cause;
        return false;
    };
    // Refused before drawing: a target that can never be written costs no PDF.
    QString const refusal = AtomicFile::checkTarget(path);
    if (!refusal.isEmpty())
        return fail(refusal);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setTitle(QStringLiteral("Calibration session report"));
        writer.setCreator(QStringLiteral("loncal-workbench"));
        writer.setPageLayout(QPageLayout(
            QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("cannot write %1: the PDF could not be drawn").arg(path));

        Style style{&writer, makeFont(kBodyPoints, false), makeFont(kBodyPoints, true), makeFont(kHeadingPoints, true),
            makeFont(kTitlePoints, true), 0, 0};
        QFontMetricsF const metrics(style.body, &writer);
        style.lineHeight = metrics.lineSpacing();
        style.ascent = metrics.ascent();

        // Laid out first, painted after: the footer needs the number of pages.
        Sheet sheet;
        newPage(sheet);
        layOutIdentity(sheet, style, session);
        layOutValues(sheet, style, session);
        layOutJournal(sheet, style, session);

        int const pages = sheet.pages.size();
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                writer.newPage();
            for (Placed const& placed : sheet.pages.at(page)) {
                painter.setPen(Qt::black);
                placed.strip.paint(painter, placed.top);
            }
            paintFooter(painter, style, session, page + 1, pages);
        }
        if (!painter.end())
            return fail(QStringLiteral("cannot write %1: the PDF could not be drawn").arg(path));
    }
    buffer.close();
    return AtomicFile::write(path, bytes, error);
}
