#pragma once

#include <QString>

class IMenu;

enum UserModes
{
    UserModeOperator = 0,
    UserModeService = 1,
    UserModeDeveloper = 2
};

// What createMenu tells the host about the page it built.
struct MenuResult
{
    int first = -1;
    int second = 0;
    int third = -1;
};

// A module that contributes pages to the host's service menu.
class IModuleMenu
{
public:
    virtual MenuResult createMenu(QString const& path, UserModes mode, IMenu* menu, bool flag) = 0;
    virtual void enterMenu(QString const& path, UserModes mode, IMenu* menu) = 0;
    virtual void leaveMenu(QString const& path) = 0;
    virtual void destroyMenu(QString const& path) = 0;
    virtual ~IModuleMenu() = default;
};
