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
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_number = new QLabel(this);
    m_number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_number->setFrameShape(QFrame::StyledPanel);
    m_number->setAutoFillBackground(true);
    m_number->setBackgroundRole(QPalette::Base);

    m_unit = new QLabel(this);
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
}

void NumberEdit::setRange(qint64 minimum, qint64 maximum)
{
    m_minimum = qMin(minimum, maximum);
    m_maximum = qMax(minimum, maximum);
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
    m_label->setText(text);
    m_labelWidth = qMax(0, labelWidth);
    relayout();
}

void NumberEdit::setUnitText(QString const& text, int x)
{
    m_unitText = text;
    m_unit->setText(displayableUnit(text));
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

// A label longer than its width is set in a smaller font rather than cut off.
void NumberEdit::fitLabel()
{
    QFont font = this->font();
    int const available = m_labelWidth - 2;
    qreal size = font.pointSizeF();
    while (size > 6.0 && QFontMetrics(font).horizontalAdvance(m_labelText) > available) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    m_label->setFont(font);
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

void NumberEdit::enterNumber(qint64 value)
{
    if (!isEnabled())
        return;
    const qint64 clamped = qBound(m_minimum, value, m_maximum);
    const bool changed = !m_hasNumber || clamped != m_value;
    showNumber(clamped);
    // Like a spin box: confirming the number already shown is no change.
    if (changed)
        emit numberChanged(this);
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
    const int places = qMin<int>(m_decimals, kMaxDecimals);
    // Magnitude through unsigned arithmetic, so the smallest qint64 has one too.
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    const quint64 scale = powerOfTen(places);
    QString text = QString::number(magnitude / scale);
    if (places > 0)
        text += QLatin1Char('.') + QString::number(magnitude % scale).rightJustified(places, QLatin1Char('0'));
    if (value < 0)
        text.prepend(QLatin1Char('-'));
    if (!m_substitutes.isEmpty())
        for (QChar& c : text)
            c = m_substitutes.value(c, c);
    return text;
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
    if (m_hasNumber) {
        // Start from the plain number, not the substituted glyphs.
        const QHash<QChar, QChar> substitutes = m_substitutes;
        m_substitutes.clear();
        m_editor->setText(format(m_value));
        m_substitutes = substitutes;
    }
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

void NumberEdit::relayout()
{
    const int h = height();
    fitLabel();
    m_label->setGeometry(0, 0, m_labelWidth, h);
    m_label->setVisible(m_labelWidth > 0);
    m_number->setGeometry(m_labelWidth, 0, m_fieldWidth, h);
    if (m_editor)
        m_editor->setGeometry(m_number->geometry());
    const int unitX = m_unitX >= 0 ? m_unitX : m_labelWidth + m_fieldWidth + kGap;
    m_unit->setGeometry(unitX, 0, qMax(0, width() - unitX), h);
}
