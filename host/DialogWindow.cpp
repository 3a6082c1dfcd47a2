#include "DialogWindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>

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

} // namespace

DialogWindow::DialogWindow(QWidget* parent, char const* name)
    : ModalWidget(parent, parent ? Qt::WindowFlags() : Qt::WindowFlags(Qt::Dialog))
{
    if (name)
        setObjectName(QString::fromUtf8(name));

    // The chrome is the first child, so every row the caller adds stacks above it.
    auto* chrome = new QFrame(this);
    chrome->setObjectName(QStringLiteral("dialog_chrome"));
    chrome->setFrameShape(QFrame::Box);
    chrome->setAutoFillBackground(true);
    m_chrome = chrome;

    m_title = new QLabel(m_chrome);
    m_title->setObjectName(QStringLiteral("dialog_title"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setAutoFillBackground(true);
    m_title->setBackgroundRole(QPalette::Highlight);
    m_title->setForegroundRole(QPalette::HighlightedText);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_iconLabel = new QLabel(m_chrome);
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

    resize(kDefaultWidth, 0);
    updateHeight();
    relayout();
    // Hidden until show(), even inside a main window that is already visible or
    // becomes visible later: a dialog built for printing only must never appear.
    hide();
}

DialogWindow::~DialogWindow() = default;

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
    if (QWidget* parent = parentWidget()) {
        move(qMax(0, (parent->width() - width()) / 2), qMax(0, (parent->height() - height()) / 2));
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    raise();
    QWidget::show();
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
        target = m_reject;
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

bool DialogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && (watched == m_accept.data() || watched == m_reject.data()))
        relayout();
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

void DialogWindow::updateHeight()
{
    // The caller fixes the width; the height follows from the content and the button row.
    int wanted = getTopInnerElements() + contentHeight();
    int buttonRow = 0;
    for (Button* button : {m_accept.data(), m_reject.data()})
        if (button)
            buttonRow = qMax(buttonRow, button->height());
    wanted += buttonRow > 0 ? kInnerSpace + buttonRow + kMargin : kMargin;
    if (height() != wanted)
        resize(width(), wanted);
}

void DialogWindow::relayout()
{
    const int w = width();
    const int h = height();
    m_chrome->setGeometry(0, 0, w, h);
    m_chrome->lower();

    int titleX = 0;
    if (m_icon != Icon::None) {
        m_iconLabel->setGeometry(0, 0, kTitleHeight + kMargin, kTitleHeight);
        titleX = kTitleHeight + kMargin;
    }
    m_title->setGeometry(titleX, 0, w - titleX, kTitleHeight);
    m_title->setIndent(titleX > 0 ? 0 : kMargin);
    m_message->setGeometry(kMargin, getTopInnerElements(), qMax(0, w - 2 * kMargin), contentHeight());

    // Only positions change: a width the caller gave a button stays.
    if (m_reject)
        m_reject->move(kMargin, h - kMargin - m_reject->height());
    if (m_accept)
        m_accept->move(w - kMargin - m_accept->width(), h - kMargin - m_accept->height());
}
