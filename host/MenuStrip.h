#pragma once

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "IMenu.h"

class QHBoxLayout;

// The service menu page stand-in: a strip of segments by position. It also
// records what a module placed, enabled and toggled, for tests and the workbench.
class MenuStrip : public QWidget, public IMenu
{
    Q_OBJECT

public:
    struct Event
    {
        enum Kind
        {
            Placed,
            Enabled,
            Toggled
        } kind;
        int position;
        int value; // enabled flag or toggle state; 0 for Placed
    };

    explicit MenuStrip(QWidget* parent = nullptr);
    ~MenuStrip() override;

    void setSegment(int position, ISegment* segment) override;
    void setSegmentEnabled(int position, bool enabled, int flags) override;
    void setToggleState(int position, ToggleStates state, int flags) override;
    ISegment* createButton(char const* title, QString const& iconPath, bool enabled, int style,
                           QStringList const& extra, int kind) override;
    ISegment* createToggle(char const* offTitle, char const* onTitle, int style, QString const& iconPath,
                           ToggleStates initial, bool enabled, int kind, QStringList const& offExtra,
                           QStringList const& onExtra, int group) override;

    ISegment* segmentAt(int position) const;
    QList<int> positions() const;
    QList<Event> const& events() const { return m_events; }
    void clearEvents() { m_events.clear(); }
    // Removes every segment (the host does this when it leaves the page).
    void clear();

private:
    static QString shownTitle(char const* title);
    void rebuild();

    QHBoxLayout* m_layout = nullptr;
    QMap<int, QPointer<ISegment>> m_segments;
    QList<Event> m_events;
};
