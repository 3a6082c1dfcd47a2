#pragma once

#include <QHash>
#include <QWidget>

class ParameterService;
class QSpinBox;

// The host parameters the module listens to or reads, editable as the host
// would change them (service mode, the VLF calibration step).
class ParameterPanel : public QWidget
{
    Q_OBJECT

public:
    explicit ParameterPanel(ParameterService* parameters, QWidget* parent = nullptr);
    ~ParameterPanel() override;

private:
    void showParameter(int parameter, long long value);

    ParameterService* m_parameters;
    QHash<int, QSpinBox*> m_edits;
};
