#include "app/TrafficPanel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace {

struct RecordRow
{
    LonSimulator::Record::Kind record;
    TrafficPanel::Kind kind;
    char const* name;
    char const* direction; // seen from the module: out to the bus, in from it
};

constexpr RecordRow kRecords[] = {
    {LonSimulator::Record::Register, TrafficPanel::Registration, "register", ""},
    {LonSimulator::Record::Unregister, TrafficPanel::Registration, "unregister", ""},
    {LonSimulator::Record::Poll, TrafficPanel::Poll, "poll", "out"},
    {LonSimulator::Record::Send, TrafficPanel::Write, "send", "out"},
    {LonSimulator::Record::ModuleStatus, TrafficPanel::ModuleStatus, "module status", "out"},
    {LonSimulator::Record::Delivery, TrafficPanel::Answer, "answer", "in"},
};

RecordRow const& recordRow(LonSimulator::Record::Kind kind)
{
    for (RecordRow const& row : kRecords) {
        if (row.record == kind)
            return row;
    }
    return kRecords[0];
}

// Menu texts of the filter, by TrafficPanel::Kind.
constexpr char const* kKindNames[TrafficPanel::KindCount] = {QT_TRANSLATE_NOOP("TrafficPanel", "Registrations"),
    QT_TRANSLATE_NOOP("TrafficPanel", "Polls"), QT_TRANSLATE_NOOP("TrafficPanel", "Answers"),
    QT_TRANSLATE_NOOP("TrafficPanel", "Measurements"), QT_TRANSLATE_NOOP("TrafficPanel", "Writes"),
    QT_TRANSLATE_NOOP("TrafficPanel", "Module status"), QT_TRANSLATE_NOOP("TrafficPanel", "Other modules")};

struct ColumnRow
{
    char const* header;
    int width; // in characters; the last column takes the rest
};

constexpr ColumnRow kColumns[]
    = {{QT_TRANSLATE_NOOP("TrafficPanel", "Time"), 9}, {QT_TRANSLATE_NOOP("TrafficPanel", "Dir"), 4},
        {QT_TRANSLATE_NOOP("TrafficPanel", "Node"), 5}, {QT_TRANSLATE_NOOP("TrafficPanel", "Index"), 6},
        {QT_TRANSLATE_NOOP("TrafficPanel", "Kind"), 14}, {QT_TRANSLATE_NOOP("TrafficPanel", "Bytes"), 0}};

// On the first cell of each row: "kind:node" for the filter (node empty when
// the row concerns no node), and the kind alone for trimming.
constexpr int KeyRole = Qt::UserRole + 1;
constexpr int KindRole = Qt::UserRole + 2;

} // namespace

TrafficPanel::TrafficPanel(LonSimulator* lon, QWidget* parent)
    : QWidget(parent)
    , m_lon(lon)
{
    m_model = new QStandardItemModel(0, static_cast<int>(std::size(kColumns)), this);
    int column = 0;
    for (ColumnRow const& row : kColumns)
        m_model->setHeaderData(column++, Qt::Horizontal, tr(row.header));
    // Filters each new row as it comes; the whole model only when the filter changes.
    m_filter = new QSortFilterProxyModel(this);
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(0);
    m_filter->setFilterRole(KeyRole);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("trafficTable"));
    m_view->setModel(m_filter);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
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

    auto* copy = new QAction(tr("Copy"), m_view);
    copy->setObjectName(QStringLiteral("copyTraffic"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &TrafficPanel::copySelection);
    m_view->addAction(copy);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* kinds = new QToolButton(this);
    kinds->setObjectName(QStringLiteral("trafficKinds"));
    kinds->setText(tr("Show"));
    kinds->setPopupMode(QToolButton::InstantPopup);
    auto* kindMenu = new QMenu(kinds);
    for (int kind = 0; kind < KindCount; ++kind) {
        QAction* action = kindMenu->addAction(tr(kKindNames[kind]));
        action->setObjectName(QStringLiteral("trafficKind%1").arg(kind));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, &TrafficPanel::applyFilter);
        m_kindActions[kind] = action;
    }
    m_kindActions[Measurement]->setToolTip(tr("The measurement values that stream while a dialog is open"));
    kinds->setMenu(kindMenu);

    m_nodes = new QComboBox(this);
    m_nodes->setObjectName(QStringLiteral("trafficNode"));
    m_nodes->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_nodes->addItem(tr("all nodes"), -1);
    connect(m_nodes, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TrafficPanel::applyFilter);

    m_follow = new QCheckBox(tr("Follow"), this);
    m_follow->setObjectName(QStringLiteral("trafficFollow"));
    m_follow->setChecked(true);
    m_follow->setToolTip(tr("Keep the newest row in view"));
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_view->scrollToBottom();
    });

    auto* clearButton = new QPushButton(tr("Clear"), this);
    connect(clearButton, &QPushButton::clicked, this, &TrafficPanel::clear);
    m_count = new QLabel(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(kinds);
    controls->addWidget(m_nodes);
    controls->addWidget(m_follow);
    controls->addStretch();
    controls->addWidget(m_count);
    controls->addWidget(clearButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(controls);
    layout->addWidget(m_view);

    applyFilter();
    // Records come from the simulator's thread too.
    connect(m_lon, &LonSimulator::recorded, this, &TrafficPanel::addRecord, Qt::QueuedConnection);
    for (LonSimulator::Record const& record : m_lon->records())
        addRecord(record);
    updateCount();
}

TrafficPanel::~TrafficPanel() = default;

int TrafficPanel::rowCount() const
{
    return m_model->rowCount();
}

int TrafficPanel::writeCount() const
{
    return m_writes;
}

void TrafficPanel::setKindShown(Kind kind, bool shown)
{
    m_kindActions[kind]->setChecked(shown);
}

bool TrafficPanel::isKindShown(Kind kind) const
{
    return m_kindActions[kind]->isChecked();
}

void TrafficPanel::setNodeFilter(int node)
{
    int const index = m_nodes->findData(node);
    m_nodes->setCurrentIndex(index < 0 ? 0 : index);
}

int TrafficPanel::nodeFilter() const
{
    return m_nodes->currentData().toInt();
}

void TrafficPanel::setFollow(bool follow)
{
    m_follow->setChecked(follow);
}

bool TrafficPanel::follows() const
{
    return m_follow->isChecked();
}

QString TrafficPanel::selectedText() const
{
    QModelIndexList rows = m_view->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](QModelIndex const& a, QModelIndex const& b) { return a.row() < b.row(); });
    QString text;
    for (QModelIndex const& index : rows) {
        QStringList cells;
        for (int column = 0; column < m_filter->columnCount(); ++column)
            cells.append(m_filter->index(index.row(), column).data().toString());
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void TrafficPanel::copySelection() const
{
    QString const text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TrafficPanel::addRecord(LonSimulator::Record const& record)
{
    RecordRow const& kind = recordRow(record.kind);
    bool const measurement
        = record.kind == LonSimulator::Record::Delivery && m_lon->measurements().contains(record.nvId);
    // Module status concerns the client, not one variable.
    bool const addressed = record.kind != LonSimulator::Record::ModuleStatus;
    QString bytes = QString::fromLatin1(record.bytes.toHex(' '));
    if (record.kind == LonSimulator::Record::ModuleStatus)
        bytes = record.flag ? tr("on") : tr("off");
    else if (record.kind == LonSimulator::Record::Send && !record.flag)
        bytes += tr("  (refused)");
    int const node = addressed ? record.nvId >> 8 : -1;
    QList<QStandardItem*> row{
        new QStandardItem(QString::number(record.timeMs / 1000.0, 'f', 3)),
        new QStandardItem(QString::fromLatin1(kind.direction)),
        new QStandardItem(addressed ? QString::number(node) : QString()),
        new QStandardItem(addressed ? QString::number(record.nvId & 0xFF) : QString()),
        new QStandardItem(measurement ? tr("measurement") : QString::fromLatin1(kind.name)),
        new QStandardItem(bytes),
    };
    if (addressed)
        row[0]->setToolTip(QStringLiteral("NV 0x%1").arg(record.nvId, 4, 16, QLatin1Char('0')));
    row[5]->setToolTip(bytes);

    appendRow(row, measurement ? Measurement : kind.kind, node);
}

void TrafficPanel::addNote(QString const& text)
{
    QList<QStandardItem*> row;
    for (QString const& cell : {QString(), QString(), QString(), QString(), tr("other module"), text})
        row.append(new QStandardItem(cell));
    row[5]->setToolTip(text);
    appendRow(row, OtherModule, -1);
}

void TrafficPanel::appendRow(QList<QStandardItem*> const& row, Kind kind, int node)
{
    row[0]->setData(QStringLiteral("%1:%2").arg(kind).arg(node < 0 ? QString() : QString::number(node)), KeyRole);
    row[0]->setData(kind, KindRole);
    if (kind == Write)
        ++m_writes;
    if (node >= 0)
        noteNode(node);
    m_model->appendRow(row);
    trim();
    if (m_follow->isChecked())
        m_view->scrollToBottom();
    updateCount();
}

void TrafficPanel::noteNode(int node)
{
    if (m_nodes->findData(node) >= 0)
        return;
    int at = 1;
    while (at < m_nodes->count() && m_nodes->itemData(at).toInt() < node)
        ++at;
    m_nodes->insertItem(at, tr("node %1").arg(node), node);
}

void TrafficPanel::trim()
{
    int const others = m_model->rowCount() - m_writes;
    // Down to a batch below the cap, so the next drop waits a while.
    int const dropOthers = others > MaxRows ? others - (MaxRows - TrimBatch) : 0;
    int const dropWrites = m_writes > MaxWrites ? m_writes - (MaxWrites - TrimBatch) : 0;
    if (dropOthers == 0 && dropWrites == 0)
        return;

    // The row the reader looks at, to keep it in place when rows above it go.
    QPersistentModelIndex anchor;
    if (!m_follow->isChecked())
        anchor = m_filter->mapToSource(m_view->indexAt(QPoint(0, 0)));

    // The oldest rows of each class, as ranges from the top.
    QList<QPair<int, int>> ranges;
    int leftOthers = dropOthers;
    int leftWrites = dropWrites;
    for (int row = 0; row < m_model->rowCount() && (leftOthers > 0 || leftWrites > 0); ++row) {
        bool const write = m_model->item(row, 0)->data(KindRole).toInt() == Write;
        int& left = write ? leftWrites : leftOthers;
        if (left == 0)
            continue;
        --left;
        if (!ranges.isEmpty() && ranges.last().first + ranges.last().second == row)
            ++ranges.last().second;
        else
            ranges.append({row, 1});
    }
    m_writes -= dropWrites - leftWrites;
    for (auto range = ranges.crbegin(); range != ranges.crend(); ++range)
        m_model->removeRows(range->first, range->second);

    if (anchor.isValid())
        m_view->scrollTo(m_filter->mapFromSource(anchor), QAbstractItemView::PositionAtTop);
}

void TrafficPanel::applyFilter()
{
    QStringList kinds;
    for (int kind = 0; kind < KindCount; ++kind) {
        if (m_kindActions[kind]->isChecked())
            kinds.append(QString::number(kind));
    }
    int const node = m_nodes->currentData().toInt();
    QString const nodePattern = node < 0 ? QStringLiteral("\\d*") : QString::number(node);
    // No kind shown: a pattern that matches nothing.
    QString const pattern = kinds.isEmpty()
        ? QStringLiteral("(?!)")
        : QStringLiteral("^(?:%1):%2$").arg(kinds.join(QLatin1Char('|')), nodePattern);
    m_filter->setFilterRegularExpression(QRegularExpression(pattern));
    if (m_follow->isChecked())
        m_view->scrollToBottom();
    updateCount();
}

void TrafficPanel::updateCount()
{
    if (m_filter->rowCount() == m_model->rowCount())
        m_count->setText(tr("%n rows", nullptr, m_model->rowCount()));
    else
        m_count->setText(tr("%1 of %n rows", nullptr, m_model->rowCount()).arg(m_filter->rowCount()));
}

void TrafficPanel::clear()
{
    m_model->removeRows(0, m_model->rowCount());
    m_writes = 0;
    // The nodes seen go too; the filter falls back to all nodes when its node goes.
    int const node = nodeFilter();
    QSignalBlocker const quiet(m_nodes);
    while (m_nodes->count() > 1)
        m_nodes->removeItem(1);
    m_nodes->setCurrentIndex(0);
    if (node >= 0)
        applyFilter();
    updateCount();
}
