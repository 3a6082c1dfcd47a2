#include "MenuSegment.h"

#include <QIcon>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include "SvgLoader.h"

namespace {

constexpr int kIconSide = 48;

} // namespace

MenuSegment::MenuSegment(QString const& offTitle, QString const& onTitle, QString const& iconPath, bool toggle,
                         ToggleStates initial, QWidget* parent)
    : ISegment(parent),
      m_offTitle(offTitle),
      m_onTitle(onTitle),
      m_iconPath(iconPath),
      m_toggle(toggle || !onTitle.isEmpty()),
      m_state(initial == ToggleOn ? ToggleOn : ToggleOff)
{
    // Lets stateChanged travel through queued connections and signal spies.
    qRegisterMetaType<ToggleStates>("ToggleStates");

    m_button = new QToolButton(this);
    m_button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_button->setCheckable(false); // the segment owns the toggle state
    m_button->setMinimumSize(96, 80);
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const QImage image = svgLoader::SVG::loadImage(iconPath, kIconSide, kIconSide, 0, QColor(), true, true);
    if (!image.isNull()) {
        m_button->setIcon(QIcon(QPixmap::fromImage(image)));
        m_button->setIconSize(QSize(kIconSide, kIconSide));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_button);
    connect(m_button, &QToolButton::clicked, this, &MenuSegment::tap);
    refresh();
}

MenuSegment::~MenuSegment() = default;

QString MenuSegment::title() const
{
    return m_toggle && m_state == ToggleOn && !m_onTitle.isEmpty() ? m_onTitle : m_offTitle;
}

void MenuSegment::setToggleState(ToggleStates state)
{
    // Every value other than on counts as off.
    const ToggleStates normalized = state == ToggleOn ? ToggleOn : ToggleOff;
    if (!m_toggle || normalized == m_state)
        return;
    m_state = normalized;
    refresh();
    emit stateChanged(m_state);
}

void MenuSegment::tap()
{
    if (!isEnabled())
        return;
    if (m_toggle)
        setToggleState(m_state == ToggleOn ? ToggleOff : ToggleOn);
    else
        emit clicked();
}

void MenuSegment::refresh()
{
    m_button->setText(title());
    // A pressed look shows a toggle that is on.
    m_button->setDown(m_toggle && m_state == ToggleOn);
    m_button->setAutoRaise(!(m_toggle && m_state == ToggleOn));
}
