#include "NumberEdit.h"

#include <QFontMetrics>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <limits>

namespace {

// qint64 holds at most 18 whole decimal places below the point.
constexpr int kMaxDecimals = 18;
constexpr int kGap = 4;
// Space between the number and the frame, on either side.
constexpr int kIndent = 4;
// The flag's frame; the number area keeps room for it, so flagging moves nothing.
constexpr int kFlagFrame = 2;
constexpr qreal kSmallestPointSize = 6.0;

// The font, made smaller until `widthOf` it fits `available`.
template <typename WidthOf>
QFont fittingFont(QFont font, int available, WidthOf widthOf)
{
    qreal size = font.pointSizeF();
    while (size > kSmallestPointSize && widthOf(font) > available) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    return font;
}

quint64 powerOfTen(int exponent)
{
    quint64 result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

} // namespace

NumberEdit::NumberEdit(QWidget* parent, unsigned char digits, unsigned char decimals, unsigned int width,
                       char const* name, bool flag)
    : QWidget(parent),
      m_digits(digits),
      m_decimals(decimals),
      m_fieldWidth(width > 0 && width < 10000 ? static_cast<int>(width) : 40),
      m_flag(flag),
      m_minimum(std::numeric_limits<qint64>::min()),
      m_maximum(std::numeric_limits<qint64>::max())
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    setFocusPolicy(Qt::StrongFocus);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("number_label"));
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_number = new QLabel(this);
    m_number->setObjectName(QStringLiteral("number_field"));
    m_number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_number->setIndent(kIndent);
    m_number->setFrameShape(QFrame::StyledPanel);
    m_number->setAutoFillBackground(true);
    m_number->setBackgroundRole(QPalette::Base);

    m_unit = new QLabel(this);
    m_unit->setObjectName(QStringLiteral("number_unit"));
    m_unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    relayout();
}

NumberEdit::~NumberEdit() = default;

void NumberEdit::substitute(QChar digit, QChar glyph)
{
    m_substitutes.insert(digit, glyph);
    if (m_hasNumber)
        m_number->setText(format(m_value));
}

qint64 NumberEdit::getNumber() const
{
    return m_value;
}

void NumberEdit::showNumber(qint64 value)
{
    // Code shows what it is given; clamping is the caller's business, and no signal
    // goes out, or every refresh would echo back to the node.
    m_value = value;
    m_hasNumber = true;
    m_number->setText(format(value));
    // Code may show more than the field was sized for; it is never cut off.
    if (neededFieldWidth(m_number->font()) > m_shownFieldWidth)
        relayout();
}

void NumberEdit::setRange(qint64 minimum, qint64 maximum)
{
    m_minimum = qMin(minimum, maximum);
    m_maximum = qMax(minimum, maximum);
    if (m_flagged)
        setToolTip(rangeText());
    relayout();
}

qint64 NumberEdit::getMinimum() const
{
    return m_minimum;
}

qint64 NumberEdit::getMaximum() const
{
    return m_maximum;
}

void NumberEdit::setLabelText(QString const& text, int labelWidth)
{
    m_labelText = text;
    m_labelWidth = qMax(0, labelWidth);
    relayout();
}

void NumberEdit::setUnitText(QString const& text, int x)
{
    m_unitText = text;
    m_unitX = x;
    relayout();
}

QString NumberEdit::labelText() const
{
    return m_labelText;
}

// Unit signs the screen font may lack are drawn in plain letters instead;
// unitText() keeps the sign itself.
QString NumberEdit::displayableUnit(QString const& text) const
{
    static struct
    {
        QChar sign;
        char const* letters;
    } const kFallbacks[] = {{QChar(0x3382), "\u00b5A"}, {QChar(0x2126), "Ohm"}};
    QFontMetrics const metrics(m_unit->font());
    QString shown = text;
    for (auto const& fallback : kFallbacks) {
        if (shown.contains(fallback.sign) && !metrics.inFont(fallback.sign))
            shown.replace(fallback.sign, QString::fromUtf8(fallback.letters));
    }
    return shown;
}

// A label longer than its width is set in a smaller font rather than cut off;
// what still does not fit is elided.
void NumberEdit::fitLabel(int available)
{
    QFont const font = fittingFont(this->font(), available, [this](QFont const& candidate) {
        return QFontMetrics(candidate).horizontalAdvance(m_labelText);
    });
    m_label->setFont(font);
    // Eliding measures in fractions and would cut a text that the whole-pixel check let fit.
    const QFontMetrics metrics(font);
    m_label->setText(metrics.horizontalAdvance(m_labelText) <= available
                         ? m_labelText
                         : metrics.elidedText(m_labelText, Qt::ElideRight, qMax(0, available)));
}

QString NumberEdit::shownText() const
{
    return m_hasNumber ? m_number->text() : QString();
}

QString NumberEdit::unitText() const
{
    return m_unitText;
}

bool NumberEdit::isSwitch() const
{
    return m_minimum == 0 && m_maximum == 1
           && (m_substitutes.contains(QLatin1Char('0')) || m_substitutes.contains(QLatin1Char('1')));
}

bool NumberEdit::enterNumber(qint64 value)
{
    if (!isEnabled())
        return false;
    // Clamping silently would write a number the person never typed.
    if (value < m_minimum || value > m_maximum) {
        setFlagged(true);
        return false;
    }
    setFlagged(false);
    const bool changed = !m_hasNumber || value != m_value;
    showNumber(value);
    // Like a spin box: confirming the number already shown is no change.
    if (changed)
        emit numberChanged(this);
    return true;
}

QString NumberEdit::rangeText() const
{
    return tr("%1 to %2").arg(plainText(m_minimum), plainText(m_maximum));
}

void NumberEdit::setFlagged(bool flagged)
{
    if (m_flagged == flagged)
        return;
    m_flagged = flagged;
    m_number->setStyleSheet(flagged ? QStringLiteral("QLabel { border: %1px solid #c81e1e; background-color: "
                                                     "palette(base); }")
                                          .arg(kFlagFrame)
                                    : QString());
    setToolTip(flagged ? rangeText() : QString());
    relayout();
}

bool NumberEdit::parseNumber(QString const& text, unsigned char decimals, qint64* value)
{
    const int places = qMin<int>(decimals, kMaxDecimals);
    QString trimmed = text.trimmed();
    bool negative = false;
    if (trimmed.startsWith(QLatin1Char('-'))) {
        negative = true;
        trimmed.remove(0, 1);
    }
    const int point = trimmed.indexOf(QLatin1Char('.'));
    QString whole = point < 0 ? trimmed : trimmed.left(point);
    QString fraction = point < 0 ? QString() : trimmed.mid(point + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return false;
    for (QChar c : whole + fraction)
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    if (fraction.size() > places)
        return false;
    fraction = fraction.leftJustified(places, QLatin1Char('0'));

    // Accumulate the magnitude in the field's unit, saturating instead of overflowing.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    bool saturated = false;
    for (QChar c : whole + fraction) {
        const quint64 d = quint64(c.unicode() - '0');
        if (saturated || magnitude > (limit - d) / 10) {
            saturated = true;
            continue;
        }
        magnitude = magnitude * 10 + d;
    }
    if (saturated)
        magnitude = limit;
    if (negative)
        *value = magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    else
        *value = qint64(magnitude);
    return true;
}

void NumberEdit::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && tap()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void NumberEdit::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && tap()) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool NumberEdit::tap()
{
    // Display fields take no focus and are read-only under a finger.
    if (!isEnabled() || focusPolicy() == Qt::NoFocus || m_editor)
        return false;
    if (isSwitch()) {
        enterNumber(m_hasNumber && m_value == 1 ? 0 : 1);
        return true;
    }
    startEditing();
    return true;
}

void NumberEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

bool NumberEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        // Consumed here, so the key does not travel on and reopen the editor.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            cancelEditing();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            finishEditing();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString NumberEdit::format(qint64 value) const
{
    QString text = plainText(value);
    if (!m_substitutes.isEmpty())
        for (QChar& c : text)
            c = m_substitutes.value(c, c);
    return text;
}

QString NumberEdit::plainText(qint64 value) const
{
    const int places = qMin<int>(m_decimals, kMaxDecimals);
    // Magnitude through unsigned arithmetic, so the smallest qint64 has one too.
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    const quint64 scale = powerOfTen(places);
    QString text = QString::number(magnitude / scale);
    if (places > 0)
        text += QLatin1Char('.') + QString::number(magnitude % scale).rightJustified(places, QLatin1Char('0'));
    if (value < 0)
        text.prepend(QLatin1Char('-'));
    return text;
}

// Every digit the field holds, its sign and point, the range's ends and what
// is shown now, each in the widest glyphs the field draws.
int NumberEdit::neededFieldWidth(QFont const& font) const
{
    const QFontMetrics metrics(font);
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = qMax(digit, metrics.horizontalAdvance(m_substitutes.value(QLatin1Char(c), QLatin1Char(c))));
    const int places = qMin<int>(m_decimals, kMaxDecimals);
    int text = (qMax<int>(1, m_digits) + places) * digit;
    if (places > 0)
        text += metrics.horizontalAdvance(QLatin1Char('.'));
    if (m_minimum < 0)
        text += metrics.horizontalAdvance(QLatin1Char('-'));
    // The ends of a range the caller set, not the unbounded default.
    if (m_minimum != std::numeric_limits<qint64>::min())
        text = qMax(text, metrics.horizontalAdvance(format(m_minimum)));
    if (m_maximum != std::numeric_limits<qint64>::max())
        text = qMax(text, metrics.horizontalAdvance(format(m_maximum)));
    if (m_hasNumber)
        text = qMax(text, metrics.horizontalAdvance(m_number->text()));
    const int frame = qMax(kFlagFrame, m_number->frameWidth());
    // One pixel for rounding between glyph advances and the drawn string.
    return text + 1 + 2 * (frame + kIndent);
}

void NumberEdit::startEditing()
{
    m_editor = new QLineEdit(this);
    m_editor->setObjectName(QStringLiteral("number_editor"));
    m_editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int places = qMin<int>(m_decimals, kMaxDecimals);
    QString pattern = m_minimum < 0 ? QStringLiteral("-?") : QString();
    pattern += m_digits > 0 ? QStringLiteral("\\d{0,%1}").arg(m_digits) : QStringLiteral("\\d*");
    if (places > 0)
        pattern += QStringLiteral("(\\.\\d{0,%1})?").arg(places);
    m_editor->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), m_editor));
    // Start from the plain number, not the substituted glyphs.
    if (m_hasNumber)
        m_editor->setText(plainText(m_value));
    m_editor->selectAll();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::editingFinished, this, &NumberEdit::finishEditing);
    relayout();
    m_editor->show();
    m_editor->setFocus(Qt::MouseFocusReason);
}

void NumberEdit::finishEditing()
{
    if (!m_editor)
        return;
    const QString text = m_editor->text();
    closeEditor();
    qint64 value = 0;
    if (parseNumber(text, m_decimals, &value))
        enterNumber(value);
}

void NumberEdit::cancelEditing()
{
    closeEditor();
}

void NumberEdit::closeEditor()
{
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    if (!editor)
        return;
    // Deferred: the editor may be inside its own signal or key event.
    editor->disconnect(this);
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
}

// The number is never cut off: its area grows from the given width towards the
// unit, then into the label, then over the unit, and only then takes a smaller font.
void NumberEdit::relayout()
{
    const int h = height();
    const int w = width();
    QFont numberFont = font();
    int fieldWidth = qMax(m_fieldWidth, neededFieldWidth(numberFont));
    if (w > 0 && fieldWidth > w) {
        numberFont = fittingFont(numberFont, w, [this](QFont const& candidate) { return neededFieldWidth(candidate); });
        fieldWidth = qMin(w, qMax(m_fieldWidth, neededFieldWidth(numberFont)));
    }
    m_number->setFont(numberFont);
    m_shownFieldWidth = neededFieldWidth(numberFont);

    int left = m_labelWidth;
    if (w > 0) {
        const bool unitPlaced = m_unitX >= 0 && !m_unitText.isEmpty();
        const int right = unitPlaced ? m_unitX - kGap : w;
        if (left + fieldWidth > right)
            left = qMax(0, right - fieldWidth);
        if (left + fieldWidth > w)
            left = qMax(0, w - fieldWidth);
    }
    const int labelWidth = left < m_labelWidth ? qMax(0, left - kGap) : m_labelWidth;
    fitLabel(labelWidth - 2);
    m_label->setGeometry(0, 0, labelWidth, h);
    m_label->setVisible(labelWidth > 0);
    m_number->setGeometry(left, 0, fieldWidth, h);
    if (m_editor)
        m_editor->setGeometry(m_number->geometry());

    const int numberEnd = left + fieldWidth + kGap;
    int unitX = m_unitX >= 0 ? qMax(m_unitX, numberEnd) : numberEnd;
    QString unit = displayableUnit(m_unitText);
    QPalette unitPalette; // resolves nothing: the unit inherits its colours
    // A refused entry shows the range beside the number where it fits, with the unit
    // if that fits too; the tooltip always has it.
    if (m_flagged) {
        const QFontMetrics metrics(m_unit->font());
        for (QString const& candidate : {(rangeText() + QLatin1Char(' ') + unit).trimmed(), rangeText()}) {
            if (metrics.horizontalAdvance(candidate) <= w - numberEnd) {
                unitX = numberEnd;
                unit = candidate;
                unitPalette.setColor(QPalette::WindowText, QColor(0xc8, 0x1e, 0x1e));
                break;
            }
        }
    }
    m_unit->setPalette(unitPalette);
    m_unit->setText(unit);
    m_unit->setGeometry(unitX, 0, qMax(0, w - unitX), h);
}
