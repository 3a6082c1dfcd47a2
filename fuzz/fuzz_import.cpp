// Fuzz target: the import of a calibration file from a stick.
//
// Input: the file's text (UTF-8, any bytes). The load dialog it opens is then
// driven the way a person would: "Load", then "Confirm" or "Skip" for each
// value, chosen by the input's own bits (bit i of byte i/8, cycling), until
// the dialog closes. One module on the fullest instrument serves every input;
// the values a walk confirmed are put back afterwards, so each input starts
// from the same node memory and a finding reproduces from its input alone.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMap>
#include <QMetaObject>

#include "host/DialogWindow.h"
#include "host/LoggingCtrl.h"
#include "host/ParameterService.h"
#include "host/Parameters.h"
#include "host/StateMachine.h"
#include "module/LonCalibration.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

using namespace LonCalibrationTypes;

namespace {

HostFixture* g_host = nullptr;
LonCalibration* g_module = nullptr;
// The values the nodes answered with at start, by parameter.
QMap<int, long long> g_baseline;

InstrumentProfile const& fullestProfile()
{
    InstrumentProfile const* fullest = &InstrumentProfile::all().first();
    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        if (profile.nodes.size() > fullest->nodes.size())
            fullest = &profile;
    }
    return *fullest;
}

// Clicks the load dialog's button with that text; false when it has none.
bool press(QString const& text)
{
    DialogWindow* dialog = g_module->infoDialog();
    if (dialog == nullptr)
        return false;
    for (QAbstractButton* button : {dialog->acceptButton(), dialog->rejectButton()}) {
        if (button != nullptr && button->text() == text) {
            button->click();
            return true;
        }
    }
    return false;
}

void drainEvents()
{
    QCoreApplication::processEvents();
    HostFixture::flushDeferredDeletes();
}

void start()
{
    InstrumentProfile const& profile = fullestProfile();
    HostFixture::Options options;
    options.hardware = profile.hardware;
    options.networkType = profile.networkType;
    g_host = new HostFixture(options);
    getLogger()->setLogFile(QString()); // millions of inputs must not fill the disk
    profile.applyToHost();
    g_host->parameters()->setParameter(ParamServiceMode, 1);
    g_host->stateMachine()->setState(2);
    LonSimulator* lon = g_host->lon();
    lon->applyProfile(profile);
    lon->setAutoAnswer(true);

    g_module = new LonCalibration();
    if (!g_module->isConfigurationSuitable() || !g_module->initialize(&g_host->registry)) {
        std::fprintf(stderr, "profile %s: the module does not start\n", qPrintable(profile.name));
        std::abort();
    }
    g_module->startModule();
    if (!lon->waitUntilIdle(10000)) {
        std::fprintf(stderr, "profile %s: the nodes do not answer\n", qPrintable(profile.name));
        std::abort();
    }
    lon->setAutoAnswer(false);
    drainEvents();

    for (int number = FirstCalibrationParameter; number <= LastCalibrationParameter; ++number) {
        long long value = 0;
        bool received = false;
        if (g_module->getValueFromInternalBuffer(static_cast<CalibrationParameters>(number), value, &received)
            && received)
            g_baseline.insert(number, value);
    }
    if (g_baseline.isEmpty()) {
        std::fprintf(stderr, "profile %s: no node answered\n", qPrintable(profile.name));
        std::abort();
    }
}

void restoreBaseline()
{
    for (auto it = g_baseline.constBegin(); it != g_baseline.constEnd(); ++it) {
        auto const parameter = static_cast<CalibrationParameters>(it.key());
        long long value = 0;
        if (g_module->getValueFromInternalBuffer(parameter, value) && value != it.value())
            g_module->setValueToInternalBuffer(parameter, it.value());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    g_module->importFileFromStick(QString::fromUtf8(reinterpret_cast<char const*>(data), static_cast<int>(size)));

    if (!press(QStringLiteral("Load")))
        press(QStringLiteral("Ok"));
    // Each step takes one value off the list, so the walk ends; the bound is a guard.
    int const maxSteps = g_baseline.size() + 2;
    for (int step = 0; step < maxSteps && g_module->infoDialog() != nullptr; ++step) {
        bool const confirm = size > 0 && ((data[(step / 8) % size] >> (step % 8)) & 1) != 0;
        if (!press(confirm ? QStringLiteral("Confirm") : QStringLiteral("Skip")))
            break;
    }
    drainEvents();
    QMetaObject::invokeMethod(g_module, "cleanUp");
    drainEvents();
    restoreBaseline();
    g_host->lon()->clearRecords();
    return 0;
}
