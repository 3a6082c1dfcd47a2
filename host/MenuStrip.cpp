#include "MenuStrip.h"

#include <QCoreApplication>

#include <QHBoxLayout>

#include "MenuSegment.h"

MenuStrip::MenuStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MenuStrip"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(4);
    m_layout->addStretch(1);
}

MenuStrip::~MenuStrip() = default;

void MenuStrip::setSegment(int position, ISegment* segment)
{
    m_events.append({Event::Placed, position, 0});

    // A segment moves when it is placed again elsewhere.
    for (auto it = m_segments.begin(); it != m_segments.end();) {
        if (it.key() != position && it.value() == segment)
            it = m_segments.erase(it);
        else
            ++it;
    }
    ISegment* previous = m_segments.value(position);
    if (previous && previous != segment) {
        m_layout->removeWidget(previous);
        previous->hide();
        previous->deleteLater();
    }
    if (segment) {
        segment->setParent(this);
        m_segments.insert(position, segment);
    } else {
        m_segments.remove(position);
    }
    rebuild();
}

void MenuStrip::setSegmentEnabled(int position, bool enabled, int flags)
{
    Q_UNUSED(flags)
    m_events.append({Event::Enabled, position, enabled ? 1 : 0});
    if (ISegment* segment = segmentAt(position))
        segment->setEnabled(enabled);
}

void MenuStrip::setToggleState(int position, ToggleStates state, int flags)
{
    Q_UNUSED(flags)
    m_events.append({Event::Toggled, position, static_cast<int>(state)});
    // A changed toggle announces itself, as a tap would.
    if (auto* segment = qobject_cast<MenuSegment*>(segmentAt(position)))
        segment->setToggleState(state);
}

QString MenuStrip::shownTitle(char const* title)
{
    return title == nullptr || *title == '\0' ? QString() : QCoreApplication::translate("Menu", title);
}

ISegment* MenuStrip::createButton(char const* title, QString const& iconPath, bool enabled, int style,
                                  QStringList const& extra, int kind)
{
    Q_UNUSED(style)
    Q_UNUSED(extra)
    Q_UNUSED(kind)
    // Parented at once, so a segment that is never placed cannot leak as a window.
    // The module hands its titles over untranslated, marked for the "Menu" context; the strip shows them translated.
    auto* segment = new MenuSegment(shownTitle(title), QString(), iconPath, false, ToggleOff, this);
    segment->hide();
    segment->setEnabled(enabled);
    return segment;
}

ISegment* MenuStrip::createToggle(char const* offTitle, char const* onTitle, int style, QString const& iconPath,
                                  ToggleStates initial, bool enabled, int kind, QStringList const& offExtra,
                                  QStringList const& onExtra, int group)
{
    Q_UNUSED(style)
    Q_UNUSED(kind)
    Q_UNUSED(offExtra)
    Q_UNUSED(onExtra)
    Q_UNUSED(group)
    const QString off = shownTitle(offTitle);
    QString on = shownTitle(onTitle);
    if (on.isEmpty())
        on = off;
    auto* segment = new MenuSegment(off, on, iconPath, true, initial, this);
    segment->hide();
    segment->setEnabled(enabled);
    return segment;
}

ISegment* MenuStrip::segmentAt(int position) const
{
    return m_segments.value(position).data();
}

QList<int> MenuStrip::positions() const
{
    QList<int> result;
    for (auto it = m_segments.cbegin(); it != m_segments.cend(); ++it)
        if (it.value())
            result.append(it.key());
    return result;
}

void MenuStrip::clear()
{
    for (auto const& segment : qAsConst(m_segments)) {
        if (segment) {
            m_layout->removeWidget(segment);
            segment->hide();
            segment->deleteLater();
        }
    }
    m_segments.clear();
}

void MenuStrip::rebuild()
{
    // Ordered by position (the map's order), the stretch last.
    while (QLayoutItem* item = m_layout->takeAt(0))
        delete item;
    for (auto it = m_segments.begin(); it != m_segments.end();) {
        if (!it.value()) {
            it = m_segments.erase(it); // deleted by its owner meanwhile
            continue;
        }
        m_layout->addWidget(it.value());
        it.value()->show();
        ++it;
    }
    m_layout->addStretch(1);
}
