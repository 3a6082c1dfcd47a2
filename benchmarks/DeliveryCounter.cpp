#include "DeliveryCounter.h"

DeliveryCounter::DeliveryCounter(QEvent::Type type)
    : m_type(type)
{ }

void DeliveryCounter::watch(QObject* object)
{
    object->installEventFilter(this);
}

void DeliveryCounter::whenReached(int target, std::function<void()> reached)
{
    m_target = target;
    m_reached = std::move(reached);
}

bool DeliveryCounter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == m_type) {
        int const count = ++m_count;
        if (m_room != nullptr)
            m_room->release();
        if (count == m_target && m_reached) {
            m_target = -1;
            m_reached();
        }
    }
    return false;
}
