#pragma once

#include <QPointer>

#include "ModalWidget.h"

class QAbstractButton;
class QFrame;
class QLabel;
class QScrollBar;
class Button;

// The toolkit's dialog frame: title, optional message and icon, an inner area
// for the caller's rows, and an accept and a reject button. The frame keeps
// its own parts inside private plain widgets, so the direct children of the
// dialog that are labels or number edits are the caller's rows.
//
// A dialog taller than its parent is cut to the parent's height: the title and
// the button row stay, and the rows scroll between them. The rows stay direct
// children; scrolling moves them, so callers place them before the person
// scrolls (as the module does, before show()). Buttons the caller lines up
// with the dialog's own buttons belong to the button row and never scroll.
class DialogWindow : public ModalWidget
{
    Q_OBJECT

public:
    enum class Icon
    {
        None,
        Waiting,
        Warning
    };

    DialogWindow(QWidget* parent, char const* name);
    ~DialogWindow() override;

    void setTitle(QString const& title);
    QString title() const;
    void setMessage(QString const& message);
    QString message() const;
    void setWaitingIcon();
    void setWarningIcon();
    Icon icon() const { return m_icon; }
    void setHideKeyboard(bool hide);
    bool hidesKeyboard() const { return m_hideKeyboard; }

    // bDefault: the button answers Return; bCloses: a click also ends the dialog
    // (accept gives result 0, reject 1) and hides it.
    QAbstractButton* insertAcceptButton(QString const& text, bool bDefault, bool bCloses);
    QAbstractButton* insertRejectButton(QString const& text, bool bDefault, bool bCloses);
    void removeRejectButton();
    QAbstractButton* acceptButton() const;
    QAbstractButton* rejectButton() const;

    // Geometry of the inner area: rows start at getTopInnerElements(), columns at margins().
    int getTopInnerElements() const;
    int getInnerSpace() const;
    int margins() const;
    void setHeightInnerElements(int height);
    int heightInnerElements() const { return m_innerHeight; }
    // How far the rows are scrolled up; 0 when everything fits.
    int scrollOffset() const { return m_scroll; }

    // A message box with an Ok button, run modally; returns exec()'s result.
    static int execMessageDialog(QWidget* parent, int flags, QString const& title, QString const& text);

    virtual void show();
    virtual bool close();

    // Shows the dialog, then waits like ModalWidget::exec().
    int exec() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractButton* insertButton(QPointer<Button>& slot, QString const& text, bool bDefault, bool bCloses,
                                  int closeResult, char const* objectName);
    void relayout();
    void updateHeight();
    void placeInParent();
    int contentHeight() const;
    // Height of everything below the rows: the button row and the margins.
    int bottomBand() const;
    int fullHeight() const;
    bool isOwnPart(QWidget const* widget) const;
    bool isButtonRowFollower(QWidget const* widget) const;
    QList<QWidget*> rows() const;
    void scrollRowsTo(int offset);
    void scrollIntoView(QWidget* focused);
    void dropButton(QPointer<Button>& slot);
    void showIcon(Icon icon, QString const& fileName);

    QFrame* m_chrome = nullptr;
    QWidget* m_header = nullptr;
    QWidget* m_footer = nullptr;
    QScrollBar* m_scrollBar = nullptr;
    QMetaObject::Connection m_focusConnection;
    int m_scroll = 0;
    // Where the own buttons stood at the last layout: the followers' row.
    int m_acceptY = -1;
    int m_rejectY = -1;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_iconLabel = nullptr;
    QPointer<Button> m_accept;
    QPointer<Button> m_reject;
    Icon m_icon = Icon::None;
    bool m_hideKeyboard = false;
    int m_innerHeight = -1;
};
