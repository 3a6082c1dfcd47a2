#pragma once

#include <QHash>
#include <QWidget>

class QLabel;
class QLineEdit;

// A labelled numeric field of the touch screen. The number is a 64-bit integer
// in the field's own unit; digits and decimals only shape the text (2530 with
// one decimal shows "253.0"). numberChanged is emitted for a person's change
// only: showing a number from code emits nothing. A field whose range is 0..1
// and that substitutes its digits toggles on a tap.
class NumberEdit : public QWidget
{
    Q_OBJECT

public:
    NumberEdit(QWidget* parent, unsigned char digits, unsigned char decimals, unsigned int width, char const* name,
               bool flag);
    ~NumberEdit() override;

    // Shows `glyph` wherever the digit `digit` would be shown.
    void substitute(QChar digit, QChar glyph);
    // Whether the field shows a number (one was shown or entered).
    bool isShowNumber() const { return m_hasNumber; }

    virtual qint64 getNumber() const;
    virtual void showNumber(qint64 value);
    virtual void setRange(qint64 minimum, qint64 maximum);
    virtual qint64 getMinimum() const;
    virtual qint64 getMaximum() const;
    virtual void setLabelText(QString const& text, int labelWidth);
    virtual void setUnitText(QString const& text, int x);

    QString labelText() const;
    QString shownText() const;
    QString unitText() const;
    unsigned char digits() const { return m_digits; }
    unsigned char decimals() const { return m_decimals; }
    int fieldWidth() const { return m_fieldWidth; }
    bool isSwitch() const;

    // A person's entry: shown and announced when it changes the number. A number
    // outside the range is refused: the field keeps its number, says nothing and
    // flags the entry with its range until the next accepted one. A disabled
    // field ignores it. False when the entry was ignored or refused.
    bool enterNumber(qint64 value);
    bool isFlagged() const { return m_flagged; }
    // The range as a person reads it ("0 to 9999").
    QString rangeText() const;

    // Reads a typed number ("253.5") into the field's unit with `decimals` places;
    // false for text that is no number or has too many decimals.
    static bool parseNumber(QString const& text, unsigned char decimals, qint64* value);

signals:
    void numberChanged(NumberEdit* edit);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString format(qint64 value) const;
    QString plainText(qint64 value) const;
    // Width the number area needs, in `font`, for the widest number it may show.
    int neededFieldWidth(QFont const& font) const;
    void setFlagged(bool flagged);
    // What a tap does: a switch toggles, another field opens its editor.
    bool tap();
    void startEditing();
    void finishEditing();
    void cancelEditing();
    void closeEditor();
    void relayout();
    void fitLabel(int available);
    QString displayableUnit(QString const& text) const;

    unsigned char m_digits;
    unsigned char m_decimals;
    int m_fieldWidth;
    bool m_flag;
    qint64 m_value = 0;
    bool m_hasNumber = false;
    qint64 m_minimum;
    qint64 m_maximum;
    int m_labelWidth = 0;
    QString m_labelText;
    QString m_unitText;
    int m_unitX = -1;
    bool m_flagged = false;
    int m_shownFieldWidth = 0;
    QHash<QChar, QChar> m_substitutes;
    QLabel* m_label = nullptr;
    QLabel* m_number = nullptr;
    QLabel* m_unit = nullptr;
    QLineEdit* m_editor = nullptr;
};
