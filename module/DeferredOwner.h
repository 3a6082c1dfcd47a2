#pragma once

#include <QPointer>

// Owns a QObject that must die through deleteLater: replacing or dropping it
// schedules the deletion instead of deleting at once (it may be inside one of
// its own signals). The QPointer keeps it safe when a parent deleted it first.
template <class T>
class DeferredOwner
{
public:
    DeferredOwner() = default;
    DeferredOwner(DeferredOwner const&) = delete;
    DeferredOwner& operator=(DeferredOwner const&) = delete;
    ~DeferredOwner() { reset(); }

    void reset(T* object = nullptr)
    {
        if (m_object && m_object.data() != object)
            m_object->deleteLater();
        m_object = object;
    }
    // Gives up ownership without deleting.
    T* release()
    {
        T* object = m_object.data();
        m_object = nullptr;
        return object;
    }
    T* get() const { return m_object.data(); }
    T* operator->() const { return m_object.data(); }
    explicit operator bool() const { return !m_object.isNull(); }

private:
    QPointer<T> m_object;
};
