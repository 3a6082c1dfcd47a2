#pragma once

#include <QEvent>
#include <QObject>
#include <QSemaphore>
#include <atomic>
#include <functional>

// Counts the events of one type that reach the watched objects (queued
// deliveries, paints), so that every run can show it received and drew what
// was sent. Another thread may read the count, and may wait for room through
// `room`, which gets one release per event counted.
class DeliveryCounter : public QObject
{
    Q_OBJECT

public:
    explicit DeliveryCounter(QEvent::Type type);

    void watch(QObject* object);
    void reset() { m_count = 0; }
    int count() const { return m_count; }
    void setRoom(QSemaphore* room) { m_room = room; }
    // Called once on the GUI thread when the count reaches `target`.
    void whenReached(int target, std::function<void()> reached);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QEvent::Type m_type;
    std::atomic<int> m_count{0};
    QSemaphore* m_room = nullptr;
    int m_target = -1;
    std::function<void()> m_reached;
};
