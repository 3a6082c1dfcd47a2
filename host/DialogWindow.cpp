#include "DialogWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include "Button.h"
#include "Path.h"
#include "SvgLoader.h"

namespace {

constexpr int kMargin = 10;
constexpr int kInnerSpace = 10;
constexpr int kTitleHeight = 40;
constexpr int kIconSize = 28;
constexpr int kDefaultWidth = 400;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 36;
// execMessageDialog flag bit that asks for the warning icon.
constexpr int kMessageWarningFlag = 0x200;
// A parent lower than this much row space leaves the dialog uncut: a parent not
// laid out yet must not squeeze it to nothing.
constexpr int kMinimumRowSpace = 60;
constexpr int kScrollStep = 20;

} // namespace

DialogWindow::DialogWindow(QWidget* parent, char const* name)
    : ModalWidget(parent, parent ? Qt::WindowFlags() : Qt::WindowFlags(Qt::Dialog))
{
    if (name)
        setObjectName(QString::fromUtf8(name));

    // The chrome is the first child, so every row the caller adds stacks above it.
    m_chrome = new QFrame(this);
    m_chrome->setObjectName(QStringLiteral("dialog_chrome"));
    m_chrome->setFrameShape(QFrame::Box);
    m_chrome->setAutoFillBackground(true);

    // Title and icon sit in a header of their own that stays above scrolled rows.
    m_header = new QWidget(this);
    m_header->setObjectName(QStringLiteral("dialog_header"));
    m_header->setAutoFillBackground(true);
    m_header->setBackgroundRole(QPalette::Highlight);

    m_title = new QLabel(m_header);
    m_title->setObjectName(QStringLiteral("dialog_title"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setAutoFillBackground(true);
    m_title->setBackgroundRole(QPalette::Highlight);
    m_title->setForegroundRole(QPalette::HighlightedText);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_iconLabel = new QLabel(m_header);
    m_iconLabel->setObjectName(QStringLiteral("dialog_icon"));
    m_iconLabel->setAutoFillBackground(true);
    m_iconLabel->setBackgroundRole(QPalette::Highlight);
    m_iconLabel->setAlignment(Qt::AlignCenter);
    m_iconLabel->hide();

    m_message = new QLabel(m_chrome);
    m_message->setObjectName(QStringLiteral("dialog_message"));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->hide();

    // Covers scrolled rows below the inner area, under the buttons; its frame
    // lines up with the chrome's and draws a line above the button row.
    auto* footer = new QFrame(this);
    footer->setObjectName(QStringLiteral("dialog_footer"));
    footer->setFrameShape(QFrame::Box);
    footer->setAutoFillBackground(true);
    m_footer = footer;
    m_footer->hide();

    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->setObjectName(QStringLiteral("dialog_scroll"));
    m_scrollBar->setRange(0, 0);
    m_scrollBar->setSingleStep(kScrollStep);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &DialogWindow::scrollRowsTo);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
                                [this](QWidget*, QWidget* now) { scrollIntoView(now); });

    // The parent's height decides whether the rows have to scroll.
    if (parent)
        parent->installEventFilter(this);

    resize(kDefaultWidth, 0);
    updateHeight();
    relayout();
    // Hidden until show(), even inside a main window that is already visible or
    // becomes visible later: a dialog built for printing only must never appear.
    hide();
}

// Focus moves while the children go; the dialog must not hear of it by then.
DialogWindow::~DialogWindow()
{
    QObject::disconnect(m_focusConnection);
}

void DialogWindow::setTitle(QString const& title)
{
    m_title->setText(title);
    setWindowTitle(title);
}

QString DialogWindow::title() const
{
    return m_title->text();
}

void DialogWindow::setMessage(QString const& message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    updateHeight();
    relayout();
}

QString DialogWindow::message() const
{
    return m_message->text();
}

void DialogWindow::setWaitingIcon()
{
    showIcon(Icon::Waiting, QStringLiteral("waiting.svg"));
}

void DialogWindow::setWarningIcon()
{
    showIcon(Icon::Warning, QStringLiteral("warning.svg"));
}

void DialogWindow::showIcon(Icon icon, QString const& fileName)
{
    m_icon = icon;
    const QImage image = svgLoader::SVG::loadImage(Path::icon(fileName), kIconSize, kIconSize, 0, QColor(), true, true);
    m_iconLabel->setPixmap(QPixmap::fromImage(image));
    m_iconLabel->show();
    relayout();
}

void DialogWindow::setHideKeyboard(bool hide)
{
    // The stand-in has no on-screen keyboard; the wish is kept for the host.
    m_hideKeyboard = hide;
}

QAbstractButton* DialogWindow::insertAcceptButton(QString const& text, bool bDefault, bool bCloses)
{
    return insertButton(m_accept, text, bDefault, bCloses, 0, "button_accept");
}

QAbstractButton* DialogWindow::insertRejectButton(QString const& text, bool bDefault, bool bCloses)
{
    return insertButton(m_reject, text, bDefault, bCloses, 1, "button_reject");
}

QAbstractButton* DialogWindow::insertButton(QPointer<Button>& slot, QString const& text, bool bDefault,
                                            bool bCloses, int closeResult, char const* objectName)
{
    dropButton(slot);

    auto* button = new Button(this, objectName, false);
    button->setText(text);
    button->resize(kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    button->setDefault(bDefault);
    if (bCloses) {
        connect(button, &QAbstractButton::clicked, this, [this, closeResult]() {
            hide();
            done(closeResult);
        });
    }
    // A caller that resizes the button keeps its width; the dialog re-anchors it.
    button->installEventFilter(this);
    button->show();
    slot = button;

    updateHeight();
    relayout();
    return button;
}

void DialogWindow::dropButton(QPointer<Button>& slot)
{
    if (!slot)
        return;
    Button* old = slot;
    slot = nullptr;
    // Deferred: the button may be the sender of the click that replaces it.
    old->removeEventFilter(this);
    old->hide();
    old->disconnect(this);
    old->deleteLater();
}

void DialogWindow::removeRejectButton()
{
    dropButton(m_reject);
    updateHeight();
    relayout();
}

QAbstractButton* DialogWindow::acceptButton() const
{
    return m_accept.data();
}

QAbstractButton* DialogWindow::rejectButton() const
{
    return m_reject.data();
}

int DialogWindow::getTopInnerElements() const
{
    return kTitleHeight + kInnerSpace;
}

int DialogWindow::getInnerSpace() const
{
    return kInnerSpace;
}

int DialogWindow::margins() const
{
    return kMargin;
}

void DialogWindow::setHeightInnerElements(int height)
{
    m_innerHeight = qMax(0, height);
    updateHeight();
    relayout();
}

int DialogWindow::execMessageDialog(QWidget* parent, int flags, QString const& title, QString const& text)
{
    auto* dialog = new DialogWindow(parent, nullptr);
    QPointer<DialogWindow> guard(dialog);
    dialog->setTitle(title);
    dialog->setMessage(text);
    if (flags & kMessageWarningFlag)
        dialog->setWarningIcon();
    dialog->insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, true);
    const int result = dialog->exec();
    // The parent may have taken the dialog with it while it ran.
    delete guard.data();
    return result;
}

int DialogWindow::exec()
{
    show();
    return ModalWidget::exec();
}

void DialogWindow::show()
{
    relayout();
    placeInParent();
    raise();
    QWidget::show();
}

void DialogWindow::placeInParent()
{
    if (QWidget* parent = parentWidget()) {
        move(qMax(0, (parent->width() - width()) / 2), qMax(0, (parent->height() - height()) / 2));
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

bool DialogWindow::close()
{
    hide();
    if (isExecuting())
        done(1);
    return true;
}

void DialogWindow::resizeEvent(QResizeEvent* event)
{
    ModalWidget::resizeEvent(event);
    updateHeight();
    relayout();
}

void DialogWindow::keyPressEvent(QKeyEvent* event)
{
    QAbstractButton* target = nullptr;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_accept && m_accept->isDefault())
            target = m_accept;
        else if (m_reject && m_reject->isDefault())
            target = m_reject;
    } else if (event->key() == Qt::Key_Escape) {
        // Escape is the close button: most dialogs have only an "Ok" that cleans up.
        target = m_reject ? m_reject : m_accept;
    }
    if (target && target->isEnabled() && target->isVisible()) {
        target->click();
        event->accept();
        return;
    }
    ModalWidget::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent* event)
{
    // A window manager close counts as cancel.
    if (isExecuting())
        done(1);
    ModalWidget::closeEvent(event);
}

void DialogWindow::wheelEvent(QWheelEvent* event)
{
    if (m_scrollBar->isVisible()) {
        QCoreApplication::sendEvent(m_scrollBar, event);
        return;
    }
    ModalWidget::wheelEvent(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == m_accept.data() || watched == m_reject.data()) {
            relayout();
        } else if (watched == parentWidget()) {
            updateHeight();
            relayout();
            if (isVisible())
                placeInParent();
        }
    }
    return ModalWidget::eventFilter(watched, event);
}

int DialogWindow::contentHeight() const
{
    if (m_innerHeight >= 0)
        return m_innerHeight;
    if (m_message->text().isEmpty())
        return 0;
    return m_message->heightForWidth(qMax(1, width() - 2 * kMargin));
}

int DialogWindow::bottomBand() const
{
    int buttonRow = 0;
    for (Button* button : {m_accept.data(), m_reject.data()})
        if (button)
            buttonRow = qMax(buttonRow, button->height());
    return buttonRow > 0 ? kInnerSpace + buttonRow + kMargin : kMargin;
}

int DialogWindow::fullHeight() const
{
    return getTopInnerElements() + contentHeight() + bottomBand();
}

void DialogWindow::updateHeight()
{
    // The caller fixes the width; the height follows from the content and the button row,
    // up to the parent's height.
    int wanted = fullHeight();
    if (QWidget const* parent = parentWidget()) {
        const int limit = parent->height();
        if (wanted > limit && limit >= getTopInnerElements() + kMinimumRowSpace + bottomBand())
            wanted = limit;
    }
    if (height() != wanted)
        resize(width(), wanted);
}

bool DialogWindow::isOwnPart(QWidget const* widget) const
{
    return widget == m_chrome || widget == m_header || widget == m_footer || widget == m_scrollBar
           || widget == m_accept.data() || widget == m_reject.data();
}

// A caller's button set on the row of the dialog's own buttons (the info sheet's
// "Load from USB-Stick" beside "Ok") travels with them.
bool DialogWindow::isButtonRowFollower(QWidget const* widget) const
{
    if (!qobject_cast<QAbstractButton const*>(widget) || isOwnPart(widget))
        return false;
    return (m_acceptY >= 0 && widget->y() == m_acceptY) || (m_rejectY >= 0 && widget->y() == m_rejectY);
}

QList<QWidget*> DialogWindow::rows() const
{
    QList<QWidget*> result;
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && !isOwnPart(widget) && !isButtonRowFollower(widget))
            result.append(widget);
    }
    return result;
}

void DialogWindow::scrollRowsTo(int offset)
{
    const int delta = offset - m_scroll;
    if (delta == 0)
        return;
    m_scroll = offset;
    for (QWidget* row : rows())
        row->move(row->x(), row->y() - delta);
    m_message->move(m_message->x(), getTopInnerElements() - m_scroll);
}

// A row that takes the focus (Tab, a tap) is scrolled fully into the inner area.
void DialogWindow::scrollIntoView(QWidget* focused)
{
    if (!focused || !m_scrollBar->isVisible())
        return;
    QWidget* row = focused;
    while (row && row->parentWidget() != this)
        row = row->parentWidget();
    if (!row || isOwnPart(row) || isButtonRowFollower(row))
        return;
    const int top = getTopInnerElements();
    const int bottom = height() - bottomBand();
    if (row->y() < top)
        m_scrollBar->setValue(m_scroll - (top - row->y()));
    else if (row->y() + row->height() > bottom)
        m_scrollBar->setValue(m_scroll + qMin(row->y() - top, row->y() + row->height() - bottom));
}

void DialogWindow::relayout()
{
    const int w = width();
    const int h = height();
    m_chrome->setGeometry(0, 0, w, h);
    m_chrome->lower();

    const int frame = m_chrome->frameWidth();
    m_header->setGeometry(0, 0, w, kTitleHeight);
    int titleX = 0;
    if (m_icon != Icon::None) {
        m_iconLabel->setGeometry(0, 0, kTitleHeight + kMargin, kTitleHeight);
        titleX = kTitleHeight + kMargin;
    }
    m_title->setGeometry(titleX, 0, w - titleX, kTitleHeight);
    m_title->setIndent(titleX > 0 ? 0 : kMargin);
    m_message->setGeometry(kMargin, getTopInnerElements() - m_scroll, qMax(0, w - 2 * kMargin), contentHeight());

    // Only positions change: a width the caller gave a button stays. Buttons the
    // caller lined up with them move along.
    struct Placement
    {
        Button* button;
        int* lastY;
        int x;
    };
    const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QList<QWidget*> followers;
    for (QWidget* child : children)
        if (isButtonRowFollower(child))
            followers.append(child);
    int followerShift = 0;
    const int acceptX = m_accept ? w - kMargin - m_accept->width() : 0;
    for (Placement const& place :
         {Placement{m_reject.data(), &m_rejectY, kMargin}, Placement{m_accept.data(), &m_acceptY, acceptX}}) {
        if (!place.button) {
            *place.lastY = -1;
            continue;
        }
        const int y = h - kMargin - place.button->height();
        if (*place.lastY >= 0 && followerShift == 0)
            followerShift = y - *place.lastY;
        place.button->move(place.x, y);
        *place.lastY = y;
    }
    for (QWidget* follower : followers)
        follower->move(follower->x(), follower->y() + followerShift);

    // Rows that do not fit scroll between the title and the button row.
    const int rowSpaceBottom = h - bottomBand();
    const int excess = qMax(0, fullHeight() - h);
    m_scrollBar->setRange(0, excess);
    m_scrollBar->setPageStep(qMax(kScrollStep, rowSpaceBottom - getTopInnerElements()));
    const bool scrolling = excess > 0;
    m_scrollBar->setVisible(scrolling);
    m_footer->setVisible(scrolling);
    if (scrolling) {
        m_scrollBar->setGeometry(w - kMargin, getTopInnerElements(), kMargin - frame,
                                 rowSpaceBottom - getTopInnerElements());
        m_footer->setGeometry(0, rowSpaceBottom, w, h - rowSpaceBottom);
        // Raising reorders only our parts and buttons; the rows keep their order.
        for (QWidget* part : {m_header, m_footer, static_cast<QWidget*>(m_scrollBar)})
            part->raise();
        for (Button* button : {m_reject.data(), m_accept.data()})
            if (button)
                button->raise();
        for (QWidget* follower : followers)
            follower->raise();
    }
}
