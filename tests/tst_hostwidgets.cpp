// The host toolkit stand-in as a module and a person meet it: number edits,
// dialogs, modal answers, icons and the service menu strip.

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "host/Button.h"
#include "host/ColoredLabel.h"
#include "host/DialogWindow.h"
#include "host/GUIClient.h"
#include "host/MenuSegment.h"
#include "host/MenuStrip.h"
#include "host/NumberEdit.h"
#include "host/PasswordDialog.h"
#include "host/Path.h"
#include "host/SvgLoader.h"

namespace {

const QChar kSwitchOff(0x2501);
const QChar kSwitchOn(0x2714);

// A switch edit as the node dialogs build it.
NumberEdit* makeSwitch(QWidget* parent)
{
    auto* edit = new NumberEdit(parent, 1, 0, 40, nullptr, true);
    edit->setGeometry(0, 0, 280, 27);
    edit->setLabelText(QStringLiteral("Enable"), 195);
    edit->setRange(0, 1);
    edit->substitute(QLatin1Char('0'), kSwitchOff);
    edit->substitute(QLatin1Char('1'), kSwitchOn);
    edit->showNumber(0);
    return edit;
}

// The middle of the number field, where a finger lands.
QPoint fieldCentre(NumberEdit const* edit, int labelWidth)
{
    return QPoint(labelWidth + edit->fieldWidth() / 2, edit->height() / 2);
}

} // namespace

class tst_HostWidgets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void numberEditShowsFormattedText_data();
    void numberEditShowsFormattedText();
    void numberEditShowingFromCodeIsSilent();
    void numberEditPersonEntryAnnounces();
    void numberEditRefusesEntryOutsideRange();
    void numberEditShowsEveryDigit_data();
    void numberEditShowsEveryDigit();
    void numberEditSwitchTogglesOnTap();
    void numberEditDisabledOrDisplayIgnoresTaps();
    void numberEditTypedEntry_data();
    void numberEditTypedEntry();
    void numberEditEscapeCancelsTyping();
    void numberEditParsesTypedText_data();
    void numberEditParsesTypedText();

    void dialogChildrenAreOnlyTheCallersRows();
    void dialogSizesFromInnerHeightAndKeepsButtonWidths();
    void dialogMessageOnlySizesAroundMessage();
    void dialogButtonFlags_data();
    void dialogButtonFlags();
    void dialogReplacesAndRemovesButtons();
    void dialogCloseEndsExecAsCancel();
    void dialogEscapeClicksCloseButton_data();
    void dialogEscapeClicksCloseButton();
    void dialogTallerThanParentScrollsRows();

    void modalAnswererAnswersWithoutLoop();
    void modalDeletedWhileWaitingDoesNotCrash();
    void messageDialogIsAnsweredAndDeleted();

    void passwordDialogFiltersTyping();

    void findWidgetFindsMainWindow();

    void svgLoaderRendersIconsAndImages_data();
    void svgLoaderRendersIconsAndImages();
    void svgLoaderRecoloursAndRejectsBadInput();

    void coloredLabelTakesAlignmentProperty();
    void buttonTakesNameAndCheckable();

    void menuStripRecordsAndReplaces();
    void menuToggleEmitsOnlyOnChange();

private:
    QWidget* m_main = nullptr;
};

void tst_HostWidgets::init()
{
    ModalWidget::setAnswerer({});
    m_main = new QWidget;
    m_main->setObjectName(QStringLiteral("MainWindow"));
    m_main->resize(1024, 768);
    m_main->show();
}

void tst_HostWidgets::cleanup()
{
    ModalWidget::setAnswerer({});
    delete m_main;
    m_main = nullptr;
    // Deferred deletes of dialogs and buttons run before the check.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
}

void tst_HostWidgets::numberEditShowsFormattedText_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("switchGlyphs");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one-decimal") << qint64(2530) << 1 << false << QStringLiteral("253.0");
    QTest::newRow("negative-below-one") << qint64(-5) << 2 << false << QStringLiteral("-0.05");
    QTest::newRow("integer") << qint64(-128) << 0 << false << QStringLiteral("-128");
    QTest::newRow("zero-with-decimals") << qint64(0) << 2 << false << QStringLiteral("0.00");
    QTest::newRow("u-max") << qint64(10560) << 2 << false << QStringLiteral("105.60");
    QTest::newRow("smallest-int64") << std::numeric_limits<qint64>::min() << 0 << false
                                    << QStringLiteral("-9223372036854775808");
    QTest::newRow("switch-off") << qint64(0) << 0 << true << QString(kSwitchOff);
    QTest::newRow("switch-on") << qint64(1) << 0 << true << QString(kSwitchOn);
    QTest::newRow("substitute-every-digit") << qint64(1010) << 0 << true
                                            << (QString(kSwitchOn) + kSwitchOff + kSwitchOn + kSwitchOff);
}

void tst_HostWidgets::numberEditShowsFormattedText()
{
    QFETCH(qint64, value);
    QFETCH(int, decimals);
    QFETCH(bool, switchGlyphs);
    QFETCH(QString, shown);

    NumberEdit edit(m_main, 5, static_cast<unsigned char>(decimals), 40, nullptr, false);
    QCOMPARE(edit.shownText(), QString());
    QVERIFY(!edit.isShowNumber());
    if (switchGlyphs) {
        edit.substitute(QLatin1Char('0'), kSwitchOff);
        edit.substitute(QLatin1Char('1'), kSwitchOn);
    }
    edit.showNumber(value);
    QCOMPARE(edit.shownText(), shown);
    QCOMPARE(edit.getNumber(), value);
    QVERIFY(edit.isShowNumber());
}

void tst_HostWidgets::numberEditShowingFromCodeIsSilent()
{
    NumberEdit edit(m_main, 3, 0, 40, nullptr, false);
    QSignalSpy changed(&edit, &NumberEdit::numberChanged);
    QCOMPARE(edit.getMinimum(), std::numeric_limits<qint64>::min());
    QCOMPARE(edit.getMaximum(), std::numeric_limits<qint64>::max());
    edit.setRange(-128, 127);
    edit.showNumber(5);
    edit.showNumber(500); // code may show what it likes; the caller clamps
    QCOMPARE(edit.getNumber(), qint64(500));
    QCOMPARE(changed.count(), 0);
}

void tst_HostWidgets::numberEditPersonEntryAnnounces()
{
    NumberEdit edit(m_main, 3, 0, 40, nullptr, false);
    edit.setRange(127, -128); // reversed bounds are put in order
    QCOMPARE(edit.getMinimum(), qint64(-128));
    QCOMPARE(edit.getMaximum(), qint64(127));
    QSignalSpy changed(&edit, &NumberEdit::numberChanged);

    QVERIFY(edit.enterNumber(127));
    QCOMPARE(edit.shownText(), QStringLiteral("127"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<NumberEdit*>(), &edit);
    QVERIFY(edit.enterNumber(-128));
    QCOMPARE(changed.count(), 2);

    // Confirming the number already shown changes nothing.
    QVERIFY(edit.enterNumber(-128));
    QCOMPARE(changed.count(), 2);
}

void tst_HostWidgets::numberEditRefusesEntryOutsideRange()
{
    // A counter field as the node dialogs build it.
    NumberEdit edit(m_main, 4, 0, 80, nullptr, true);
    edit.setGeometry(0, 0, 300, 27);
    edit.setLabelText(QStringLiteral("Counter"), 130);
    edit.setUnitText(QString(), 240);
    edit.setRange(0, 9999);
    edit.showNumber(1234);
    edit.show();
    QSignalSpy changed(&edit, &NumberEdit::numberChanged);
    auto* unit = edit.findChild<QLabel*>(QStringLiteral("number_unit"));
    QVERIFY(unit);

    for (qint64 refused : {qint64(10000), qint64(-1)}) {
        QVERIFY(!edit.enterNumber(refused));
        QCOMPARE(edit.getNumber(), qint64(1234));
        QCOMPARE(edit.shownText(), QStringLiteral("1234"));
        QVERIFY(edit.isFlagged());
        QCOMPARE(edit.toolTip(), QStringLiteral("0 to 9999"));
        QCOMPARE(unit->text(), QStringLiteral("0 to 9999"));
    }
    QCOMPARE(changed.count(), 0);

    QVERIFY(edit.enterNumber(9999));
    QVERIFY(!edit.isFlagged());
    QVERIFY(edit.toolTip().isEmpty());
    QVERIFY(unit->text().isEmpty());
    QCOMPARE(edit.getNumber(), qint64(9999));
    QCOMPARE(changed.count(), 1);

    // Typed on the keypad: the same refusal, and the editor closes on the old number.
    NumberEdit gain(m_main, 3, 1, 40, nullptr, false);
    gain.setGeometry(0, 40, 250, 27);
    gain.setLabelText(QStringLiteral("U-nom Gain"), 130);
    gain.setRange(-128, 127);
    gain.showNumber(25);
    QSignalSpy gainChanged(&gain, &NumberEdit::numberChanged);
    QTest::mouseClick(&gain, Qt::LeftButton, {}, fieldCentre(&gain, 130));
    QPointer<QLineEdit> editor = gain.findChild<QLineEdit*>();
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("12.8"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!editor);
    QCOMPARE(gain.shownText(), QStringLiteral("2.5"));
    QVERIFY(gain.isFlagged());
    QCOMPARE(gain.toolTip(), QStringLiteral("-12.8 to 12.7"));
    QCOMPARE(gainChanged.count(), 0);
}

void tst_HostWidgets::numberEditShowsEveryDigit_data()
{
    QTest::addColumn<int>("digits");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("fieldWidth");
    QTest::addColumn<int>("editWidth");
    QTest::addColumn<int>("unitFromRight");
    QTest::addColumn<qint64>("minimum");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<qint64>("shown");
    QTest::addColumn<bool>("labelKept");

    const qint64 lowest = std::numeric_limits<qint64>::min();
    const qint64 highest = std::numeric_limits<qint64>::max();
    // Rows as the node dialogs lay them out: 250 or 300 wide, the unit 30 (60 for counters) from the right.
    QTest::newRow("five-digits-signed") << 5 << 0 << 40 << 250 << 30 << qint64(-99999) << qint64(99999)
                                        << qint64(-99999) << true;
    QTest::newRow("byte") << 3 << 0 << 40 << 250 << 30 << qint64(-128) << qint64(127) << qint64(-128) << true;
    QTest::newRow("six-digit-counter") << 6 << 0 << 80 << 300 << 60 << qint64(0) << qint64(999999) << qint64(999999)
                                       << true;
    QTest::newRow("range-beyond-digits") << 3 << 0 << 40 << 250 << 30 << qint64(0) << qint64(65535)
                                         << qint64(65535) << true;
    QTest::newRow("insulation-resistance") << 6 << 1 << 40 << 300 << 30 << lowest << highest << qint64(9999999)
                                           << true;
    QTest::newRow("code-shows-more") << 2 << 0 << 40 << 300 << 30 << qint64(0) << qint64(99) << qint64(1234567)
                                     << true;
    QTest::newRow("narrow-row") << 5 << 1 << 40 << 180 << 30 << qint64(-99999) << qint64(99999) << qint64(-99999)
                                << false;
    QTest::newRow("wider-than-row") << 12 << 0 << 40 << 100 << 30 << lowest << highest << qint64(-999999999999)
                                    << false;
}

void tst_HostWidgets::numberEditShowsEveryDigit()
{
    QFETCH(int, digits);
    QFETCH(int, decimals);
    QFETCH(int, fieldWidth);
    QFETCH(int, editWidth);
    QFETCH(int, unitFromRight);
    QFETCH(qint64, minimum);
    QFETCH(qint64, maximum);
    QFETCH(qint64, shown);
    QFETCH(bool, labelKept);

    NumberEdit edit(m_main, static_cast<unsigned char>(digits), static_cast<unsigned char>(decimals),
                    static_cast<unsigned int>(fieldWidth), nullptr, false);
    edit.setGeometry(0, 0, editWidth, 27);
    edit.setLabelText(QStringLiteral("R-iso Gain"), 130);
    edit.setUnitText(QStringLiteral("kV"), editWidth - unitFromRight);
    edit.setRange(minimum, maximum);
    edit.showNumber(shown);
    edit.show();

    auto* label = edit.findChild<QLabel*>(QStringLiteral("number_label"));
    auto* number = edit.findChild<QLabel*>(QStringLiteral("number_field"));
    auto* unit = edit.findChild<QLabel*>(QStringLiteral("number_unit"));
    QVERIFY(label && number && unit);
    const int textArea = number->contentsRect().width() - qMax(0, number->indent()) - 2 * number->margin();
    const int textWidth = QFontMetrics(number->font()).horizontalAdvance(number->text());
    QVERIFY2(textWidth <= textArea, qPrintable(QStringLiteral("%1 needs %2 px, has %3")
                                                   .arg(number->text()).arg(textWidth).arg(textArea)));
    QVERIFY(edit.rect().contains(number->geometry()));
    QVERIFY(number->width() >= fieldWidth || number->width() == editWidth);
    // The label never lies under the number; it keeps its width where there is room.
    QVERIFY(!label->isVisible() || label->geometry().right() < number->x());
    QCOMPARE(label->width() == 130, labelKept);
    if (labelKept) {
        QCOMPARE(unit->x(), editWidth - unitFromRight);
        QVERIFY(number->geometry().right() < unit->x());
    }
    QCOMPARE(edit.labelText(), QStringLiteral("R-iso Gain"));
}

void tst_HostWidgets::numberEditSwitchTogglesOnTap()
{
    NumberEdit* edit = makeSwitch(m_main);
    QVERIFY(edit->isSwitch());
    QSignalSpy changed(edit, &NumberEdit::numberChanged);

    QTest::mouseClick(edit, Qt::LeftButton, {}, fieldCentre(edit, 195));
    QCOMPARE(edit->getNumber(), qint64(1));
    QCOMPARE(edit->shownText(), QString(kSwitchOn));
    QTest::mouseClick(edit, Qt::LeftButton, {}, fieldCentre(edit, 195));
    QCOMPARE(edit->getNumber(), qint64(0));
    QCOMPARE(changed.count(), 2);
    QVERIFY(!edit->findChild<QLineEdit*>()); // a switch never opens the keypad field

    // Without glyphs a 0..1 field is an ordinary number.
    NumberEdit plain(m_main, 1, 0, 40, nullptr, true);
    plain.setRange(0, 1);
    QVERIFY(!plain.isSwitch());
}

void tst_HostWidgets::numberEditDisabledOrDisplayIgnoresTaps()
{
    NumberEdit* disabled = makeSwitch(m_main);
    disabled->setEnabled(false);
    NumberEdit display(m_main, 4, 1, 40, nullptr, false);
    display.setGeometry(0, 40, 280, 27);
    display.setFocusPolicy(Qt::NoFocus);
    display.showNumber(12);
    m_main->show();
    QSignalSpy disabledChanged(disabled, &NumberEdit::numberChanged);
    QSignalSpy displayChanged(&display, &NumberEdit::numberChanged);

    QTest::mouseClick(disabled, Qt::LeftButton, {}, fieldCentre(disabled, 195));
    disabled->enterNumber(1);
    QTest::mouseClick(&display, Qt::LeftButton, {}, fieldCentre(&display, 0));

    QCOMPARE(disabled->getNumber(), qint64(0));
    QCOMPARE(disabledChanged.count(), 0);
    QVERIFY(!display.findChild<QLineEdit*>());
    QCOMPARE(displayChanged.count(), 0);
}

void tst_HostWidgets::numberEditTypedEntry_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("shown");

    QTest::newRow("decimal-point") << 1 << QStringLiteral("253.5") << qint64(2535) << QStringLiteral("253.5");
    QTest::newRow("whole-number") << 1 << QStringLiteral("253") << qint64(2530) << QStringLiteral("253.0");
    QTest::newRow("negative") << 0 << QStringLiteral("-12") << qint64(-12) << QStringLiteral("-12");
    QTest::newRow("refused-high") << 0 << QStringLiteral("999") << qint64(7) << QStringLiteral("7");
    QTest::newRow("extra-decimals-dropped") << 1 << QStringLiteral("1.25") << qint64(12) << QStringLiteral("1.2");
    QTest::newRow("letters-dropped") << 0 << QStringLiteral("4x2") << qint64(42) << QStringLiteral("42");
}

void tst_HostWidgets::numberEditTypedEntry()
{
    QFETCH(int, decimals);
    QFETCH(QString, typed);
    QFETCH(qint64, number);
    QFETCH(QString, shown);

    NumberEdit edit(m_main, 4, static_cast<unsigned char>(decimals), 40, nullptr, false);
    edit.setGeometry(0, 0, 280, 27);
    edit.setLabelText(QStringLiteral("U-nom Gain"), 130);
    edit.setRange(-128, decimals ? 9999 : 127);
    edit.showNumber(decimals ? 70 : 7);
    edit.show();
    QSignalSpy changed(&edit, &NumberEdit::numberChanged);

    QTest::mouseClick(&edit, Qt::LeftButton, {}, fieldCentre(&edit, 130));
    auto* editor = edit.findChild<QLineEdit*>();
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);

    QCOMPARE(edit.getNumber(), number);
    QCOMPARE(edit.shownText(), shown);
    // Only a refused number leaves the field flagged and silent.
    QCOMPARE(changed.count(), edit.isFlagged() ? 0 : 1);
    QCOMPARE(edit.isFlagged(), QByteArray(QTest::currentDataTag()).startsWith("refused"));
}

void tst_HostWidgets::numberEditEscapeCancelsTyping()
{
    NumberEdit edit(m_main, 3, 0, 40, nullptr, false);
    edit.setGeometry(0, 0, 280, 27);
    edit.showNumber(7);
    edit.show();
    QSignalSpy changed(&edit, &NumberEdit::numberChanged);

    QTest::mouseClick(&edit, Qt::LeftButton, {}, fieldCentre(&edit, 0));
    QPointer<QLineEdit> editor = edit.findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("7"));
    QTest::keyClicks(editor, QStringLiteral("55"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!editor);

    QCOMPARE(edit.getNumber(), qint64(7));
    QCOMPARE(changed.count(), 0);
}

void tst_HostWidgets::numberEditParsesTypedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("value");

    QTest::newRow("fraction-padded") << QStringLiteral("1.5") << 2 << true << qint64(150);
    QTest::newRow("leading-point") << QStringLiteral(".5") << 1 << true << qint64(5);
    QTest::newRow("negative-fraction") << QStringLiteral("-0.05") << 2 << true << qint64(-5);
    QTest::newRow("saturates-high") << QStringLiteral("99999999999999999999") << 0 << true
                                    << std::numeric_limits<qint64>::max();
    QTest::newRow("saturates-low") << QStringLiteral("-99999999999999999999") << 0 << true
                                   << std::numeric_limits<qint64>::min();
    QTest::newRow("empty") << QString() << 0 << false << qint64(0);
    QTest::newRow("minus-only") << QStringLiteral("-") << 0 << false << qint64(0);
    QTest::newRow("too-many-decimals") << QStringLiteral("1.25") << 1 << false << qint64(0);
    QTest::newRow("not-a-number") << QStringLiteral("1e3") << 0 << false << qint64(0);
}

void tst_HostWidgets::numberEditParsesTypedText()
{
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(bool, ok);
    QFETCH(qint64, value);

    qint64 parsed = 0;
    QCOMPARE(NumberEdit::parseNumber(text, static_cast<unsigned char>(decimals), &parsed), ok);
    if (ok)
        QCOMPARE(parsed, value);
}

void tst_HostWidgets::dialogChildrenAreOnlyTheCallersRows()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    dialog->setTitle(QStringLiteral("Info"));
    dialog->setMessage(QStringLiteral("Print is running"));
    dialog->setWaitingIcon();
    dialog->insertAcceptButton(QStringLiteral("Print"), false, false);
    dialog->insertRejectButton(QStringLiteral("Ok"), true, false);

    auto* title = new ColoredLabel(dialog, nullptr, {});
    title->setText(QStringLiteral("PSU"));
    auto* edit = new NumberEdit(dialog, 3, 0, 40, nullptr, false);

    QList<QObject*> rows;
    for (QObject* child : dialog->children())
        if (qobject_cast<ColoredLabel*>(child) || qobject_cast<NumberEdit*>(child))
            rows.append(child);
    QCOMPARE(rows, (QList<QObject*>{title, edit}));
    QCOMPARE(dialog->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    QCOMPARE(dialog->title(), QStringLiteral("Info"));
    QCOMPARE(dialog->icon(), DialogWindow::Icon::Waiting);
}

void tst_HostWidgets::dialogSizesFromInnerHeightAndKeepsButtonWidths()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    QVERIFY(!dialog->isWindow());
    dialog->setGeometry(0, 0, 600, 0);
    const int top = dialog->getTopInnerElements();
    QVERIFY(top > 0);
    auto* row = new NumberEdit(dialog, 3, 0, 40, nullptr, false);
    row->setGeometry(dialog->margins(), top, 600 - 2 * dialog->margins(), 27);
    dialog->setHeightInnerElements(27);

    QAbstractButton* print = dialog->insertAcceptButton(QStringLiteral("Print"), false, false);
    QAbstractButton* ok = dialog->insertRejectButton(QStringLiteral("Ok"), true, false);
    QCOMPARE(print->objectName(), QStringLiteral("button_accept"));
    QCOMPARE(ok->objectName(), QStringLiteral("button_reject"));
    QVERIFY(qobject_cast<Button*>(print));

    // Module code widens the buttons "keeping their position".
    print->setGeometry(print->x(), print->y(), 120, print->height());
    ok->setGeometry(ok->x(), ok->y(), 120, ok->height());
    dialog->show();

    QCOMPARE(dialog->width(), 600);
    QCOMPARE(print->width(), 120);
    QCOMPARE(ok->width(), 120);
    QCOMPARE(ok->x(), dialog->margins());
    QCOMPARE(print->geometry().right(), dialog->width() - dialog->margins() - 1);
    // The button row lies below the rows and inside the frame.
    QVERIFY(ok->y() >= top + 27 + dialog->getInnerSpace());
    QCOMPARE(ok->geometry().bottom(), dialog->height() - dialog->margins() - 1);
    // Centred over the main window.
    QCOMPARE(dialog->geometry().center().x(), m_main->rect().center().x());
}

void tst_HostWidgets::dialogMessageOnlySizesAroundMessage()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    dialog->setTitle(QStringLiteral("Load calibration"));
    const int bare = dialog->height();
    dialog->setMessage(QStringLiteral("Invalid file"));
    const int withMessage = dialog->height();
    dialog->insertRejectButton(QStringLiteral("Ok"), true, true);

    QCOMPARE(dialog->width(), 400);
    QVERIFY(withMessage > bare);
    QVERIFY(dialog->height() > withMessage);
    QCOMPARE(dialog->message(), QStringLiteral("Invalid file"));
}

void tst_HostWidgets::dialogButtonFlags_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("result");

    QTest::newRow("accept-closes") << true << true << 0;
    QTest::newRow("reject-closes") << false << true << 1;
    QTest::newRow("accept-stays") << true << false << -1;
    QTest::newRow("reject-stays") << false << false << -1;
}

void tst_HostWidgets::dialogButtonFlags()
{
    QFETCH(bool, accept);
    QFETCH(bool, closes);
    QFETCH(int, result);

    auto* dialog = new DialogWindow(m_main, nullptr);
    QAbstractButton* button = accept ? dialog->insertAcceptButton(QStringLiteral("Yes"), true, closes)
                                     : dialog->insertRejectButton(QStringLiteral("No"), true, closes);
    QSignalSpy finished(dialog, &ModalWidget::finished);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    dialog->show();
    // The default button answers Return.
    QTest::keyClick(dialog, Qt::Key_Return);

    QCOMPARE(clicked.count(), 1);
    QCOMPARE(dialog->isVisible(), !closes);
    QCOMPARE(finished.count(), closes ? 1 : 0);
    if (closes)
        QCOMPARE(finished.at(0).at(0).toInt(), result);
}

void tst_HostWidgets::dialogReplacesAndRemovesButtons()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    QPointer<QAbstractButton> first = dialog->insertAcceptButton(QStringLiteral("Load"), false, false);
    QAbstractButton* second = dialog->insertAcceptButton(QStringLiteral("Confirm"), false, false);
    QPointer<QAbstractButton> reject = dialog->insertRejectButton(QStringLiteral("Skip"), true, false);
    QCOMPARE(dialog->acceptButton(), second);
    QTRY_VERIFY(!first);

    dialog->removeRejectButton();
    QVERIFY(!dialog->rejectButton());
    QTRY_VERIFY(!reject);
    dialog->removeRejectButton(); // nothing left to remove
}

void tst_HostWidgets::dialogCloseEndsExecAsCancel()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    dialog->insertAcceptButton(QStringLiteral("Ok"), true, true);
    QTimer::singleShot(0, dialog, [dialog]() {
        QVERIFY(dialog->isExecuting());
        QVERIFY(dialog->isVisible());
        dialog->close();
    });
    QCOMPARE(dialog->exec(), 1);
    QVERIFY(!dialog->isVisible());

    // A person's click on a closing accept button confirms.
    QTimer::singleShot(0, dialog, [dialog]() { dialog->acceptButton()->click(); });
    QCOMPARE(dialog->exec(), 0);
}

void tst_HostWidgets::dialogEscapeClicksCloseButton_data()
{
    QTest::addColumn<bool>("withReject");

    QTest::newRow("reject-button") << true;
    QTest::newRow("only-accept") << false;
}

void tst_HostWidgets::dialogEscapeClicksCloseButton()
{
    QFETCH(bool, withReject);

    auto* dialog = new DialogWindow(m_main, nullptr);
    auto* edit = new NumberEdit(dialog, 3, 0, 40, nullptr, false);
    edit->setGeometry(dialog->margins(), dialog->getTopInnerElements(), 300, 27);
    dialog->setHeightInnerElements(27);
    // Module dialogs wire their "Ok" to their own clean-up, not to the closing flag.
    QAbstractButton* accept = dialog->insertAcceptButton(QStringLiteral("Ok"), false, false);
    QAbstractButton* reject = withReject ? dialog->insertRejectButton(QStringLiteral("Cancel"), false, false) : nullptr;
    QSignalSpy accepted(accept, &QAbstractButton::clicked);
    int rejected = 0;
    if (reject)
        connect(reject, &QAbstractButton::clicked, dialog, [&rejected]() { ++rejected; });
    dialog->show();

    // From a row that has the focus, the key reaches the dialog.
    QTest::keyClick(edit, Qt::Key_Escape);
    QCOMPARE(rejected, withReject ? 1 : 0);
    QCOMPARE(accepted.count(), withReject ? 0 : 1);
}

void tst_HostWidgets::dialogTallerThanParentScrollsRows()
{
    m_main->resize(800, 400);
    auto* dialog = new DialogWindow(m_main, nullptr);
    dialog->setTitle(QStringLiteral("Info"));
    dialog->setGeometry(0, 0, 400, 0);
    const int top = dialog->getTopInnerElements();
    QList<NumberEdit*> rows;
    for (int i = 0; i < 30; ++i) {
        auto* row = new NumberEdit(dialog, 3, 0, 40, nullptr, false);
        row->setGeometry(dialog->margins(), top + 27 * i, 400 - 2 * dialog->margins(), 27);
        row->setLabelText(QStringLiteral("Row %1").arg(i), 130);
        rows.append(row);
    }
    dialog->setHeightInnerElements(27 * rows.size());
    QAbstractButton* ok = dialog->insertRejectButton(QStringLiteral("Ok"), true, false);
    // A caller's button beside "Ok" stays on the button row.
    auto* load = new Button(dialog, "Load", false);
    load->setGeometry(ok->x() + ok->width() + 10, ok->y(), 120, ok->height());
    QAbstractButton* print = dialog->insertAcceptButton(QStringLiteral("Print"), false, false);
    dialog->show();

    QVERIFY(m_main->rect().contains(dialog->geometry()));
    for (QWidget* button : {static_cast<QWidget*>(ok), static_cast<QWidget*>(print), static_cast<QWidget*>(load)}) {
        QVERIFY(button->isVisible());
        QCOMPARE(button->y(), ok->y());
    }
    const int rowsBottom = ok->y() - dialog->getInnerSpace();
    NumberEdit* last = rows.last();
    QVERIFY(last->geometry().bottom() > rowsBottom);

    // The rows stay the dialog's direct children, in their order.
    QList<NumberEdit*> direct;
    for (QObject* child : dialog->children())
        if (auto* edit = qobject_cast<NumberEdit*>(child))
            direct.append(edit);
    QCOMPARE(direct, rows);

    // A turn of the wheel scrolls, and the scroll bar reaches the last row.
    QWheelEvent wheel(QPointF(200, 200), QPointF(dialog->mapToGlobal(QPoint(200, 200))), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(dialog, &wheel);
    QVERIFY(dialog->scrollOffset() > 0);
    auto* bar = dialog->findChild<QScrollBar*>();
    QVERIFY(bar && bar->isVisible());
    bar->setValue(bar->maximum());
    QVERIFY(last->geometry().bottom() <= rowsBottom);
    QVERIFY(last->y() >= top);
    QCOMPARE(load->y(), ok->y());
    QCOMPARE(rows.first()->y(), top - dialog->scrollOffset());

    // Tabbing to the first row brings it back into view.
    QApplication::setActiveWindow(m_main);
    rows.first()->setFocus(Qt::TabFocusReason);
    QCOMPARE(rows.first()->y(), top);

    // A parent tall enough again shows the dialog whole.
    m_main->resize(800, 1200);
    QCOMPARE(dialog->scrollOffset(), 0);
    QCOMPARE(last->geometry().bottom(), top + 27 * rows.size() - 1);
    QVERIFY(!bar->isVisible());
    QCOMPARE(load->y(), ok->y());
}

void tst_HostWidgets::modalAnswererAnswersWithoutLoop()
{
    auto* dialog = new DialogWindow(m_main, nullptr);
    dialog->insertAcceptButton(QStringLiteral("Ok"), true, true);
    QSignalSpy finished(dialog, &ModalWidget::finished);
    int asked = 0;
    ModalWidget::setAnswerer([&](ModalWidget* widget) {
        ++asked;
        [&] { QCOMPARE(widget, dialog); }();
        return 7;
    });
    QVERIFY(ModalWidget::hasAnswerer());
    QCOMPARE(dialog->exec(), 7);
    QCOMPARE(asked, 1);
    QCOMPARE(dialog->result(), 7);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog->isVisible());

    // An answerer that clicks the closing button answers through it.
    ModalWidget::setAnswerer([](ModalWidget* widget) {
        static_cast<DialogWindow*>(widget)->acceptButton()->click();
        return widget->result();
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(finished.count(), 2);
}

void tst_HostWidgets::modalDeletedWhileWaitingDoesNotCrash()
{
    QPointer<ModalWidget> widget = new ModalWidget(m_main);
    QTimer::singleShot(0, m_main, [widget]() { delete widget.data(); });
    QCOMPARE(widget->exec(), 1);
    QVERIFY(!widget);
}

void tst_HostWidgets::messageDialogIsAnsweredAndDeleted()
{
    QString seenTitle;
    QString seenMessage;
    ModalWidget::setAnswerer([&](ModalWidget* widget) {
        auto* dialog = qobject_cast<DialogWindow*>(widget);
        if (!dialog || !dialog->acceptButton())
            return -1;
        seenTitle = dialog->title();
        seenMessage = dialog->message();
        [&] { QCOMPARE(dialog->acceptButton()->text(), QStringLiteral("Ok")); }();
        dialog->acceptButton()->click();
        return dialog->result();
    });
    QCOMPARE(DialogWindow::execMessageDialog(m_main, 513, QStringLiteral("Password"),
                                             QStringLiteral("Incorrect password!")),
             0);
    QCOMPARE(seenTitle, QStringLiteral("Password"));
    QCOMPARE(seenMessage, QStringLiteral("Incorrect password!"));
    QVERIFY(m_main->findChildren<DialogWindow*>().isEmpty());

    // Without a parent the message box is its own window, and it goes too.
    QCOMPARE(DialogWindow::execMessageDialog(nullptr, 0, QStringLiteral("T"), QStringLiteral("M")), 0);
}

void tst_HostWidgets::passwordDialogFiltersTyping()
{
    const QString allowed = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    PasswordDialog* dialog = new PasswordDialog(m_main, 8, allowed, QStringLiteral("        "), true);
    auto* accept = dialog->findChild<Button*>(QStringLiteral("button_accept"));
    QVERIFY(accept);
    QCOMPARE(accept->text(), QStringLiteral("Ok"));

    dialog->typeText(QStringLiteral("51 8-6!"));
    QCOMPARE(dialog->getPassword(), QStringLiteral("5186"));
    dialog->typeText(QStringLiteral("abcdefgh"));
    QCOMPARE(dialog->getPassword(), QStringLiteral("5186abcd"));

    // A person types into the field; the prompt confirms and cancels as buttons do.
    ModalWidget::setAnswerer([](ModalWidget* widget) {
        auto* input = widget->findChild<QLineEdit*>();
        QTest::keyClicks(input, QStringLiteral("x"));
        QTest::keyClick(input, Qt::Key_Return);
        return widget->result();
    });
    QCOMPARE(dialog->exec(), 0);
    QCOMPARE(dialog->getPassword(), QStringLiteral("5186abcd")); // already eight long

    ModalWidget::setAnswerer([](ModalWidget* widget) {
        static_cast<DialogWindow*>(widget)->rejectButton()->click();
        return widget->result();
    });
    QCOMPARE(dialog->exec(), 1);
}

void tst_HostWidgets::findWidgetFindsMainWindow()
{
    GUIClient client;
    QVERIFY(!client.initialize(nullptr));
    QCOMPARE(client.mainWindow(), m_main);
    QCOMPARE(client.findWidget(QStringLiteral("MainWindow"), "QWidget"), m_main);
    QVERIFY(!client.findWidget(QStringLiteral("MainWindow"), "QPushButton"));

    auto* nested = new Button(new QWidget(m_main), "Load", false);
    QCOMPARE(client.findWidget(QStringLiteral("Load"), "QAbstractButton"), nested);

    delete m_main;
    m_main = nullptr;
    QVERIFY(!client.mainWindow());
}

void tst_HostWidgets::svgLoaderRendersIconsAndImages_data()
{
    QTest::addColumn<QString>("path");

    const char* const icons[] = {"calibrationinfo.svg", "calibrationoffon.svg", "calibrationpsu.svg",
                                 "calibrationiso.svg",  "calibrationbrn.svg",   "authentication.svg",
                                 "calibrationdc.svg",   "CalibrationSUR.svg",   "calibrationvlf.svg",
                                 "lontest.svg",         "lonalarmtest.svg",     "relaxoffon.svg",
                                 "active.svg",          "voltage_nom.svg",      "printpdf.svg",
                                 "print.svg",           "stick.svg",            "waiting.svg",
                                 "warning.svg"};
    for (char const* name : icons)
        QTest::newRow(name) << Path::icon(QString::fromLatin1(name));
    const char* const images[] = {"yes.svg", "error_Normal.svg", "error_normal.svg"};
    for (char const* name : images)
        QTest::newRow(name) << Path::image(QString::fromLatin1(name));
}

void tst_HostWidgets::svgLoaderRendersIconsAndImages()
{
    QFETCH(QString, path);
    const QImage sized = svgLoader::SVG::loadImage(path, 23, 23, 0, QColor(Qt::black), true, true);
    QVERIFY2(!sized.isNull(), qPrintable(path));
    QCOMPARE(sized.size(), QSize(23, 23));
    QCOMPARE(sized.format(), QImage::Format_ARGB32);

    // -1 takes the file's own size.
    const QImage natural = svgLoader::SVG::loadImage(path, -1, -1, 0, QColor(), true, false);
    QVERIFY(!natural.isNull());
    QVERIFY(natural.width() > 1 && natural.height() > 1);
}

void tst_HostWidgets::svgLoaderRecoloursAndRejectsBadInput()
{
    const QImage tick = svgLoader::SVG::loadImage(Path::image(QStringLiteral("yes.svg")), 32, 32, 0,
                                                  QColor(Qt::red), true, false);
    int drawn = 0;
    for (int y = 0; y < tick.height(); ++y) {
        for (int x = 0; x < tick.width(); ++x) {
            const QRgb pixel = tick.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            ++drawn;
            QCOMPARE(qGreen(pixel), 0);
            QCOMPARE(qBlue(pixel), 0);
        }
    }
    QVERIFY(drawn > 0);
    QVERIFY(qAlpha(tick.pixel(0, 0)) == 0); // the corner stays transparent

    QVERIFY(svgLoader::SVG::loadImage(Path::icon(QStringLiteral("missing.svg")), 23, 23, 0, QColor(), true, true)
                .isNull());
    QVERIFY(svgLoader::SVG::loadImage(QString(), 23, 23, 0, QColor(), true, true).isNull());
    QVERIFY(svgLoader::SVG::loadImage(Path::icon(QStringLiteral("print.svg")), 1e12, 1e12, 0, QColor(), true, false)
                .isNull());
}

void tst_HostWidgets::coloredLabelTakesAlignmentProperty()
{
    ColoredLabel label(m_main, nullptr, {});
    QVERIFY(label.setProperty("alignment", 132));
    QCOMPARE(label.alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    label.setText(QStringLiteral("Data in HBRN"));
    QCOMPARE(label.text(), QStringLiteral("Data in HBRN"));
}

void tst_HostWidgets::buttonTakesNameAndCheckable()
{
    Button named(m_main, "Load", true);
    QCOMPARE(named.objectName(), QStringLiteral("Load"));
    QVERIFY(named.isCheckable());
    Button plain(m_main, nullptr, false);
    QVERIFY(plain.objectName().isEmpty());
    QVERIFY(!plain.isCheckable());
}

void tst_HostWidgets::menuStripRecordsAndReplaces()
{
    auto* strip = new MenuStrip(m_main);
    ISegment* info = strip->createButton("Info", Path::icon(QStringLiteral("calibrationinfo.svg")), true, 1, {}, 1);
    ISegment* psu = strip->createButton("PSU", Path::icon(QStringLiteral("calibrationpsu.svg")), false, 1, {}, 1);
    strip->setSegment(3, psu);
    strip->setSegment(1, info);
    strip->setSegmentEnabled(3, true, 0);
    strip->setSegmentEnabled(9, true, 0); // nothing at 9: recorded, otherwise ignored
    strip->setToggleState(9, ToggleOn, 1);

    QCOMPARE(strip->positions(), (QList<int>{1, 3}));
    QVERIFY(psu->isEnabled());
    QCOMPARE(psu->title(), QStringLiteral("PSU"));
    const QList<MenuStrip::Event> events = strip->events();
    QCOMPARE(events.size(), 5);
    QCOMPARE(events.at(0).kind, MenuStrip::Event::Placed);
    QCOMPARE(events.at(0).position, 3);
    QCOMPARE(events.at(3).kind, MenuStrip::Event::Enabled);
    QCOMPARE(events.at(3).position, 9);
    QCOMPARE(events.at(4).kind, MenuStrip::Event::Toggled);
    QCOMPARE(events.at(4).value, 1);

    // A person's click on the segment's button fires clicked().
    QSignalSpy clicked(info, &ISegment::clicked);
    QTest::mouseClick(info->findChild<QToolButton*>(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    // Placing another segment at a position replaces and deletes the earlier one.
    QPointer<ISegment> replaced = psu;
    strip->setSegment(3, strip->createButton("ISO", QString(), true, 1, {}, 1));
    QCOMPARE(strip->segmentAt(3)->title(), QStringLiteral("ISO"));
    QTRY_VERIFY(!replaced);

    strip->clear();
    QVERIFY(strip->positions().isEmpty());
}

void tst_HostWidgets::menuToggleEmitsOnlyOnChange()
{
    MenuStrip strip(m_main);
    ISegment* toggle = strip.createToggle("Calibration", "Calibration", 0,
                                          Path::icon(QStringLiteral("calibrationoffon.svg")), ToggleOff, true, 1, {},
                                          {}, 1);
    strip.setSegment(2, toggle);
    QVERIFY(toggle->isToggle());
    QSignalSpy changed(toggle, &ISegment::stateChanged);

    strip.setToggleState(2, ToggleOff, 1);
    QCOMPARE(changed.count(), 0);
    strip.setToggleState(2, ToggleOn, 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<ToggleStates>(), ToggleOn);

    // A tap flips it back; a disabled toggle ignores the tap.
    static_cast<MenuSegment*>(toggle)->tap();
    QCOMPARE(toggle->toggleState(), ToggleOff);
    QCOMPARE(changed.count(), 2);
    strip.setSegmentEnabled(2, false, 0);
    static_cast<MenuSegment*>(toggle)->tap();
    QCOMPARE(toggle->toggleState(), ToggleOff);
    QCOMPARE(changed.count(), 2);
}

QTEST_MAIN(tst_HostWidgets)
#include "tst_hostwidgets.moc"
