#pragma once

#include <QPointer>

#include "ModalWidget.h"

class QAbstractButton;
class QLabel;
class Button;

// The toolkit's dialog frame: title, optional message and icon, an inner area
// for the caller's rows, and an accept and a reject button. The frame keeps
// its own parts inside a private chrome widget, so the direct children of the
// dialog are the caller's rows and the buttons.
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

    // A message box with an Ok button, run modally; returns exec()'s result.
    static int execMessageDialog(QWidget* parent, int flags, QString const& title, QString const& text);

    virtual void show();
    virtual bool close();

    // Shows the dialog, then waits like ModalWidget::exec().
    int exec() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractButton* insertButton(QPointer<Button>& slot, QString const& text, bool bDefault, bool bCloses,
                                  int closeResult, char const* objectName);
    void relayout();
    void updateHeight();
    int contentHeight() const;
    void dropButton(QPointer<Button>& slot);
    void showIcon(Icon icon, QString const& fileName);

    QWidget* m_chrome = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_iconLabel = nullptr;
    QPointer<Button> m_accept;
    QPointer<Button> m_reject;
    Icon m_icon = Icon::None;
    bool m_hideKeyboard = false;
    int m_innerHeight = -1;
};
