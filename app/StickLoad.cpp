#include "app/StickLoad.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QList>
#include <QPointer>

#include "app/DialogDriver.h"
#include "app/HostEnvironment.h"
#include "host/DialogWindow.h"

QString const StickLoad::title = QStringLiteral("Load calibration");
QString const StickLoad::invalidFile = QStringLiteral("Invalid file");

StickLoad::Outcome StickLoad::run(HostEnvironment& host, QWidget* mainWindow, QString const& text, bool confirmAll,
                                  QString* summary, std::function<bool()> const& start, Progress const& progress)
{
    auto tell = [&progress](QString const& line) {
        if (progress)
            progress(line);
    };
    host.lon().clearRecords();
    DialogDriver driver(mainWindow);
    QList<DialogWindow*> const before = driver.shownDialogs();
    // The stick module hands the text over, as it does for a file chosen in the window.
    if (start ? !start() : !host.stick().handOver(text))
        return Outcome::NoDialog;
    DialogDriver::settle(0);

    QPointer<DialogWindow> dialog = driver.findShown(title);
    if (!dialog || before.contains(dialog.data()))
        return Outcome::NoDialog;
    *summary = dialog->message();
    tell(QStringLiteral("%1: %2").arg(title, *summary));
    if (*summary == invalidFile) {
        DialogDriver::dismiss(dialog);
        return Outcome::Invalid;
    }
    QAbstractButton* load = dialog->acceptButton();
    // "Load" is shown translated; the title and the summary are not.
    if (load == nullptr || load->text() != QCoreApplication::translate("Menu", "Load")) {
        DialogDriver::dismiss(dialog);
        return Outcome::NothingToDo;
    }

    DialogDriver::press(load);
    for (int prompt = 0; prompt < MaxPrompts && dialog && !dialog->isHidden(); ++prompt) {
        QAbstractButton* answer = confirmAll ? dialog->acceptButton() : dialog->rejectButton();
        if (answer == nullptr)
            break;
        tell(QStringLiteral("%1: %2").arg(answer->text(), dialog->message()));
        if (!DialogDriver::press(answer))
            break;
    }
    if (dialog && !dialog->isHidden())
        DialogDriver::dismiss(dialog);

    // The nodes write a moment after the last confirmed value.
    DialogDriver::settle(WriteSettleMs);
    host.lon().waitUntilIdle(AnswerTimeoutMs);
    return Outcome::Loaded;
}
