#pragma once

#include <QHash>
#include <QPointer>
#include <QTimer>

#include "data/LonCalibrationTypes.h"
#include "host/GUIClient.h"

class ColoredLabel;
class QAbstractButton;
class DialogWindow;
class ILonCalibrationDCCallback;
class ILon;
class IModuleControl;
class NVData;
class NumberEdit;
class QWidget;

// Base of every node calibration dialog. A node object lives as long as the
// module and keeps its node's values (in the subclass); while its dialog is
// open the base holds the dialog's edits in three tables. User edits are logged
// and handed to the subclass's buffer; a 200 ms single-shot timer then sends
// the node's whole network variable once the user stops changing values.
class NodeLonCalibrationBase : public GUIClient
{
    Q_OBJECT

public:
    // Every row of a dialog is 27 pixels below the one before.
    static constexpr int RowHeight = 27;
    static constexpr int SendDelayMs = 200;

    explicit NodeLonCalibrationBase(IModuleControl* control);
    ~NodeLonCalibrationBase() override;

    // The node's own rows, in one column (parent, running row, x, width).
    virtual void addElements(QWidget* parent, int& row, int x, int width) = 0;
    // Two columns; the base ignores the second.
    virtual void addElements(QWidget* parent, int& row, int x, int width, int& row2, int x2, int width2);
    virtual void pollCalibrationValues() = 0;
    virtual void setCalibrationValues(unsigned char node, NVData const& data) = 0;
    virtual void setCounterValues(NVData const& data);
    virtual void setConfigurationValues(NVData const& data);
    virtual void setDcCallback(ILonCalibrationDCCallback* callback);
    virtual bool getValueFromInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long& value,
                                            bool* valid) const = 0;
    virtual bool setValueToInternalBuffer(LonCalibrationTypes::CalibrationParameters parameter, long long value) = 0;
    virtual unsigned char getNodeIdForCalibrationParameter(LonCalibrationTypes::CalibrationParameters parameter) const = 0;

    void setCalibrationEnabled(LonCalibrationTypes::CalibrationModes mode);
    LonCalibrationTypes::CalibrationModes calibrationMode() const { return m_mode; }
    void valueChanged();
    DialogWindow* createDialogWindow(QString const& title);
    DialogWindow* dialog() const;

    static ColoredLabel* createTitle(QWidget* parent, int& row, int x, int width, QString const& text);
    NumberEdit* addCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                         LonCalibrationTypes::CalibrationParameters parameter, unsigned char digits,
                                         unsigned char decimals, QString const& unit);
    NumberEdit* addCounterCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                LonCalibrationTypes::CalibrationParameters parameter,
                                                unsigned char digits, unsigned char decimals, QString const& unit);
    NumberEdit* addSingleSelectCalibrationNumberEdit(QWidget* parent, int& row, int x, int width,
                                                     LonCalibrationTypes::CalibrationParameters parameter,
                                                     unsigned char digits, unsigned char decimals,
                                                     QString const& unit);
    NumberEdit* addSwitchNumberEdit(QWidget* parent, int& row, int x, int width,
                                    LonCalibrationTypes::CalibrationParameters parameter, bool bEnabled);
    NumberEdit* addSwitchNumberEdit(QWidget* parent, int& row, int x, int width,
                                    LonCalibrationTypes::SwitchParameters parameter);
    NumberEdit* addDisplayNumberEdit(QWidget* parent, int& row, int x, int width,
                                     LonCalibrationTypes::MeasurementParameters parameter, unsigned char digits,
                                     unsigned char decimals, QString const& unit);
    void setUnitForDisplayNumberEdit(LonCalibrationTypes::MeasurementParameters parameter, QString const& unit);
    void setMeasurementValue(LonCalibrationTypes::MeasurementParameters parameter, long long value);

    NumberEdit* getCalibrationNumberEdit(LonCalibrationTypes::CalibrationParameters parameter) const;
    NumberEdit* getDisplayNumberEdit(LonCalibrationTypes::MeasurementParameters parameter) const;
    NumberEdit* getSwitchNumberEdit(LonCalibrationTypes::SwitchParameters parameter) const;
    LonCalibrationTypes::CalibrationParameters getKey(NumberEdit const* edit) const;

    void valueReceived(LonCalibrationTypes::CalibrationParameters parameter, bool bEnable);
    void valueReceived(bool bEnable);

signals:
    void enableLonModuleStatus(bool bEnable);

public slots:
    virtual void sendCalibUpdateToLon() = 0;
    virtual void openCalibrationDialog() = 0;
    virtual void openConfigurationDialog();
    virtual void cleanUp();
    void calibrationValueChanged(NumberEdit* edit);

protected:
    // A record already held is shown again at once; otherwise the node is asked for it.
    void showOrPoll(ILon* lon, bool bReceived, unsigned short nvId);
    // The first steps of every node dialog: log the node's text, create the dialog
    // with the title (translated in the context "Menu") and give it its width.
    // Null without a main window.
    DialogWindow* openNodeDialog(QString const& logText, char const* title, int width);
    // Width of a two-column dialog: the columns, three inner spaces and both margins.
    static int twoColumnDialogWidth(DialogWindow const* dialog, int columns);
    // A compensation value kept in the configuration (0 to 65500 pS): shown at
    // once, since it is valid from the start, and editable like every other
    // calibration edit only in full calibration mode.
    NumberEdit* addCompensationNumberEdit(QWidget* parent, int& row, int x, int width,
                                          LonCalibrationTypes::CalibrationParameters parameter, long long value);
    // Common tail of a node dialog: the "Ok" close button with its icon, wired to cleanUp().
    QAbstractButton* insertCloseButton(bool bAccept);
    // Icon of the toolkit's buttons: an SVG from the image folder, black, at the given size.
    static void setButtonImage(QAbstractButton* button, QString const& path, int width, int height);

private:
    // Shows the buffered value of one parameter in its edit and sets whether it may be edited.
    void refresh(LonCalibrationTypes::CalibrationParameters parameter, NumberEdit* edit, bool bEnable);
    static void showIfChanged(NumberEdit* edit, long long value);
    NumberEdit* makeEdit(QWidget* parent, int& row, int x, int width, unsigned char digits, unsigned char decimals,
                         unsigned int fieldWidth, bool flag);
    NumberEdit* registerCalibrationEdit(NumberEdit* edit, LonCalibrationTypes::CalibrationParameters parameter,
                                        long long minimum, long long maximum);

    LonCalibrationTypes::CalibrationModes m_mode = LonCalibrationTypes::CalibrationModeOff;
    QHash<LonCalibrationTypes::CalibrationParameters, NumberEdit*> m_calibrationEdits;
    QHash<LonCalibrationTypes::MeasurementParameters, NumberEdit*> m_displayEdits;
    QHash<LonCalibrationTypes::SwitchParameters, NumberEdit*> m_switchEdits;
    QPointer<DialogWindow> m_dialog;
    QTimer m_sendTimer;
};
