#pragma once

#include <QWidget>

#include "sim/LonSimulator.h"

class QCheckBox;
class QLabel;
class QStandardItem;
class QStandardItemModel;
class QTableView;

// The LON traffic of the simulated instrument, decoded: time, direction, node,
// index, what happened and the bytes. Keeps the newest rows only.
class TrafficPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 3000;

    explicit TrafficPanel(LonSimulator* lon, QWidget* parent = nullptr);
    ~TrafficPanel() override;

    int rowCount() const;

public slots:
    void addRecord(LonSimulator::Record const& record);
    // An event of another module, in the timeline where it happened.
    void addNote(QString const& text);
    void clear();

private:
    void appendRow(QList<QStandardItem*> const& row);

    LonSimulator* m_lon;
    QStandardItemModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    QCheckBox* m_measurements = nullptr;
    QLabel* m_count = nullptr;
};
