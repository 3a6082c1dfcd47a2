// Fuzz target: the LON intake with every node dialog open.
//
// Input: one byte choosing the instrument (low bits: profile; top bit: the
// HV DC node shows its configuration dialog instead of its calibration one),
// then records of
//   selector  0x00-0xBF: the registered variable selector % count;
//             0xC0-0xFF: two more bytes, a raw identifier (big-endian)
//   length    payload length, modulo 65 (0 to 64 bytes; cut short at the end)
//   payload
// Each record is delivered through the simulated client to the module's
// ILonEvent::nvReceived on the GUI thread; events run every few records.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QSet>

#include "host/LoggingCtrl.h"
#include "host/NVData.h"
#include "host/ParameterService.h"
#include "host/Parameters.h"
#include "host/StateMachine.h"
#include "module/LonCalibration.h"
#include "nodes/NodeLonCalibrationBase.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"
#include "support/HostFixture.h"

namespace {

constexpr int kMaxPayload = 64;
constexpr uint8_t kFirstRawSelector = 0xC0;
constexpr int kRecordsPerEventRun = 8;
constexpr unsigned char kHvDcNode = 35;

// One running module per profile, made on first use and kept for the whole
// run: starting a module and waiting for its nodes costs far more than an input.
struct Instrument
{
    InstrumentProfile const* profile = nullptr;
    HostFixture* host = nullptr;
    LonCalibration* module = nullptr;
    bool configurationDialog = false;
};

std::vector<Instrument> g_instruments;
QList<unsigned short> g_identifiers;

void drainEvents()
{
    QCoreApplication::processEvents();
    HostFixture::flushDeferredDeletes();
}

void openDialogs(Instrument& instrument, bool configurationDialog)
{
    LonCalibration::NodeTable const nodes = instrument.module->nodeTable();
    bool const switched = configurationDialog != instrument.configurationDialog;
    for (auto it = nodes.constBegin(); it != nodes.constEnd(); ++it) {
        NodeLonCalibrationBase* node = it.value().data();
        // Opening a dialog costs more than a whole input: only a closed one, or
        // the HV DC node's when the input asks for its other dialog.
        if (node->dialog() != nullptr && !(switched && it.key() == kHvDcNode))
            continue;
        node->setCalibrationEnabled(LonCalibrationTypes::CalibrationModeFull);
        if (configurationDialog && it.key() == kHvDcNode)
            node->openConfigurationDialog();
        else
            node->openCalibrationDialog();
    }
    instrument.configurationDialog = configurationDialog;
}

Instrument& instrument(int index)
{
    Instrument& entry = g_instruments[static_cast<size_t>(index)];
    if (entry.module != nullptr)
        return entry;

    InstrumentProfile const& profile = *entry.profile;
    HostFixture::Options options;
    options.hardware = profile.hardware;
    options.networkType = profile.networkType;
    entry.host = new HostFixture(options);
    getLogger()->setLogFile(QString()); // millions of inputs must not fill the disk
    profile.applyToHost();
    entry.host->parameters()->setParameter(ParamServiceMode, 1);
    entry.host->stateMachine()->setState(2);
    LonSimulator* lon = entry.host->lon();
    lon->applyProfile(profile);
    lon->setAutoAnswer(true);

    entry.module = new LonCalibration();
    if (!entry.module->isConfigurationSuitable() || !entry.module->initialize(&entry.host->registry)) {
        std::fprintf(stderr, "profile %s: the module does not start\n", qPrintable(profile.name));
        std::abort();
    }
    entry.module->startModule();
    if (!lon->waitUntilIdle(10000)) {
        std::fprintf(stderr, "profile %s: the nodes do not answer\n", qPrintable(profile.name));
        std::abort();
    }
    // From here on only the fuzzer delivers: no thread, no streaming.
    lon->setAutoAnswer(false);
    openDialogs(entry, false);
    drainEvents();

    if (g_identifiers.isEmpty()) {
        QList<unsigned short> const registered = lon->registrations();
        g_identifiers = QSet<unsigned short>(registered.begin(), registered.end()).values();
        std::sort(g_identifiers.begin(), g_identifiers.end());
    }
    return entry;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    for (InstrumentProfile const& profile : InstrumentProfile::all()) {
        Instrument entry;
        entry.profile = &profile;
        g_instruments.push_back(entry);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t position = 0;
    uint8_t const choice = data[position++];
    Instrument& current = instrument((choice & 0x7F) % static_cast<int>(g_instruments.size()));
    current.profile->applyToHost();
    openDialogs(current, (choice & 0x80) != 0);

    // Every input starts from the instrument's own memory, so a finding
    // reproduces from its input alone.
    LonSimulator* lon = current.host->lon();
    for (auto it = current.profile->variables.constBegin(); it != current.profile->variables.constEnd(); ++it)
        lon->deliver(it.key(), NVData(it.value()));

    int records = 0;
    while (position < size) {
        uint8_t const selector = data[position++];
        unsigned short nvId = 0;
        if (selector < kFirstRawSelector) {
            nvId = g_identifiers.at(selector % g_identifiers.size());
        } else {
            if (size - position < 2)
                break;
            nvId = static_cast<unsigned short>((data[position] << 8) | data[position + 1]);
            position += 2;
        }
        if (position >= size)
            break;
        size_t length = data[position++] % (kMaxPayload + 1);
        if (length > size - position)
            length = size - position;
        lon->deliver(nvId, NVData(data + position, static_cast<unsigned int>(length)));
        position += length;
        if (++records % kRecordsPerEventRun == 0)
            QCoreApplication::processEvents();
    }
    drainEvents();
    lon->clearRecords();
    return 0;
}
