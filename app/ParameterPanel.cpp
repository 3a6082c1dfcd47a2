#include "app/ParameterPanel.h"

#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

#include "host/ParameterService.h"
#include "host/Parameters.h"

namespace {

struct ParameterRow
{
    Parameters parameter;
    char const* label;
    int minimum;
    int maximum;
};

constexpr ParameterRow kRows[] = {
    {ParamServiceMode, QT_TRANSLATE_NOOP("ParameterPanel", "56 Service mode"), 0, 1},
    {ParamVlfCalibrationStep, QT_TRANSLATE_NOOP("ParameterPanel", "7 VLF calibration step"), 0, 255},
};

} // namespace

ParameterPanel::ParameterPanel(ParameterService* parameters, QWidget* parent)
    : QWidget(parent)
    , m_parameters(parameters)
{
    auto* layout = new QFormLayout(this);
    for (ParameterRow const& row : kRows) {
        auto* edit = new QSpinBox(this);
        edit->setObjectName(QStringLiteral("parameter%1").arg(row.parameter));
        edit->setRange(row.minimum, row.maximum);
        edit->setValue(static_cast<int>(m_parameters->value(row.parameter, 0)));
        Parameters const parameter = row.parameter;
        connect(edit, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this, parameter](int value) { m_parameters->setParameter(parameter, value); });
        layout->addRow(tr(row.label), edit);
        m_edits.insert(row.parameter, edit);
    }
    connect(m_parameters, &ParameterService::parameterSet, this, &ParameterPanel::showParameter);
}

ParameterPanel::~ParameterPanel() = default;

void ParameterPanel::showParameter(int parameter, long long value)
{
    QSpinBox* edit = m_edits.value(parameter);
    if (edit == nullptr)
        return;
    QSignalBlocker const blocker(edit);
    edit->setValue(static_cast<int>(value));
}
