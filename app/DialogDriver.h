#pragma once

#include <QList>
#include <QString>

class DialogWindow;
class QAbstractButton;
class QWidget;

// Works the module's dialogs the way a person at the touch screen would: finds
// the ones it opened in the main window and presses their buttons.
class DialogDriver
{
public:
    explicit DialogDriver(QWidget* mainWindow);

    // The dialogs that are shown now, oldest first.
    QList<DialogWindow*> shownDialogs() const;
    // The newest shown dialog with that title, or null.
    DialogWindow* findShown(QString const& title) const;
    // Presses a button and lets the module react; false when there is none.
    static bool press(QAbstractButton* button);
    // Closes a dialog with its "Ok" button, else its reject button, else directly.
    static void dismiss(DialogWindow* dialog);
    // Lets queued work and deferred deletions run for a while.
    static void settle(int milliseconds);

private:
    QWidget* m_mainWindow;
};
