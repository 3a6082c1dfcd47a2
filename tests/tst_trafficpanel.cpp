#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include "app/TrafficPanel.h"
#include "sim/InstrumentProfile.h"
#include "sim/LonSimulator.h"

namespace {

using Record = LonSimulator::Record;

// Variables that are not measurements, on two nodes.
constexpr unsigned short kNodeA = 0x0A01;
constexpr unsigned short kNodeB = 0x0B02;

Record record(Record::Kind kind, qint64 timeMs, unsigned short nvId, QByteArray const& bytes = {}, bool flag = true)
{
    return Record{kind, timeMs, nvId, bytes, flag};
}

// The column of every row the view shows, top to bottom.
QStringList shown(TrafficPanel const& panel, int column)
{
    QStringList cells;
    QAbstractItemModel const* model = panel.view()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        cells.append(model->index(row, column).data().toString());
    return cells;
}

constexpr int kKindColumn = 4;
constexpr int kBytesColumn = 5;

} // namespace

class TrafficPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesOutlastTheFlood();
    void writesHaveACapOfTheirOwn();
    void filtersByKindAndNode_data();
    void filtersByKindAndNode();
    void copiesSelectedRowsAsTabSeparatedLines();
    void followKeepsTheNewestRowInView();
    void withoutFollowTheReaderStaysOnTheRow();

private:
    LonSimulator m_lon;
    unsigned short m_measurement = 0;
};

void TrafficPanelTest::initTestCase()
{
    m_lon.applyProfile(*InstrumentProfile::find(InstrumentProfile::defaultName()));
    QVERIFY(!m_lon.measurements().isEmpty());
    m_measurement = m_lon.measurements().first();
    QVERIFY(!m_lon.measurements().contains(kNodeA) && !m_lon.measurements().contains(kNodeB));
}

void TrafficPanelTest::writesOutlastTheFlood()
{
    TrafficPanel panel(&m_lon);
    QStringList sent;
    int const total = TrafficPanel::MaxRows * 3;
    for (int i = 0; i < total; ++i) {
        if (i % (total / 5) == 0) {
            QByteArray const bytes = QByteArray::number(i);
            panel.addRecord(record(Record::Send, i, kNodeA, bytes));
            sent.append(QString::fromLatin1(bytes.toHex(' ')));
        }
        panel.addRecord(record(Record::Delivery, i, m_measurement, QByteArray(4, char(i))));
    }

    QCOMPARE(panel.writeCount(), sent.size());
    QStringList writes;
    QStringList const kinds = shown(panel, kKindColumn);
    QStringList const bytes = shown(panel, kBytesColumn);
    for (int row = 0; row < kinds.size(); ++row) {
        if (kinds[row] == QLatin1String("send"))
            writes.append(bytes[row]);
    }
    QCOMPARE(writes, sent);
    // Only other rows went, the oldest first; the newest is still there.
    int const others = panel.rowCount() - sent.size();
    QVERIFY(others <= TrafficPanel::MaxRows);
    QVERIFY(others >= TrafficPanel::MaxRows - TrafficPanel::TrimBatch);
    QCOMPARE(kinds.count(QStringLiteral("measurement")), others);
    QCOMPARE(shown(panel, 0).last(), QString::number((total - 1) / 1000.0, 'f', 3));
}

void TrafficPanelTest::writesHaveACapOfTheirOwn()
{
    TrafficPanel panel(&m_lon);
    panel.addRecord(record(Record::Poll, 0, kNodeB));
    for (int i = 1; i <= TrafficPanel::MaxWrites + 1; ++i)
        panel.addRecord(record(Record::Send, i, kNodeA, QByteArray(1, char(i))));

    QVERIFY(panel.writeCount() <= TrafficPanel::MaxWrites);
    QVERIFY(panel.writeCount() >= TrafficPanel::MaxWrites - TrafficPanel::TrimBatch);
    QCOMPARE(panel.rowCount(), panel.writeCount() + 1);
    // The oldest writes went, the other row stayed.
    QCOMPARE(shown(panel, kKindColumn).first(), QStringLiteral("poll"));
    QCOMPARE(shown(panel, 0).last(), QString::number((TrafficPanel::MaxWrites + 1) / 1000.0, 'f', 3));
}

void TrafficPanelTest::filtersByKindAndNode_data()
{
    QTest::addColumn<QList<int>>("hidden");
    QTest::addColumn<int>("node");
    QTest::addColumn<QStringList>("kinds");

    QStringList const all{QStringLiteral("register"), QStringLiteral("poll"), QStringLiteral("answer"),
        QStringLiteral("measurement"), QStringLiteral("module status"), QStringLiteral("send"), QStringLiteral("send"),
        QStringLiteral("other module"), QStringLiteral("unregister")};
    QTest::newRow("everything") << QList<int>{} << -1 << all;
    QTest::newRow("writes only") << QList<int>{TrafficPanel::Registration, TrafficPanel::Poll, TrafficPanel::Answer,
        TrafficPanel::Measurement, TrafficPanel::ModuleStatus, TrafficPanel::OtherModule}
                                 << -1 << QStringList{QStringLiteral("send"), QStringLiteral("send")};
    QTest::newRow("no measurements, no polls")
        << QList<int>{TrafficPanel::Measurement, TrafficPanel::Poll} << -1
        << QStringList{QStringLiteral("register"), QStringLiteral("answer"), QStringLiteral("module status"),
               QStringLiteral("send"), QStringLiteral("send"), QStringLiteral("other module"),
               QStringLiteral("unregister")};
    QTest::newRow("node A") << QList<int>{} << (kNodeA >> 8)
                            << QStringList{QStringLiteral("register"), QStringLiteral("poll"), QStringLiteral("answer"),
                                   QStringLiteral("send"), QStringLiteral("unregister")};
    QTest::newRow("node B, writes") << QList<int>{TrafficPanel::Registration, TrafficPanel::Poll, TrafficPanel::Answer}
                                    << (kNodeB >> 8) << QStringList{QStringLiteral("send")};
    QTest::newRow("nothing") << QList<int>{TrafficPanel::Registration, TrafficPanel::Poll, TrafficPanel::Answer,
        TrafficPanel::Measurement, TrafficPanel::Write, TrafficPanel::ModuleStatus, TrafficPanel::OtherModule}
                             << -1 << QStringList{};
}

void TrafficPanelTest::filtersByKindAndNode()
{
    QFETCH(QList<int>, hidden);
    QFETCH(int, node);
    QFETCH(QStringList, kinds);

    TrafficPanel panel(&m_lon);
    panel.addRecord(record(Record::Register, 1, kNodeA));
    panel.addRecord(record(Record::Poll, 2, kNodeA));
    panel.addRecord(record(Record::Delivery, 3, kNodeA, "\x01\x02"));
    panel.addRecord(record(Record::Delivery, 4, m_measurement, "\x03"));
    panel.addRecord(record(Record::ModuleStatus, 5, 0, {}, true));
    panel.addRecord(record(Record::Send, 6, kNodeA, "\x04"));
    panel.addRecord(record(Record::Send, 7, kNodeB, "\x05"));
    panel.addNote(QStringLiteral("iso start"));
    panel.addRecord(record(Record::Unregister, 8, kNodeA));

    // Through the controls a person uses.
    for (int kind : hidden) {
        auto* action = panel.findChild<QAction*>(QStringLiteral("trafficKind%1").arg(kind));
        QVERIFY(action != nullptr);
        action->setChecked(false);
    }
    auto* nodes = panel.findChild<QComboBox*>(QStringLiteral("trafficNode"));
    QVERIFY(nodes != nullptr);
    QList<int> seen;
    for (int i = 0; i < nodes->count(); ++i)
        seen.append(nodes->itemData(i).toInt());
    QCOMPARE(seen, (QList<int>{-1, kNodeA >> 8, kNodeB >> 8, m_measurement >> 8}));
    nodes->setCurrentIndex(nodes->findData(node));

    QCOMPARE(shown(panel, kKindColumn), kinds);
    QCOMPARE(panel.rowCount(), 9);

    // Rows coming later pass the same filter.
    panel.addRecord(record(Record::Send, 9, kNodeA, "\x06"));
    bool const passes = !hidden.contains(TrafficPanel::Write) && (node < 0 || node == kNodeA >> 8);
    QCOMPARE(shown(panel, kKindColumn).size(), kinds.size() + (passes ? 1 : 0));
}

void TrafficPanelTest::copiesSelectedRowsAsTabSeparatedLines()
{
    TrafficPanel panel(&m_lon);
    panel.addRecord(record(Record::Poll, 1500, kNodeA));
    panel.addRecord(record(Record::Delivery, 1502, kNodeA, "\x01\xff"));
    panel.addRecord(record(Record::Send, 2000, kNodeB, "\x7f", false));
    panel.addNote(QStringLiteral("dc-callback: set U=1 I=2"));
    panel.resize(800, 300);
    panel.show();
    QApplication::setActiveWindow(&panel);
    QVERIFY(QTest::qWaitForWindowActive(&panel));

    // Selected out of order, copied in the order shown.
    QTableView* view = panel.view();
    QItemSelectionModel* selection = view->selectionModel();
    selection->select(view->model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(view->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Copy);

    QString const expected = QStringLiteral("1.502\tin\t10\t1\tanswer\t01 ff\n"
                                            "2.000\tout\t11\t2\tsend\t7f  (refused)\n"
                                            "\t\t\t\tother module\tdc-callback: set U=1 I=2\n");
    QCOMPARE(QApplication::clipboard()->text(), expected);

    // The context menu offers the same.
    QApplication::clipboard()->clear();
    selection->select(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(view->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* copy = view->findChild<QAction*>(QStringLiteral("copyTraffic"));
    QVERIFY(copy != nullptr && view->actions().contains(copy));
    QCOMPARE(copy->text(), QStringLiteral("Copy"));
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1.500\tout\t10\t1\tpoll\t\n"));
}

void TrafficPanelTest::followKeepsTheNewestRowInView()
{
    TrafficPanel panel(&m_lon);
    panel.resize(800, 300);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(panel.follows());
    QScrollBar* scroll = panel.view()->verticalScrollBar();
    for (int i = 0; i < TrafficPanel::MaxRows + TrafficPanel::TrimBatch; ++i) {
        panel.addRecord(record(Record::Delivery, i, m_measurement, "\x01"));
        if (i == 500)
            scroll->setValue(10); // the reader looks back; Follow brings the view back down
    }
    QCoreApplication::processEvents();
    QVERIFY(scroll->maximum() > 0);
    QCOMPARE(scroll->value(), scroll->maximum());
}

void TrafficPanelTest::withoutFollowTheReaderStaysOnTheRow()
{
    TrafficPanel panel(&m_lon);
    panel.setFollow(false);
    panel.resize(800, 300);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTableView* view = panel.view();
    int const first = TrafficPanel::MaxRows - 20;
    for (int i = 0; i < first; ++i)
        panel.addRecord(record(Record::Delivery, i, m_measurement, "\x01"));
    QCoreApplication::processEvents();

    // The reader is at row 1000, below the rows the next drop takes.
    view->scrollTo(view->model()->index(1000, 0), QAbstractItemView::PositionAtTop);
    QString const reading = view->indexAt(QPoint(0, 0)).data().toString();
    int const value = view->verticalScrollBar()->value();
    QCOMPARE(reading, QString::number(1000 / 1000.0, 'f', 3));

    // New rows below leave the view alone.
    for (int i = 0; i < 10; ++i)
        panel.addRecord(record(Record::Delivery, first + i, m_measurement, "\x01"));
    QCoreApplication::processEvents();
    QCOMPARE(view->verticalScrollBar()->value(), value);

    // Dropping rows above keeps the same row on top.
    for (int i = 10; i < TrafficPanel::TrimBatch * 2; ++i)
        panel.addRecord(record(Record::Delivery, first + i, m_measurement, "\x01"));
    QCoreApplication::processEvents();
    QVERIFY(panel.rowCount() < first + TrafficPanel::TrimBatch * 2);
    QCOMPARE(view->indexAt(QPoint(0, 0)).data().toString(), reading);
    QVERIFY(view->verticalScrollBar()->value() < value);
}

QTEST_MAIN(TrafficPanelTest)
#include "tst_trafficpanel.moc"
