#include "app/TrafficPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <iterator>

namespace {

struct KindRow
{
    LonSimulator::Record::Kind kind;
    char const* name;
    char const* direction; // seen from the module: out to the bus, in from it
};

constexpr KindRow kKinds[] = {
    {LonSimulator::Record::Register, "register", ""},
    {LonSimulator::Record::Unregister, "unregister", ""},
    {LonSimulator::Record::Poll, "poll", "out"},
    {LonSimulator::Record::Send, "send", "out"},
    {LonSimulator::Record::ModuleStatus, "module status", "out"},
    {LonSimulator::Record::Delivery, "answer", "in"},
};

KindRow const& kindRow(LonSimulator::Record::Kind kind)
{
    for (KindRow const& row : kKinds) {
        if (row.kind == kind)
            return row;
    }
    return kKinds[0];
}

struct ColumnRow
{
    char const* header;
    int width; // in characters; the last column takes the rest
};

constexpr ColumnRow kColumns[] = {{"Time", 9}, {"Dir", 4}, {"Node", 5}, {"Index", 6}, {"Kind", 14}, {"Bytes", 0}};

} // namespace

TrafficPanel::TrafficPanel(LonSimulator* lon, QWidget* parent)
    : QWidget(parent)
    , m_lon(lon)
{
    m_model = new QStandardItemModel(0, static_cast<int>(std::size(kColumns)), this);
    int column = 0;
    for (ColumnRow const& row : kColumns)
        m_model->setHeaderData(column++, Qt::Horizontal, tr(row.header));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("trafficTable"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_view->setFont(mono);
    int const charWidth = QFontMetrics(mono).horizontalAdvance(QLatin1Char('0'));
    column = 0;
    for (ColumnRow const& row : kColumns) {
        if (row.width > 0)
            m_view->setColumnWidth(column, (row.width + 2) * charWidth);
        ++column;
    }

    m_measurements = new QCheckBox(tr("Measurements"), this);
    m_measurements->setChecked(true);
    m_measurements->setToolTip(tr("Show the measurement values that stream while a dialog is open"));
    auto* clearButton = new QPushButton(tr("Clear"), this);
    connect(clearButton, &QPushButton::clicked, this, &TrafficPanel::clear);
    m_count = new QLabel(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_measurements);
    controls->addStretch();
    controls->addWidget(m_count);
    controls->addWidget(clearButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(controls);
    layout->addWidget(m_view);

    // Records come from the simulator's thread too.
    connect(m_lon, &LonSimulator::recorded, this, &TrafficPanel::addRecord, Qt::QueuedConnection);
    for (LonSimulator::Record const& record : m_lon->records())
        addRecord(record);
}

TrafficPanel::~TrafficPanel() = default;

int TrafficPanel::rowCount() const
{
    return m_model->rowCount();
}

void TrafficPanel::addRecord(LonSimulator::Record const& record)
{
    if (!m_measurements->isChecked() && record.kind == LonSimulator::Record::Delivery
        && m_lon->measurements().contains(record.nvId))
        return;

    KindRow const& kind = kindRow(record.kind);
    // Module status concerns the client, not one variable.
    bool const addressed = record.kind != LonSimulator::Record::ModuleStatus;
    QString bytes = QString::fromLatin1(record.bytes.toHex(' '));
    if (record.kind == LonSimulator::Record::ModuleStatus)
        bytes = record.flag ? tr("on") : tr("off");
    else if (record.kind == LonSimulator::Record::Send && !record.flag)
        bytes += tr("  (refused)");
    QList<QStandardItem*> row{
        new QStandardItem(QString::number(record.timeMs / 1000.0, 'f', 3)),
        new QStandardItem(QString::fromLatin1(kind.direction)),
        new QStandardItem(addressed ? QString::number(record.nvId >> 8) : QString()),
        new QStandardItem(addressed ? QString::number(record.nvId & 0xFF) : QString()),
        new QStandardItem(QString::fromLatin1(kind.name)),
        new QStandardItem(bytes),
    };
    if (addressed)
        row[0]->setToolTip(QStringLiteral("NV 0x%1").arg(record.nvId, 4, 16, QLatin1Char('0')));
    row[5]->setToolTip(bytes);

    appendRow(row);
}

void TrafficPanel::addNote(QString const& text)
{
    QList<QStandardItem*> row;
    for (QString const& cell : {QString(), QString(), QString(), QString(), tr("other module"), text})
        row.append(new QStandardItem(cell));
    row[5]->setToolTip(text);
    appendRow(row);
}

void TrafficPanel::appendRow(QList<QStandardItem*> const& row)
{
    QScrollBar* scroll = m_view->verticalScrollBar();
    bool const atEnd = scroll->value() == scroll->maximum();
    m_model->appendRow(row);
    if (m_model->rowCount() > MaxRows)
        m_model->removeRows(0, m_model->rowCount() - MaxRows);
    if (atEnd)
        m_view->scrollToBottom();
    m_count->setText(tr("%n rows", nullptr, m_model->rowCount()));
}

void TrafficPanel::clear()
{
    m_model->removeRows(0, m_model->rowCount());
    m_count->setText(tr("%n rows", nullptr, 0));
}
