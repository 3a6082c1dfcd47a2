#pragma once

#include <QWidget>

struct InstrumentProfile;

// The simulated instrument the bench runs: its identity, hardware, adapter and
// nodes. Another instrument needs a restart with --profile.
class ProfilePanel : public QWidget
{
    Q_OBJECT

public:
    ProfilePanel(InstrumentProfile const& profile, QString const& instrumentFile, QWidget* parent = nullptr);
    ~ProfilePanel() override;
};
