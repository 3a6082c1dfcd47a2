#pragma once

#include <QStringList>

#include "ISegment.h"

// A service menu page the host shows; a module fills it by numbered positions.
class IMenu
{
public:
    virtual ~IMenu() = default;

    virtual void setSegment(int position, ISegment* segment) = 0;
    virtual void setSegmentEnabled(int position, bool enabled, int flags) = 0;
    virtual void setToggleState(int position, ToggleStates state, int flags) = 0;
    virtual ISegment* createButton(char const* title, QString const& iconPath, bool enabled, int style,
                                   QStringList const& extra, int kind) = 0;
    virtual ISegment* createToggle(char const* offTitle, char const* onTitle, int style, QString const& iconPath,
                                   ToggleStates initial, bool enabled, int kind, QStringList const& offExtra,
                                   QStringList const& onExtra, int group) = 0;
};
