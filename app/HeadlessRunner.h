#pragma once

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/CommandLine.h"
#include "app/StickLoad.h"

class DialogWindow;
class MenuSegment;
class QAbstractButton;
class HostEnvironment;
class QDir;
class MenuStrip;
class QTextStream;
class QWidget;

// Runs the command line's actions, in order, against the started host through
// the module's own operations and dialogs. The first failure ends the run.
class HeadlessRunner
{
public:
    enum ExitStatus
    {
        Success = 0,
        Failure = 1
    };

    // host may be null when no action needs it (listing the profiles).
    // What the other modules see during the run is printed as it happens.
    HeadlessRunner(HostEnvironment* host, QWidget* mainWindow, MenuStrip* menu, QTextStream& out);
    ~HeadlessRunner();
    HeadlessRunner(HeadlessRunner const&) = delete;
    HeadlessRunner& operator=(HeadlessRunner const&) = delete;

    // Shown beside every profile by --list-profiles.
    void setSerialNumber(QString const& serial) { m_serial = serial; }

    // Exit status; the reason of a failure is in errorString().
    int run(QList<CommandLine::Action> const& actions, bool confirmAll);
    QString errorString() const { return m_error; }

    static void listProfiles(QTextStream& out, QString const& serial = QString());

private:
    bool runAction(CommandLine::Action const& action, bool confirmAll);
    bool exportTo(QString const& path);
    // Through the stick module directly, or (fromInfo) as a person does: the
    // Info window's "Load from USB-Stick", then the file chosen on the stick.
    bool importFrom(QString const& path, bool confirmAll, bool fromInfo = false);
    // Presses "Load from USB-Stick" and answers the stick module's request with the file.
    bool loadThroughInfo(QString const& path);
    bool setValue(QString const& assignment);
    bool printTo(QString const& path);
    bool printInfo();
    bool vlfSetPoint(QString const& switchLabel);
    bool pressButton(QString const& menuAndButton);
    // The menu segment with that title, tapped; the newest dialog it opened, or null.
    DialogWindow* openFromMenu(QString const& title);
    bool screenshots(QString const& directory);
    // The stick module's chooser as "Load from USB-Stick" opens it.
    bool grabStickChooser(QString const& path);
    bool grabOtherFlows(QDir const& folder);
    // The service menu's button of that title, null when there is none.
    MenuSegment* menuButton(QString const& title) const;
    bool openInfoLoadButton(QPointer<DialogWindow>& info, QAbstractButton** load);
    // The calibration session's values found, written back and read back.
    bool revert();
    // Types a number into a dialog's field the way a person does.
    bool typeNumber(QString const& typing);

    bool fail(QString const& message);
    // Polls every node and waits for the answers.
    bool refreshValues();
    QString exportDocument(int* count = nullptr);
    // The value the module holds under the export key; empty when none.
    QString exportedValue(QString const& key);
    static QString oneValueDocument(QString const& key, QString const& value);
    // start makes the module open its load dialog; by default the text is handed over.
    StickLoad::Outcome runImport(
        QString const& text, bool confirmAll, QString* summary, std::function<bool()> const& start = nullptr);
    bool switchCalibrationOn();
    // Switches calibration mode off again when this run switched it on.
    bool switchCalibrationOff();
    // Every write of the last load was taken by its node.
    bool checkWrites();
    // Nodes that did not answer in full make the data incomplete: a failure.
    bool checkAnswers();
    // Files the host writes on its own (configuration, log, node memory) failed.
    bool checkHostFiles();
    // After a load with every prompt confirmed: the nodes hold what the text says.
    bool checkTaken(QString const& text);
    bool save(QString const& path, QByteArray const& bytes);
    bool grab(QWidget* widget, QString const& path);

    HostEnvironment* m_host;
    QWidget* m_mainWindow;
    MenuStrip* m_menu;
    QTextStream& m_out;
    QString m_error;
    bool m_switchedCalibrationOn = false;
    QString m_serial;
    QMetaObject::Connection m_journal;
    QMetaObject::Connection m_session;
};
