#pragma once

#include <QPointer>

#include "host/GUIClient.h"

class DialogWindow;
class QAbstractButton;
class ILon;
class IModuleControl;
class IParameterControl;

// The "Alarm Test" dialog: one button per alarm output; a press closes the
// dialog, logs the test and sends one network variable.
class LonAlarmTests : public GUIClient
{
    Q_OBJECT

public:
    LonAlarmTests(IModuleControl* control, ILon* lon);
    ~LonAlarmTests() override;

    DialogWindow* dialog() const;

signals:
    void enableLonModuleStatus(bool bEnable);

public slots:
    virtual void openAlarmDialog();
    void alarmTestALARM();
    void alarmTestHVOFF();
    void alarmTestEMERG();
    void alarmTestALIVE();
    void closeDialogWindow();

private:
    void runAlarm(int alarm);
    QAbstractButton* addAlarmButton(int alarm, int centre, int top);

    ILon* m_lon;
    IParameterControl* m_parameters = nullptr;
    QPointer<DialogWindow> m_dialog;
};
