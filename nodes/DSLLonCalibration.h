#pragma once

#include <QMetaMethod>
#include <QPointer>

#include "host/LonTypes.h"
#include "nodes/NodeLonCalibrationBase.h"

class ILon;

// Calibration dialog of the insulation measurement unit (node 22). Its "Start"
// button runs a method that another module registers, so the measurement can
// be started from inside the calibration dialog.
class DSLLonCalibration : public NodeLonCalibrationBase
{
    Q_OBJECT

public:
    DSLLonCalibration(IModuleControl* control, ILon* lon);

    void addElements(QWidget* parent, int& row, int x, int width) override;
    using NodeLonCalibrationBase::addElements;
    void pollCalibrationValues() override;
    void setCalibrationValues(unsigned char node, NVData const& data) override;
    bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                    bool* valid) const override;
    bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) override;
    unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const override;

    // Registers the receiver's method (normalised signature, e.g. "startIso()")
    // for the "Start" button; false, keeping any earlier registration, when the
    // receiver has no such method.
    bool connectIsoStartMethod(QObject* receiver, char const* method);

public slots:
    void sendCalibUpdateToLon() override;
    void openCalibrationDialog() override;
    void slotIsoStart();

private:
    ILon* m_lon;
    NVT_CAL_VDSL m_calibration{};
    bool m_received = false;
    // A guarded pointer: the registering module may go away before this node.
    QPointer<QObject> m_startReceiver;
    QMetaMethod m_startMethod;
};
