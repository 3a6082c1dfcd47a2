#pragma once

#include <QObject>

class IModuleControl;
class QWidget;

// QObject base of every object of a module that shows windows: it finds the
// host's widgets (dialogs are parented to "MainWindow").
class GUIClient : public QObject
{
    Q_OBJECT

public:
    explicit GUIClient(QObject* parent = nullptr);
    ~GUIClient() override = default;

    // False without a module control.
    bool initialize(IModuleControl* control);
    // A widget of the application by object name (and class, when given); null when absent.
    QWidget* findWidget(QString const& name, char const* className) const;
    // The host's main window, or null.
    QWidget* mainWindow() const;

    virtual void resetTranslations() {}
    virtual void languageChanged() {}

protected:
    IModuleControl* moduleControl() const { return m_control; }

private:
    IModuleControl* m_control = nullptr;
};
