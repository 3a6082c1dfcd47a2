#include "GUIClient.h"

#include <QApplication>
#include <QWidget>

GUIClient::GUIClient(QObject* parent) : QObject(parent) {}

bool GUIClient::initialize(IModuleControl* control)
{
    m_control = control;
    return control != nullptr;
}

QWidget* GUIClient::findWidget(QString const& name, char const* className) const
{
    // Without a widget application (headless host, core-only tests) there are no windows.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || name.isEmpty())
        return nullptr;
    auto matches = [&](QWidget* widget) {
        return widget->objectName() == name && (!className || widget->inherits(className));
    };
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget* top : topLevels)
        if (matches(top))
            return top;
    for (QWidget* top : topLevels) {
        const QList<QWidget*> named = top->findChildren<QWidget*>(name);
        for (QWidget* widget : named)
            if (matches(widget))
                return widget;
    }
    return nullptr;
}

QWidget* GUIClient::mainWindow() const
{
    return findWidget(QStringLiteral("MainWindow"), nullptr);
}
