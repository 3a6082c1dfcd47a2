#pragma once

#include <QScopedPointer>
#include <QString>

#include "support/HostFixture.h"

class CapturingLon;
class LonSimulator;

// The stand-in host on a simulated instrument of one profile, set up the way
// the workbench sets it up: the profile's hardware, network type, nodes and
// node memory, service mode on, answers without latency. With `capture`, the
// module reaches the simulator through a CapturingLon.
class BenchInstrument
{
public:
    explicit BenchInstrument(QString const& profile = QStringLiteral("nt3-full"), bool capture = false);
    ~BenchInstrument();

    HostFixture& host() { return *m_host; }
    ModuleRegistry* registry() { return &m_host->registry; }
    LonSimulator* lon() const { return m_host->lon(); }
    CapturingLon* capturing() const { return m_capturing.data(); }
    QWidget* mainWindow() const { return m_host->mainWindow(); }
    bool isValid() const { return m_valid; }

    // Answers polls from the simulator's own thread, at once; no measurement stream.
    void answerAtOnce();

    // Runs the event loop for `ms`, asleep while nothing happens.
    static void wait(int ms);

private:
    QScopedPointer<HostFixture> m_host;
    QScopedPointer<CapturingLon> m_capturing;
    bool m_valid = false;
};
