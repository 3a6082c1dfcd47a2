#pragma once

#include <QWidget>

#include "sim/LonSimulator.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QStandardItem;
class QStandardItemModel;
class QTableView;

// The LON traffic of the simulated instrument, decoded: time, direction, node,
// index, what happened and the bytes. Measurements stream while module status
// is on and would push everything else out, so writes are kept apart: the
// newest MaxRows rows of other traffic and the newest MaxWrites writes stay.
// The view filters by kind and node, follows the newest row or stays where the
// reader is, and copies the selected rows as tab-separated lines.
class TrafficPanel : public QWidget
{
    Q_OBJECT

public:
    // What the filter tells apart; the numbers are stored with each row.
    enum Kind
    {
        Registration,
        Poll,
        Answer,
        Measurement,
        Write,
        ModuleStatus,
        OtherModule,
        KindCount
    };

    static constexpr int MaxRows = 3000;
    static constexpr int MaxWrites = 50000;
    // Rows dropped together, so a flood does not remove one row per record.
    static constexpr int TrimBatch = 200;

    explicit TrafficPanel(LonSimulator* lon, QWidget* parent = nullptr);
    ~TrafficPanel() override;

    // Rows kept, shown or not.
    int rowCount() const;
    int writeCount() const;
    QTableView* view() const { return m_view; }

    void setKindShown(Kind kind, bool shown);
    bool isKindShown(Kind kind) const;
    // -1 shows every node.
    void setNodeFilter(int node);
    int nodeFilter() const;
    void setFollow(bool follow);
    bool follows() const;
    // The selected rows, one line each, columns separated by tabs.
    QString selectedText() const;

public slots:
    void addRecord(LonSimulator::Record const& record);
    // An event of another module, in the timeline where it happened.
    void addNote(QString const& text);
    void clear();
    void copySelection() const;

private:
    void appendRow(QList<QStandardItem*> const& row, Kind kind, int node);
    void noteNode(int node);
    // Drops the oldest rows of a class over its cap.
    void trim();
    void applyFilter();
    void updateCount();

    LonSimulator* m_lon;
    QStandardItemModel* m_model = nullptr;
    QSortFilterProxyModel* m_filter = nullptr;
    QTableView* m_view = nullptr;
    QAction* m_kindActions[KindCount] = {};
    QComboBox* m_nodes = nullptr;
    QCheckBox* m_follow = nullptr;
    QLabel* m_count = nullptr;
    int m_writes = 0;
};
