#include "app/DialogDriver.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QThread>

#include "host/DialogWindow.h"

DialogDriver::DialogDriver(QWidget* mainWindow)
    : m_mainWindow(mainWindow)
{ }

QList<DialogWindow*> DialogDriver::shownDialogs() const
{
    QList<DialogWindow*> shown;
    if (m_mainWindow == nullptr)
        return shown;
    // Children are listed in creation order, so the newest comes last.
    const QList<DialogWindow*> dialogs
        = m_mainWindow->findChildren<DialogWindow*>(QString(), Qt::FindDirectChildrenOnly);
    for (DialogWindow* dialog : dialogs) {
        if (!dialog->isHidden())
            shown.append(dialog);
    }
    return shown;
}

DialogWindow* DialogDriver::findShown(QString const& title) const
{
    const QList<DialogWindow*> shown = shownDialogs();
    for (auto it = shown.crbegin(); it != shown.crend(); ++it) {
        if ((*it)->title() == title)
            return *it;
    }
    return nullptr;
}

bool DialogDriver::press(QAbstractButton* button)
{
    if (button == nullptr || !button->isEnabled())
        return false;
    button->click();
    settle(0);
    return true;
}

void DialogDriver::dismiss(DialogWindow* dialog)
{
    QPointer<DialogWindow> guard(dialog);
    if (!guard || guard->isHidden())
        return;
    QAbstractButton* choice = nullptr;
    for (QAbstractButton* button : {guard->acceptButton(), guard->rejectButton()}) {
        // The module shows "Ok" translated, so compare with what it shows.
        if (button != nullptr && button->text() == QCoreApplication::translate("Dialog", "Ok"))
            choice = button;
    }
    if (choice == nullptr)
        choice = guard->rejectButton();
    press(choice);
    if (guard && !guard->isHidden())
        guard->close();
    settle(0);
}

void DialogDriver::settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (timer.elapsed() < milliseconds)
            QThread::msleep(5);
    } while (timer.elapsed() < milliseconds);
}
