#pragma once

#include <QList>
#include <QScopedPointer>
#include <QString>

#include "sim/InstrumentProfile.h"
#include "support/HostFixture.h"

class DialogWindow;
class LonCalibration;
class MenuSegment;
class MenuStrip;

// The module as the host drives it, on a simulated instrument: instantiate,
// initialize, start, build the "/lon" page, and then a person's taps on the
// page and on the buttons of the dialogs that open. Modal prompts are
// answered with "cancel" while a harness lives. Reliability suites use it to
// run whole sessions with any host service left out.
class ModuleHarness
{
public:
    explicit ModuleHarness(InstrumentProfile const& profile, HostFixture::Options options = HostFixture::Options());
    ~ModuleHarness();

    HostFixture& host() { return *m_host; }
    LonSimulator* lon() const { return m_host->lon(); }
    LonCalibration* module() const { return m_module; }
    MenuStrip* menu() const { return m_menu.data(); }
    InstrumentProfile const& profile() const { return m_profile; }

    // A new module object (a previous one is shut down and deleted first).
    void instantiate();
    // initialize(); on false the module is dropped the way the host drops it.
    bool initialize();
    void start();
    // Builds the "/lon" page on a fresh strip; false when the module returned no page.
    bool createMenu();
    // instantiate, initialize, start and createMenu; false when initialize failed.
    bool bringUp();
    // The host's end of a module: leave the page, shutdownModule, delete, run deferred deletes.
    void tearDown();

    // The segment at a menu position, null when there is none.
    MenuSegment* segment(int position) const;
    // Taps a segment like a person: only when it exists and is enabled.
    bool tap(int position);
    // The dialogs currently shown on the main window.
    QList<DialogWindow*> openDialogs() const;
    // Clicks the dialog's "Ok" (or closes it when it has none).
    static void closeDialog(DialogWindow* dialog);
    void closeAllDialogs();
    // Taps every node button, the info, test functions and alarm test buttons,
    // each dialog closed again before the next; the calibration toggle is
    // switched on first and off at the end. Returns the number of dialogs seen.
    int openAndCloseEveryDialog();

    // Menu positions of the "/lon" page.
    static QList<int> const& dialogPositions();
    static constexpr int InfoPosition = 1;
    static constexpr int CalibrationPosition = 2;
    static constexpr int RelaxPosition = 11;

private:
    InstrumentProfile m_profile;
    QScopedPointer<HostFixture> m_host;
    QScopedPointer<MenuStrip> m_menu;
    LonCalibration* m_module = nullptr;
};
