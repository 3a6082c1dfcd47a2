#include "support/ModuleHarness.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "host/DialogWindow.h"
#include "host/IModuleMenu.h"
#include "host/MenuSegment.h"
#include "host/MenuStrip.h"
#include "host/ModalWidget.h"
#include "host/ParameterService.h"
#include "host/Parameters.h"
#include "host/StateMachine.h"
#include "module/LonCalibration.h"
#include "sim/LonSimulator.h"

namespace {

QString const kPage = QStringLiteral("/lon");

// Info, the node buttons, the alarm test and the test functions.
QList<int> const kDialogPositions = {1, 3, 4, 5, 6, 7, 8, 9, 10};

} // namespace

ModuleHarness::ModuleHarness(InstrumentProfile const& profile, HostFixture::Options options) : m_profile(profile)
{
    options.networkType = profile.networkType;
    options.hardware = profile.hardware;
    m_host.reset(new HostFixture(options));
    profile.applyToHost();
    if (lon() != nullptr)
        lon()->applyProfile(profile);
    if (m_host->parameters() != nullptr)
        m_host->parameters()->setParameter(ParamServiceMode, 1);
    // Past the start-up state, so nothing waits for the state machine.
    if (m_host->stateMachine() != nullptr)
        m_host->stateMachine()->setState(2);
    ModalWidget::setAnswerer([](ModalWidget*) { return 1; });
}

ModuleHarness::~ModuleHarness()
{
    tearDown();
    // The client thread stops before the services it may still reach through
    // a delivery that was under way when the module unregistered.
    if (lon() != nullptr)
        lon()->setAutoAnswer(false);
    m_menu.reset();
    m_host.reset();
    ModalWidget::setAnswerer(ModalWidget::Answerer());
}

void ModuleHarness::instantiate()
{
    tearDown();
    m_module = new LonCalibration();
}

bool ModuleHarness::initialize()
{
    if (m_module == nullptr)
        return false;
    if (m_module->initialize(&m_host->registry))
        return true;
    delete m_module;
    m_module = nullptr;
    HostFixture::flushDeferredDeletes();
    return false;
}

void ModuleHarness::start()
{
    if (m_module != nullptr)
        m_module->startModule();
}

bool ModuleHarness::createMenu()
{
    if (m_module == nullptr)
        return false;
    m_menu.reset(new MenuStrip());
    return m_module->createMenu(kPage, UserModeService, m_menu.data(), false).first == 1;
}

bool ModuleHarness::bringUp()
{
    instantiate();
    if (!initialize())
        return false;
    start();
    return createMenu();
}

void ModuleHarness::tearDown()
{
    if (m_module != nullptr) {
        m_module->destroyMenu(kPage);
        m_module->shutdownModule();
        delete m_module;
        m_module = nullptr;
    }
    m_menu.reset();
    HostFixture::flushDeferredDeletes();
}

MenuSegment* ModuleHarness::segment(int position) const
{
    return m_menu ? static_cast<MenuSegment*>(m_menu->segmentAt(position)) : nullptr;
}

bool ModuleHarness::tap(int position)
{
    MenuSegment* target = segment(position);
    if (target == nullptr || !target->isEnabled())
        return false;
    target->tap();
    return true;
}

QList<DialogWindow*> ModuleHarness::openDialogs() const
{
    QList<DialogWindow*> open;
    QWidget* mainWindow = m_host->mainWindow();
    if (mainWindow == nullptr)
        return open;
    const QList<DialogWindow*> dialogs = mainWindow->findChildren<DialogWindow*>();
    for (DialogWindow* dialog : dialogs) {
        if (!dialog->isHidden())
            open.append(dialog);
    }
    return open;
}

void ModuleHarness::closeDialog(DialogWindow* dialog)
{
    const QList<QAbstractButton*> buttons = dialog->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (button->text() == QLatin1String("Ok") && button->isEnabled()) {
            button->click();
            return;
        }
    }
    dialog->close();
}

void ModuleHarness::closeAllDialogs()
{
    // Closing one dialog may close or replace others; ask again each time.
    for (int guard = 0; guard < 32; ++guard) {
        QList<DialogWindow*> const open = openDialogs();
        if (open.isEmpty())
            return;
        closeDialog(open.first());
        // Closed dialogs go with deleteLater; the host's loop would run it next.
        HostFixture::flushDeferredDeletes();
    }
}

int ModuleHarness::openAndCloseEveryDialog()
{
    int seen = 0;
    MenuSegment* calibration = segment(CalibrationPosition);
    if (calibration != nullptr && calibration->toggleState() != ToggleOn)
        tap(CalibrationPosition);
    for (int position : kDialogPositions) {
        if (!tap(position))
            continue;
        QCoreApplication::processEvents();
        seen += openDialogs().size();
        closeAllDialogs();
    }
    if (calibration != nullptr && calibration->toggleState() == ToggleOn)
        tap(CalibrationPosition);
    // Relax on and off again.
    if (tap(RelaxPosition))
        tap(RelaxPosition);
    // The switch-off's waiting dialog closes itself 2.5 s later; end it the same way now.
    seen += openDialogs().size();
    if (m_module != nullptr && m_module->testFunctions() != nullptr)
        m_module->testFunctions()->closeDialogWindow();
    HostFixture::flushDeferredDeletes();
    return seen;
}

QList<int> const& ModuleHarness::dialogPositions()
{
    return kDialogPositions;
}
