#pragma once

#include <QMainWindow>

class HostEnvironment;
class OtherModulesPanel;
class QLabel;
class QToolButton;
class MenuStrip;
class ServiceLogPanel;
class SessionPanel;
class TrafficPanel;

// The bench's main window, named "MainWindow" because the module's dialogs
// look it up by that name and open inside it. The "/lon" service menu strip
// runs across the top, the dialogs appear in the stage below it, and docks
// show the LON traffic, the service log, the host parameters, the state
// machine and the instrument profile.
class WorkbenchWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit WorkbenchWindow(HostEnvironment& host, QWidget* parent = nullptr);
    ~WorkbenchWindow() override;

    MenuStrip* menuStrip() const { return m_menu; }
    TrafficPanel* trafficPanel() const { return m_traffic; }
    ServiceLogPanel* serviceLogPanel() const { return m_log; }
    OtherModulesPanel* otherModulesPanel() const { return m_otherModules; }
    SessionPanel* sessionPanel() const { return m_session; }
    // A file the host could not write, shown in a banner above the menu.
    void showFileFailure(QString const& message);

protected:
    void childEvent(QChildEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDockWidget* addPanel(QString const& title, QString const& name, QWidget* panel, Qt::DockWidgetArea area);
    // Centres a dialog in the stage, kept inside the window.
    void placeDialog(QWidget* dialog);
    // The module asked the stick module for a file: let the user choose one.
    void chooseStickFile();
    void showPrint(QString const& file);
    bool isDocked(QDockWidget* dock, Qt::DockWidgetAreas areas) const;

    HostEnvironment& m_host;
    MenuStrip* m_menu = nullptr;
    QWidget* m_stage = nullptr;
    TrafficPanel* m_traffic = nullptr;
    ServiceLogPanel* m_log = nullptr;
    QLabel* m_warning = nullptr;
    OtherModulesPanel* m_otherModules = nullptr;
    SessionPanel* m_session = nullptr;
    QLabel* m_printed = nullptr;
    QToolButton* m_openPrints = nullptr;
    // The side and bottom docks keep their size when the window changes size:
    // what the user dragged them to, given back after every resize.
    QDockWidget* m_sideDock = nullptr;
    QDockWidget* m_bottomDock = nullptr;
    int m_sideWidth = 0;
    int m_bottomHeight = 0;
    QSize m_laidOutSize;
};
