#include "BenchInstrument.h"

#include <QEventLoop>
#include <QTimer>

#include "CapturingLon.h"
#include "host/ParameterService.h"
#include "host/Parameters.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"

BenchInstrument::BenchInstrument(QString const& profileName, bool capture)
{
    InstrumentProfile const* profile = InstrumentProfile::find(profileName);
    HostFixture::Options options;
    if (profile != nullptr) {
        options.networkType = profile->networkType;
        options.hardware = profile->hardware;
    }
    m_host.reset(new HostFixture(options));
    if (profile == nullptr)
        return;
    profile->applyToHost();
    lon()->applyProfile(*profile);
    m_host->parameters()->setParameter(ParamServiceMode, 1);
    if (capture) {
        m_capturing.reset(new CapturingLon(lon()));
        m_host->registry.unregisterModule("ILon");
        m_host->registry.registerModule("ILon", m_capturing.data());
    }
    m_valid = true;
}

BenchInstrument::~BenchInstrument()
{
    // The simulator's thread stops before the host it answers goes.
    if (lon() != nullptr)
        lon()->setAutoAnswer(false);
}

void BenchInstrument::answerAtOnce()
{
    LonSimulator::Faults faults;
    faults.latencyMs = 0;
    lon()->setFaults(faults);
    lon()->setStreamingInterval(0);
    lon()->setAutoAnswer(true);
}

void BenchInstrument::wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
